#include "output/OutputArea.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "output/OutputTis.h"
#include "output/OutputWed.h"
#include "report/Messages.h"

namespace wedmorph {

static_assert(std::size(messages::kCompanionCopyWarnings) == kCompanionCount);

OutputArea::OutputArea(Platform& platform, const AreaFilePaths& paths, ProtectedFiles& protectedFiles,
                       bool durable)
    : platform_(platform), paths_(paths), protected_(protectedFiles), durable_(durable) {}

OutputArea::~OutputArea() { rollBack(); }

const std::string& OutputArea::pathOf(std::size_t file) const {
    if (file == kWed) return paths_.wed;
    if (file == kTis) return paths_.tis;
    return paths_.companions[file - kFirstCompanion];
}

bool OutputArea::flushes() const {
    return durable_ ||
           std::any_of(files_.begin(), files_.end(), [](const OutputFile& f) { return f.file && f.replaces(); });
}

StepResult OutputArea::hold(const InputNames& inputNames, const InputArea& input) {
    // Every target first: one that cannot be written fails before any
    // temporary is made.
    if (const Held wed = holdTarget(platform_, paths_.dir, paths_.wed, inputNames, protected_, files_[kWed]);
        wed != Hold::Held) {
        return Failure{messages::kCreateOutputWed, wed.error, paths_.wed};
    }
    if (const Held tis = holdTarget(platform_, paths_.dir, paths_.tis, inputNames, protected_, files_[kTis]);
        tis != Hold::Held) {
        return Failure{messages::kSaveOutputTis, tis.error, paths_.tis};
    }
    // A companion in use elsewhere ends the run: an installer that reads
    // only the exit status would take an area without it for a whole one.
    std::array<bool, kFileCount> wanted{true, true};
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        if (!input.companion(n).isOpen()) continue;
        const Held held =
            holdTarget(platform_, paths_.dir, paths_.companions[n], inputNames, protected_, files_[kFirstCompanion + n]);
        if (held == Hold::InUse) return Failure{messages::kAreaFilesInUse, held.error, paths_.companions[n]};
        wanted[kFirstCompanion + n] = held == Hold::Held;
    }
    if (const Held wed = holdTemporary(platform_, protected_, files_[kWed]); wed != Hold::Held) {
        return Failure{messages::kCreateOutputWed, wed.error, paths_.wed};
    }
    if (const Held tis = holdTemporary(platform_, protected_, files_[kTis]); tis != Hold::Held) {
        return Failure{messages::kSaveOutputTis, tis.error, paths_.tis};
    }
    for (std::size_t file = kFirstCompanion; file < kFileCount; ++file) {
        if (!wanted[file]) continue;
        const Held held = holdTemporary(platform_, protected_, files_[file]);
        if (held == Hold::InUse) return Failure{messages::kAreaFilesInUse, held.error, pathOf(file)};
        if (held != Hold::Held) discard(platform_, files_[file]);
    }
    return {};
}

void OutputArea::dropCompanion(std::size_t n, Reporter& reporter) {
    companionsDone_[n] = false;
    discard(platform_, files_[kFirstCompanion + n]);
    if (const char* warning = messages::kCompanionCopyWarnings[n]) reporter.warn(warning);
}

StepResult OutputArea::failOutput(std::size_t file, const char* message, Reporter& reporter,
                                  std::error_code error) {
    if (file < kFirstCompanion) return Failure{message, error, pathOf(file)};
    dropCompanion(file - kFirstCompanion, reporter);
    return {};
}

StepResult OutputArea::copyCompanions(const InputArea& input, Reporter& reporter) {
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        if (platform_.interrupted()) return Failure{messages::kRunInterrupted};
        OutputFile& target = files_[kFirstCompanion + n];
        companionsDone_[n] = input.companion(n).isOpen() && target.file &&
                             platform_.copyContents(input.companion(n), target.file.get());
        if (companionsDone_[n] && flushes()) platform_.startFlush(target.file.get(), 0, 0);
        if (!companionsDone_[n]) dropCompanion(n, reporter);
    }
    return {};
}

