#include "output/InputArea.h"

#include <iterator>
#include <string_view>

#include "platform/NameMatch.h"
#include "report/Messages.h"

namespace wedmorph {

static_assert(std::size(messages::kCompanionDeleteWarnings) == kCompanionCount);

InputArea::InputArea(Platform& platform, const AreaFilePaths& paths, InputUse use,
                     ProtectedFiles& protectedFiles)
    : platform_(platform), paths_(paths), use_(use), protected_(protectedFiles) {}

StepResult InputArea::open() {
    if (const Held wed = holdInput(platform_, paths_.wed, use_, protected_, wed_); wed != Hold::Held) {
        return Failure{messages::kOpenInputWed, wed.error, paths_.wed};
    }
    const Result<std::span<const std::uint8_t>> wedView = platform_.mapFile(wed_.file.get());
    if (!wedView) return Failure{messages::kMapInputWed, wedView.error(), paths_.wed};
    wedView_ = MappedRegion(platform_, *wedView);
    if (const Held tis = holdInput(platform_, paths_.tis, use_, protected_, tis_); tis != Hold::Held) {
        return Failure{messages::kOpenInputTis, tis.error, paths_.tis};
    }
    const Result<std::span<const std::uint8_t>> tisView = platform_.mapFile(tis_.file.get());
    if (!tisView) return Failure{messages::kMapInputTis, tisView.error(), paths_.tis};
    tisView_ = MappedRegion(platform_, *tisView);
    return {};
}

StepResult InputArea::holdCompanions(bool bitmapsShared) {
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        const InputUse use = bitmapsShared && kCompanionKinds[n].byPrefix ? InputUse::Read : use_;
        // A missing or unreadable companion is only not copied: its warning comes then.
        const Held held = holdInput(platform_, paths_.companions[n], use, protected_, companions_[n]);
        if (held == Hold::InUse) return Failure{messages::kAreaFilesInUse, held.error, paths_.companions[n]};
    }
    return {};
}

void InputArea::deleteFiles(Reporter& reporter, const CompanionsDone& done, bool bitmapsShared) {
    wedView_.reset();
    tisView_.reset();
    if (!platform_.deleteHeldFile(wed_.file.get(), paths_.wed)) reporter.warn(messages::kDeleteWed);
    wed_.file.reset();
    if (!platform_.deleteHeldFile(tis_.file.get(), paths_.tis)) reporter.warn(messages::kDeleteTis);
    tis_.file.reset();
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        InputFile& companion = companions_[n];
        const bool keep = !done[n] || (bitmapsShared && kCompanionKinds[n].byPrefix);
        if (keep || !platform_.deleteHeldFile(companion.file.get(), paths_.companions[n])) {
            if (const char* warning = messages::kCompanionDeleteWarnings[n]) reporter.warn(warning);
        }
        companion.file.reset();
    }
}

bool otherAreaSharesBitmaps(Platform& platform, const AreaFilePaths& input, const FileIdentity& inputWed) {
    constexpr std::string_view kWed = ".wed";
    const Result<std::vector<std::string>> names = platform.listPlainFiles(input.dir);
    // The input's own WED is there: a listing without a name was not read,
    // and what cannot be known to be unshared is kept.
    if (!names || names->empty()) return true;
    for (const std::string& name : *names) {
        if (name.size() <= kWed.size() ||
            !equalsIgnoringAsciiCase(std::string_view(name).substr(name.size() - kWed.size()), kWed)) {
            continue;
        }
        const std::string area = name.substr(0, name.size() - kWed.size());
        if (!equalsIgnoringAsciiCase(area.substr(0, kBitmapPrefixLength), input.prefix)) continue;
        // Another letter case of the input's own name is another file where
        // names keep their case, and another name of the file read (a link)
        // stays: only the input's own name, leading to the file read and to
        // no other name of it, goes with the run.
        const FileStatus status = *platform.statusOfPath(input.dir + name);
        const bool ownName = equalsIgnoringAsciiCase(area, input.name) && status.identity.known &&
                             status.identity == inputWed && status.links <= 1;
        if (!ownName) return true;
    }
    return false;
}

}  // namespace wedmorph
