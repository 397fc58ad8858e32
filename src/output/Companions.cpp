#include "output/Companions.h"

#include "platform/NameMatch.h"
#include "report/Messages.h"

namespace wedmorph {

namespace {

static_assert(std::size(messages::kCompanionCopyWarnings) == kCompanionCount);
static_assert(std::size(messages::kCompanionDeleteWarnings) == kCompanionCount);

void warnIfSet(Reporter& reporter, const char* warning) {
    if (warning != nullptr) reporter.warn(warning);
}

// A copy that cannot be had: its warning, and a target this run created goes again.
void dropCopy(Platform& platform, const std::string& targetPath, Reporter& reporter, std::size_t n,
              Companion& companion) {
    companion.copied = false;
    removeIfCreated(platform, targetPath, companion.target, true);
    warnIfSet(reporter, messages::kCompanionCopyWarnings[n]);
}

}  // namespace

void holdCompanionSources(Platform& platform, const AreaPaths& paths, InputUse use,
                          ProtectedFiles& protectedFiles, CompanionFiles& companions) {
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        holdInput(platform, paths.inputCompanionPaths[n], use, protectedFiles, companions[n].source);
    }
}

void holdCompanionTargets(Platform& platform, const AreaPaths& paths, const InputNames& inputNames,
                          ProtectedFiles& protectedFiles, CompanionFiles& companions) {
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        if (!companions[n].source.file) continue;
        holdOutput(platform, paths.outputCompanionPaths[n], inputNames, protectedFiles,
                   companions[n].target);
    }
}

void copyCompanions(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                    CompanionFiles& companions) {
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        Companion& companion = companions[n];
        companion.copied = companion.source.file && companion.target.file &&
                           platform.copyContents(companion.source.file.get(), companion.target.file.get());
        if (!companion.copied) {
            dropCopy(platform, paths.outputCompanionPaths[n], reporter, n, companion);
            continue;
        }
        markWritten(platform, companion.target);
    }
}

void makeSureOfCompanions(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                          CompanionFiles& companions) {
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        Companion& companion = companions[n];
        if (!companion.copied) continue;
        if (!platform.flushFile(companion.target.file.get())) {
            dropCopy(platform, paths.outputCompanionPaths[n], reporter, n, companion);
        } else if (!stillAsWritten(platform, paths.outputCompanionPaths[n], companion.target)) {
            companion.copied = false;  // changed, or its name leads elsewhere now: the source stays
        }
    }
}

void deleteCompanionSources(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                            CompanionFiles& companions, bool bitmapsShared) {
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        Companion& companion = companions[n];
        const bool keep = !companion.copied || (bitmapsShared && kCompanionKinds[n].byPrefix);
        if (keep || !platform.deleteHeldFile(companion.source.file.get(), paths.inputCompanionPaths[n])) {
            warnIfSet(reporter, messages::kCompanionDeleteWarnings[n]);
        }
        companion.source.file.reset();
    }
}

bool otherAreaSharesBitmaps(Platform& platform, const AreaPaths& paths) {
    constexpr std::string_view kWed = ".wed";
    const std::vector<std::string> names = platform.listPlainFiles(paths.inputDir);
    // The input's own WED is there: a listing without a name was not read,
    // and what cannot be known to be unshared is kept.
    if (names.empty()) return true;
    for (const std::string& name : names) {
        if (name.size() <= kWed.size() ||
            !equalsIgnoringAsciiCase(std::string_view(name).substr(name.size() - kWed.size()), kWed)) {
            continue;
        }
        const std::string area = name.substr(0, name.size() - kWed.size());
        if (equalsIgnoringAsciiCase(area, paths.inputName)) continue;
        if (equalsIgnoringAsciiCase(area.substr(0, kBitmapPrefixLength), paths.inputPrefix)) return true;
    }
    return false;
}

}  // namespace wedmorph
