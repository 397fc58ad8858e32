#include "output/Companions.h"

#include "report/Messages.h"

namespace wedmorph {

namespace {

void warnIfSet(Reporter& reporter, const char* warning) {
    if (warning != nullptr) reporter.warn(warning);
}

}  // namespace

CompanionIdentities identifyCompanionSources(Platform& platform, const AreaPaths& paths) {
    CompanionIdentities identities;
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        identities[n] = platform.identifyPath(companionSourcePath(paths, kCompanionKinds[n]));
    }
    return identities;
}

FailedCopies copyCompanionFiles(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                                const CompanionIdentities& sources,
                                std::vector<FileIdentity>& kept) {
    FailedCopies failed;
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        const CompanionKind& kind = kCompanionKinds[n];
        // A source that cannot be identified cannot be kept from being
        // written over: it is not copied, and so not deleted either.
        FileIdentity copy;
        if (sources[n].known) {
            copy = platform.copyFile(companionSourcePath(paths, kind),
                                     companionTargetPath(paths, kind), kept);
        }
        if (copy.known) {
            kept.push_back(copy);
        } else {
            failed.set(n);
            warnIfSet(reporter, kind.copyWarning);
        }
    }
    return failed;
}

void deleteSourceFiles(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                       const FailedCopies& failedCopies) {
    if (!platform.deleteFile(paths.inputWedPath)) reporter.warn(messages::kDeleteWed);
    if (!platform.deleteFile(paths.inputTisPath)) reporter.warn(messages::kDeleteTis);
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        const CompanionKind& kind = kCompanionKinds[n];
        if (failedCopies.test(n) || !platform.deleteFile(companionSourcePath(paths, kind))) {
            warnIfSet(reporter, kind.deleteWarning);
        }
    }
}

}  // namespace wedmorph