StepResult OutputArea::writeWed(FileHandle inputWed, WedImage patched, const WedLayout& layout) {
    const StepResult failed = writeOutputWed(platform_, inputWed, files_[kWed].file.get(), patched, layout);
    if (!failed && flushes()) platform_.startFlush(files_[kWed].file.get(), 0, 0);
    return concerning(paths_.wed, failed);
}

StepResult OutputArea::writeTisTiles(OutputTileset& tileset, FileHandle input, const std::string& inputPath,
                                     std::uint64_t firstTile, bool saveHeader) {
    return concerning(paths_.tis, writeOutputTisTiles(platform_, files_[kTis].file.get(), tileset, input, inputPath,
                                                      firstTile, saveHeader, flushes()));
}

StepResult OutputArea::writeTisExtras(OutputTileset& tileset, FileHandle input, const std::string& inputPath,
                                      std::uint64_t firstTile, bool saveHeader) {
    return concerning(paths_.tis, writeOutputTisExtras(platform_, files_[kTis].file.get(), tileset, input, inputPath,
                                                       firstTile, saveHeader, flushes()));
}

StepResult OutputArea::commit(Reporter& reporter) {
    // The companions first and the WED last: an area whose WED is new is
    // whole. Each output's message is the one its writing fails with.
    std::array<std::size_t, kFileCount> order{};
    for (std::size_t n = 0; n < kCompanionCount; ++n) order[n] = kFirstCompanion + n;
    order[kCompanionCount] = kTis;
    order[kCompanionCount + 1] = kWed;
    const auto messageOf = [](std::size_t file) {
        return file == kWed ? messages::kWriteOutputWed : messages::kWriteOutputTis;
    };
    const bool flush = flushes();
    for (std::size_t file = 0; file < kFileCount; ++file) {
        // A flush of a large TIS can take seconds: the run stays cancellable
        // until the first rename.
        if (platform_.interrupted()) return Failure{messages::kRunInterrupted};
        OutputFile& output = files_[file];
        if (!output.file) continue;
        // A replacement keeps the permissions of the file it replaces.
        Result<> ready;
        if (flush) ready = platform_.flushFile(output.file.get());
        if (ready && output.replaces()) ready = platform_.copyPermissions(output.target.get(), output.file.get());
        if (!ready) {
            if (const StepResult failed = failOutput(file, messageOf(file), reporter, ready.error())) return failed;
        }
    }
    if (platform_.interrupted()) return Failure{messages::kRunInterrupted};
    // From the first rename on, the area is only whole once every output has
    // its name: an interruption waits for the end of the run.
    std::vector<std::string> folders;
    for (std::size_t file : order) {
        OutputFile& output = files_[file];
        if (!output.file) continue;
        if (const Result<> renamed = renameIntoPlace(platform_, output); !renamed) {
            if (const StepResult failed = failOutput(file, messageOf(file), reporter, renamed.error())) return failed;
            continue;
        }
        markWritten(platform_, output);
        const std::string folder = output.targetPath.substr(0, output.targetPath.find_last_of("\\/") + 1);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    if (flush) {
        for (const std::string& folder : folders) {
            const std::string& dir = folder.empty() ? paths_.dir : folder;
            if (const Result<> flushed = platform_.flushFolder(dir); !flushed) {
                return Failure{messages::kWriteOutputWed, flushed.error(), dir};
            }
        }
    }
    return {};
}

StepResult OutputArea::verify() {
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        // Changed, or its name leads elsewhere now: the source stays.
        if (companionsDone_[n] && !stillAsWritten(platform_, paths_.companions[n], files_[kFirstCompanion + n])) {
            companionsDone_[n] = false;
        }
    }
    if (!stillAsWritten(platform_, paths_.wed, files_[kWed]) || !stillAsWritten(platform_, paths_.tis, files_[kTis])) {
        return Failure{messages::kOutputsChanged};
    }
    return {};
}

void OutputArea::rollBack() {
    for (OutputFile& output : files_) discard(platform_, output);
}

}  // namespace wedmorph
