#include "output/OutputArea.h"

#include <iterator>

#include "output/OutputTis.h"
#include "output/OutputWed.h"
#include "report/Messages.h"

namespace wedmorph {

static_assert(std::size(messages::kCompanionCopyWarnings) == kCompanionCount);

OutputArea::OutputArea(Platform& platform, const AreaFilePaths& paths, ProtectedFiles& protectedFiles)
    : platform_(platform), paths_(paths), protected_(protectedFiles) {}

OutputArea::~OutputArea() {
    if (!committed_) rollBack();
}

const std::string& OutputArea::pathOf(std::size_t file) const {
    if (file == kWed) return paths_.wed;
    if (file == kTis) return paths_.tis;
    return paths_.companions[file - kFirstCompanion];
}

StepResult OutputArea::hold(const InputNames& inputNames, const InputArea& input) {
    if (!holdOutput(platform_, paths_.dir, paths_.wed, inputNames, protected_, files_[kWed])) {
        return Failure{messages::kCreateOutputWed};
    }
    if (!holdOutput(platform_, paths_.dir, paths_.tis, inputNames, protected_, files_[kTis])) {
        return Failure{messages::kSaveOutputTis};
    }
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        if (!input.companion(n).isOpen()) continue;
        holdOutput(platform_, paths_.dir, paths_.companions[n], inputNames, protected_, files_[kFirstCompanion + n]);
    }
    return {};
}

void OutputArea::dropCompanion(std::size_t n, Reporter& reporter) {
    companionsDone_[n] = false;
    removeIfCreated(platform_, paths_.companions[n], files_[kFirstCompanion + n]);
    if (const char* warning = messages::kCompanionCopyWarnings[n]) reporter.warn(warning);
}

void OutputArea::copyCompanions(const InputArea& input, Reporter& reporter) {
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        OutputFile& target = files_[kFirstCompanion + n];
        companionsDone_[n] = input.companion(n).isOpen() && target.file &&
                             platform_.copyContents(input.companion(n), target.file.get());
        if (!companionsDone_[n]) {
            dropCompanion(n, reporter);
            continue;
        }
        markWritten(platform_, target);
    }
}

StepResult OutputArea::writeWed(FileHandle inputWed, WedImage patched, const WedLayout& layout) {
    if (const StepResult failed =
            writeOutputWed(platform_, inputWed, files_[kWed].file.get(), patched, layout)) {
        return failed;
    }
    markWritten(platform_, files_[kWed]);
    return {};
}

StepResult OutputArea::writeTis(const OutputTileset& tileset, InputTiles input, bool saveHeader) {
    if (const StepResult failed =
            writeOutputTis(platform_, files_[kTis].file.get(), tileset, input, saveHeader)) {
        return failed;
    }
    markWritten(platform_, files_[kTis]);
    return {};
}

StepResult OutputArea::flushAndVerify(Reporter& reporter) {
    if (!platform_.flushFile(files_[kWed].file.get())) return Failure{messages::kWriteOutputWed};
    if (!platform_.flushFile(files_[kTis].file.get())) return Failure{messages::kWriteOutputTis};
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        if (!companionsDone_[n]) continue;
        OutputFile& target = files_[kFirstCompanion + n];
        if (!platform_.flushFile(target.file.get())) {
            dropCompanion(n, reporter);
        } else if (!stillAsWritten(platform_, paths_.companions[n], target)) {
            companionsDone_[n] = false;  // changed, or its name leads elsewhere now: the source stays
        }
    }
    if (!platform_.flushFolder(paths_.dir)) return Failure{messages::kWriteOutputWed};
    if (!stillAsWritten(platform_, paths_.wed, files_[kWed]) ||
        !stillAsWritten(platform_, paths_.tis, files_[kTis])) {
        return Failure{messages::kOutputsChanged};
    }
    return {};
}

void OutputArea::rollBack() {
    for (std::size_t file = 0; file < kFileCount; ++file) removeIfCreated(platform_, pathOf(file), files_[file]);
}

}  // namespace wedmorph
