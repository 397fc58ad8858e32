#include "output/HeldFiles.h"

#include "platform/NameMatch.h"

namespace wedmorph {

namespace {

std::string fileName(const std::string& dir, const std::string& path) { return path.substr(dir.size()); }

// A file this run already holds refuses to be held again just as another
// run's would: that is no other program's use, only a failure of this hold,
// and the system's reason would tell of a holder that is not there.
Held refusal(Platform& platform, const std::string& path, const ExistingFile& found,
             const ProtectedFiles& protectedFiles) {
    if (!found.inUse) return {Hold::Failed, found.error};
    if (protectedFiles.contains(platform.statusOfPath(path)->identity)) return {Hold::Failed};
    return {Hold::InUse, found.error};
}

}  // namespace

InputNames::InputNames(Platform& platform, const AreaFilePaths& input)
    : platform_(platform),
      input_(input),
      folder_(platform.statusOfPath(input.dir)->identity),
      absoluteFolder_(*platform.absolutePath(input.dir)) {
    names_[0] = fileName(input.dir, input.wed);
    names_[1] = fileName(input.dir, input.tis);
    for (std::size_t n = 0; n < kCompanionCount; ++n) names_[2 + n] = fileName(input.dir, input.companions[n]);
}

bool InputNames::sameFolderAsInput(const std::string& dir) const {
    if (equalsIgnoringAsciiCase(dir, input_.dir)) return true;
    if (!absoluteFolder_.empty() && equalsIgnoringAsciiCase(*platform_.absolutePath(dir), absoluteFolder_)) {
        return true;
    }
    const FileIdentity other = platform_.statusOfPath(dir)->identity;
    return folder_.known && other == folder_;
}

bool InputNames::includes(const std::string& dir, const std::string& path) const {
    const std::string name = fileName(dir, path);
    bool named = false;
    for (const std::string& input : names_) named = named || equalsIgnoringAsciiCase(name, input);
    return named && sameFolderAsInput(dir);
}

Held holdInput(Platform& platform, const std::string& path, InputUse use,
               ProtectedFiles& protectedFiles, InputFile& input) {
    const ExistingFile found = platform.openInput(path, use);
    OwnedFile file(platform, found.file);
    if (!file) return refusal(platform, path, found, protectedFiles);
    const Result<FileStatus> status = platform.statusOf(file.get());
    const FileIdentity identity = status->identity;
    if (!identity.known) return {Hold::Failed, status.error()};
    protectedFiles.add(identity);
    input.file = std::move(file);
    input.identity = identity;
    return {Hold::Held};
}

Held holdTarget(Platform& platform, const std::string& dir, const std::string& path,
                const InputNames& inputNames, ProtectedFiles& protectedFiles, OutputFile& output) {
    if (inputNames.includes(dir, path)) return {Hold::Failed};
    const ExistingFile found = platform.openForWriting(path, WriteOpen::Existing);
    OwnedFile target(platform, found.file);
    if (!target && !found.missing) return refusal(platform, path, found, protectedFiles);
    if (target) {
        const Result<FileStatus> status = platform.statusOf(target.get());
        const FileIdentity identity = status->identity;
        if (!identity.known) return {Hold::Failed, status.error()};
        if (protectedFiles.contains(identity)) return {Hold::Failed};
        const std::string foundDir = found.path.substr(0, found.path.find_last_of("\\/") + 1);
        if (inputNames.includes(foundDir, found.path)) return {Hold::Failed};
        protectedFiles.add(identity);
    }
    output.target = std::move(target);
    output.targetPath = found.path;
    return {Hold::Held};
}

Held holdTemporary(Platform& platform, ProtectedFiles& protectedFiles, OutputFile& output) {
    std::string path = output.targetPath;
    path.back() = '~';
    // A name taken by another run between two tries is taken again at most a few times.
    for (int tries = 0; tries < 4; ++tries) {
        bool exists = false;
        const Result<FileHandle> made = platform.createNew(path, exists);
        OwnedFile file(platform, *made);
        if (file) {
            const Result<FileStatus> status = platform.statusOf(file.get());
            if (!status->identity.known) {
                // Not kept, as it cannot be told apart from the run's other
                // files; one that cannot be removed is the next run's to remove.
                (void)platform.deleteHeldFile(file.get(), path);
                return {Hold::Failed, status.error()};
            }
            protectedFiles.add(status->identity);
            output.file = std::move(file);
            output.temporaryPath = path;
            return {Hold::Held};
        }
        if (!exists) return {Hold::Failed, made.error()};
        const ExistingFile stale = platform.openForWriting(path, WriteOpen::ExistingNoLink);
        if (stale.missing) continue;
        if (stale.inUse) return {Hold::InUse, stale.error};
        OwnedFile left(platform, stale.file);
        if (!left) return {Hold::Failed, stale.error};
        if (protectedFiles.contains(platform.statusOf(left.get())->identity)) return {Hold::Failed};
        if (const Result<> removed = platform.deleteHeldFile(left.get(), stale.path); !removed) {
            return {Hold::Failed, removed.error()};
        }
    }
    return {Hold::Failed};
}

Result<> renameIntoPlace(Platform& platform, OutputFile& output) {
    output.target.reset();
    const Result<> renamed = platform.renameHeld(output.file.get(), output.temporaryPath, output.targetPath);
    output.renamed = static_cast<bool>(renamed);
    return renamed;
}

void discard(Platform& platform, OutputFile& output) {
    if (output.file && !output.renamed) (void)platform.deleteHeldFile(output.file.get(), output.temporaryPath);
    output.file.reset();
    output.target.reset();
}

void markWritten(Platform& platform, OutputFile& output) {
    output.status = *platform.statusOf(output.file.get());
}

bool stillAsWritten(Platform& platform, const std::string& path, const OutputFile& output) {
    const FileStatus found = *platform.statusOfPath(path);
    return found.identity.known && found.identity == output.status.identity && found.size == output.status.size &&
           found.changed == output.status.changed;
}

}  // namespace wedmorph
