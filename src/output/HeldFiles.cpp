#include "output/HeldFiles.h"

#include "platform/NameMatch.h"

namespace wedmorph {

namespace {

std::string fileName(const std::string& dir, const std::string& path) { return path.substr(dir.size()); }

}  // namespace

InputNames::InputNames(Platform& platform, const AreaPaths& paths)
    : platform_(platform), paths_(paths), folder_(platform.statusOfPath(paths.inputDir).identity) {
    names_[0] = fileName(paths.inputDir, paths.inputWedPath);
    names_[1] = fileName(paths.inputDir, paths.inputTisPath);
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        names_[2 + n] = fileName(paths.inputDir, paths.inputCompanionPaths[n]);
    }
}

bool InputNames::sameFolderAsInput(const std::string& dir) const {
    if (equalsIgnoringAsciiCase(dir, paths_.inputDir)) return true;
    const FileIdentity other = platform_.statusOfPath(dir).identity;
    return folder_.known && other == folder_;
}

bool InputNames::includes(const std::string& dir, const std::string& path) const {
    const std::string name = fileName(dir, path);
    bool named = false;
    for (const std::string& input : names_) named = named || equalsIgnoringAsciiCase(name, input);
    return named && sameFolderAsInput(dir);
}

bool holdInput(Platform& platform, const std::string& path, InputUse use,
               ProtectedFiles& protectedFiles, InputFile& input) {
    OwnedFile file(platform, platform.openInput(path, use));
    if (!file) return false;
    const FileIdentity identity = platform.statusOf(file.get()).identity;
    if (!identity.known) return false;
    protectedFiles.add(identity);
    input.file = std::move(file);
    input.identity = identity;
    return true;
}

bool holdOutput(Platform& platform, const std::string& path, const InputNames& inputNames,
                ProtectedFiles& protectedFiles, OutputFile& output) {
    if (inputNames.includesOutput(path)) return false;
    bool created = false;
    OwnedFile file(platform, platform.openOutput(path, protectedFiles, created));
    if (!file) return false;
    const FileIdentity identity = platform.statusOf(file.get()).identity;
    if (!identity.known) {
        // It cannot be kept apart from the others: let go of it as found.
        if (created) platform.deleteHeldFile(file.get(), path);
        return false;
    }
    protectedFiles.add(identity);
    output = OutputFile{std::move(file), identity, created, false, {}};
    return true;
}

void markWritten(Platform& platform, OutputFile& output) {
    output.written = true;
    output.status = platform.statusOf(output.file.get());
}

bool stillAsWritten(Platform& platform, const std::string& path, const OutputFile& output) {
    const FileStatus found = platform.statusOfPath(path);
    return found.identity.known && found.identity == output.identity &&
           found.identity == output.status.identity && found.size == output.status.size &&
           found.changed == output.status.changed;
}

void removeIfCreated(Platform& platform, const std::string& path, OutputFile& output,
                     bool evenIfWritten) {
    if (!output.file || !output.created || (output.written && !evenIfWritten)) return;
    platform.deleteHeldFile(output.file.get(), path);
    output.file.reset();
}

}  // namespace wedmorph
