#include "output/HeldFiles.h"

#include "platform/NameMatch.h"

namespace wedmorph {

namespace {

std::string fileName(const std::string& dir, const std::string& path) { return path.substr(dir.size()); }

}  // namespace

InputNames::InputNames(Platform& platform, const AreaFilePaths& input)
    : platform_(platform), input_(input), folder_(platform.statusOfPath(input.dir).identity) {
    names_[0] = fileName(input.dir, input.wed);
    names_[1] = fileName(input.dir, input.tis);
    for (std::size_t n = 0; n < kCompanionCount; ++n) names_[2 + n] = fileName(input.dir, input.companions[n]);
}

bool InputNames::sameFolderAsInput(const std::string& dir) const {
    if (equalsIgnoringAsciiCase(dir, input_.dir)) return true;
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

bool holdOutput(Platform& platform, const std::string& dir, const std::string& path,
                const InputNames& inputNames, ProtectedFiles& protectedFiles, OutputFile& output) {
    if (inputNames.includes(dir, path)) return false;
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
    output = OutputFile{std::move(file), identity, created, {}};
    return true;
}

void markWritten(Platform& platform, OutputFile& output) {
    output.status = platform.statusOf(output.file.get());
}

bool stillAsWritten(Platform& platform, const std::string& path, const OutputFile& output) {
    const FileStatus found = platform.statusOfPath(path);
    return found.identity.known && found.identity == output.identity &&
           found.identity == output.status.identity && found.size == output.status.size &&
           found.changed == output.status.changed;
}

void removeIfCreated(Platform& platform, const std::string& path, OutputFile& output) {
    if (!output.file || !output.created) return;
    platform.deleteHeldFile(output.file.get(), path);
    output.file.reset();
}

}  // namespace wedmorph
