#include "output/Companions.h"

#include "driver/Messages.h"

namespace wedmorph {

namespace {

struct CompanionWarnings {
    const char* copy;    // null: a failure is not reported
    const char* remove;  // null: a failure is not reported
};

CompanionWarnings warningsFor(CompanionKind kind) {
    switch (kind) {
        case CompanionKind::Mos:
            return {"\n\nWarning :\t Cannot handle area MOS file",
                    "\nWarning :\t Cannot delete source area MOS file"};
        case CompanionKind::Ht:
            return {"\n\nWarning :\t Cannot handle area _HT.bmp file",
                    "\nWarning :\t Cannot delete source area _HT.bmp file"};
        case CompanionKind::Lm:
            return {"\n\nWarning :\t Cannot handle area _LM.bmp file",
                    "\nWarning :\t Cannot delete source area _LM.bmp file"};
        case CompanionKind::Ln:
            return {nullptr, nullptr};
        case CompanionKind::Sr:
            return {"\n\nWarning :\t Cannot handle area _SR.bmp file",
                    "\nWarning :\t Cannot delete source area _SR.bmp file"};
    }
    return {nullptr, nullptr};
}

void warnIfSet(Reporter& reporter, const char* warning) {
    if (warning != nullptr) reporter.warn(warning);
}

}  // namespace

CompanionIdentities identifyCompanionSources(Platform& platform, const AreaPaths& paths) {
    CompanionIdentities identities;
    for (std::size_t n = 0; n < identities.size(); ++n) {
        identities[n] = platform.identifyPath(companionSourcePath(paths, kCompanionKinds[n]));
    }
    return identities;
}

FailedCopies copyCompanionFiles(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                                const CompanionIdentities& sources,
                                std::vector<FileIdentity>& kept) {
    FailedCopies failed = 0;
    for (std::size_t n = 0; n < sources.size(); ++n) {
        const CompanionKind kind = kCompanionKinds[n];
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
            failed |= 1u << n;
            warnIfSet(reporter, warningsFor(kind).copy);
        }
    }
    return failed;
}

void deleteSourceFiles(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                       FailedCopies failedCopies) {
    if (!platform.deleteFile(paths.inputWedPath)) reporter.warn(messages::kDeleteWed);
    if (!platform.deleteFile(paths.inputTisPath)) reporter.warn(messages::kDeleteTis);
    for (std::size_t n = 0; n < std::size(kCompanionKinds); ++n) {
        const CompanionKind kind = kCompanionKinds[n];
        const bool keep = (failedCopies & (1u << n)) != 0;
        if (keep || !platform.deleteFile(companionSourcePath(paths, kind))) {
            warnIfSet(reporter, warningsFor(kind).remove);
        }
    }
}

}  // namespace wedmorph
