// The output area as the run holds it: every file it writes (WED, TIS and
// each companion copy) is written to a temporary beside its target, and takes
// the target's name only at the commit, once all of them are complete. Until
// then every name of the area is as the run found it; whatever is not
// committed is rolled back when the owner goes, so no way out of a run leaves
// a temporary of its own behind.
#pragma once

#include <array>
#include <cstddef>

#include "area/AreaPaths.h"
#include "convert/OverlayPass.h"
#include "formats/Wed.h"
#include "output/HeldFiles.h"
#include "output/InputArea.h"
#include "platform/Platform.h"
#include "report/Reporter.h"
#include "report/StepResult.h"

namespace wedmorph {

class OutputArea {
public:
    // `durable`: the commit puts every output on stable storage (-d).
    OutputArea(Platform& platform, const AreaFilePaths& paths, ProtectedFiles& protectedFiles, bool durable);
    ~OutputArea();
    OutputArea(const OutputArea&) = delete;
    OutputArea& operator=(const OutputArea&) = delete;

    const AreaFilePaths& paths() const { return paths_; }

    // Holds the targets of the WED, the TIS, and each companion the input
    // area has, never a file whose name is an input's (`inputNames`) nor one
    // of the protected files; then the temporary of each. A companion that
    // cannot be held is not copied; the WED and TIS end the run.
    [[nodiscard]] StepResult hold(const InputNames& inputNames, const InputArea& input);

    // Copies each companion in its order. One that is missing, could not be
    // held or whose copy fails is a warning; an interruption stops the
    // copies between two of them.
    [[nodiscard]] StepResult copyCompanions(const InputArea& input, Reporter& reporter);
    [[nodiscard]] StepResult writeWed(FileHandle inputWed, WedImage patched, const WedLayout& layout);
    // The TIS in two parts, the pass between them (see OutputTis.h), from
    // the input TIS `input` at `inputPath`.
    [[nodiscard]] StepResult writeTisTiles(OutputTileset& tileset, FileHandle input, const std::string& inputPath,
                                           std::uint64_t firstTile, bool saveHeader);
    [[nodiscard]] StepResult writeTisExtras(OutputTileset& tileset, FileHandle input, const std::string& inputPath,
                                            std::uint64_t firstTile, bool saveHeader);

    // Gives every temporary its target's name: the companions, then the TIS,
    // then the WED. When durable, or where a temporary replaces a file,
    // every temporary is first put on stable storage, and each folder that
    // took a name after; the outputs are then started on their way to the
    // disk as they are written, so that the flushes find little left to do.
    // A WED or TIS that fails ends the run, with the renames made so far
    // kept; a companion that fails is a warning. An interruption ends it up
    // to the first rename, and no later.
    [[nodiscard]] StepResult commit(Reporter& reporter);

    // After the commit, before any source is deleted: the names of the WED
    // and TIS still lead to the files as the run wrote them. A companion copy
    // that fails this keeps its source.
    [[nodiscard]] StepResult verify();

    // Removes every temporary that has not taken its target's name.
    void rollBack();

    const CompanionsDone& companionsDone() const { return companionsDone_; }

private:
    // WED, TIS, then the companions in the order of kCompanionKinds.
    static constexpr std::size_t kWed = 0;
    static constexpr std::size_t kTis = 1;
    static constexpr std::size_t kFirstCompanion = 2;
    static constexpr std::size_t kFileCount = kFirstCompanion + kCompanionCount;

    // The output's own name.
    const std::string& pathOf(std::size_t file) const;
    // Whether the commit flushes the outputs (known once they are held).
    bool flushes() const;
    // A companion copy that cannot be had: its warning, and its temporary goes.
    void dropCompanion(std::size_t n, Reporter& reporter);
    // The output's own failure, for `error`: its message, or for a companion
    // its warning.
    StepResult failOutput(std::size_t file, const char* message, Reporter& reporter, std::error_code error);

    Platform& platform_;
    const AreaFilePaths& paths_;
    ProtectedFiles& protected_;
    bool durable_;
    std::array<OutputFile, kFileCount> files_;
    CompanionsDone companionsDone_{};
};

}  // namespace wedmorph
