#include "output/RunLog.h"

#include <vector>

namespace wedmorph {

namespace {

bool apartFromAreaFiles(Platform& platform, const AreaPaths& paths, const FileIdentity& log) {
    std::vector<const std::string*> areaFiles;
    for (const AreaFilePaths* area : {&paths.input, &paths.output}) {
        areaFiles.push_back(&area->wed);
        areaFiles.push_back(&area->tis);
    }
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        areaFiles.push_back(&paths.input.companions[n]);
        areaFiles.push_back(&paths.output.companions[n]);
    }
    for (const std::string* path : areaFiles) {
        if (platform.statusOfPath(*path)->identity == log) return false;
    }
    const InputNames inputNames(platform, paths.input);
    return !inputNames.includes(paths.programDir, paths.logPath);
}

}  // namespace

OwnedFile openRunLog(Platform& platform, const AreaPaths& paths, bool write,
                     ProtectedFiles& protectedFiles) {
    if (paths.logPath.size() > kMaxPathLength) return {};
    if (!write) {
        protectedFiles.add(platform.statusOfPath(paths.logPath)->identity);
        return {};
    }
    OwnedFile log(platform, platform.openForWriting(paths.logPath, WriteOpen::AppendLog).file);
    if (!log) return {};
    const FileIdentity identity = platform.statusOf(log.get())->identity;
    if (!identity.known) return {};
    protectedFiles.add(identity);
    if (!apartFromAreaFiles(platform, paths, identity)) return {};
    return log;
}

}  // namespace wedmorph
