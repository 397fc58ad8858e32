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

FailedCopies copyCompanionFiles(Platform& platform, const AreaPaths& paths, Reporter& reporter) {
    FailedCopies failed = 0;
    unsigned bit = 1;
    for (CompanionKind kind : kCompanionKinds) {
        const std::string source = companionSourcePath(paths, kind);
        const std::string target = companionTargetPath(paths, kind);
        if (!platform.copyFile(source, target)) {
            failed |= bit;
            warnIfSet(reporter, warningsFor(kind).copy);
        }
        bit <<= 1;
    }
    return failed;
}

void deleteSourceFiles(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                       FailedCopies failedCopies) {
    if (!platform.deleteFile(paths.inputWedPath)) reporter.warn(messages::kDeleteWed);
    if (!platform.deleteFile(paths.inputTisPath)) reporter.warn(messages::kDeleteTis);
    unsigned bit = 1;
    for (CompanionKind kind : kCompanionKinds) {
        const std::string source = companionSourcePath(paths, kind);
        const bool keep = (failedCopies & bit) != 0;
        if (keep || !platform.deleteFile(source)) warnIfSet(reporter, warningsFor(kind).remove);
        bit <<= 1;
    }
}

}  // namespace wedmorph
