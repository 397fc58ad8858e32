// The output area as the run holds it: every file it writes (WED, TIS and
// each companion copy), held before the first byte of any of them, written,
// and then either committed or rolled back. An area that is not committed is
// rolled back when its owner goes, so no way out of a run leaves behind a
// file the run made and did not finish.
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
    OutputArea(Platform& platform, const AreaFilePaths& paths, ProtectedFiles& protectedFiles);
    ~OutputArea();
    OutputArea(const OutputArea&) = delete;
    OutputArea& operator=(const OutputArea&) = delete;

    const AreaFilePaths& paths() const { return paths_; }

    // Holds the WED, the TIS, then the target of each companion the input
    // area has, never a file whose name is an input's (`inputNames`) nor one
    // of the protected files. A companion whose target cannot be held is not
    // copied; the WED and TIS end the run.
    [[nodiscard]] StepResult hold(const InputNames& inputNames, const InputArea& input);

    // Copies each companion in its order. One that is missing, could not be
    // held or whose copy fails is a warning.
    void copyCompanions(const InputArea& input, Reporter& reporter);
    [[nodiscard]] StepResult writeWed(FileHandle inputWed, WedImage patched, const WedLayout& layout);
    [[nodiscard]] StepResult writeTis(const OutputTileset& tileset, InputTiles input, bool saveHeader);

    // Before any source is deleted: every output is on stable storage, and
    // the names of the WED and TIS still lead to the files as the run wrote
    // them. A companion copy that fails this keeps its source.
    [[nodiscard]] StepResult flushAndVerify(Reporter& reporter);

    // The outputs are the output area from now on.
    void commit() { committed_ = true; }
    // Removes each file the run created, while its name still leads to it.
    void rollBack();

    const CompanionsDone& companionsDone() const { return companionsDone_; }

private:
    // WED, TIS, then the companions in the order of kCompanionKinds.
    static constexpr std::size_t kWed = 0;
    static constexpr std::size_t kTis = 1;
    static constexpr std::size_t kFirstCompanion = 2;
    static constexpr std::size_t kFileCount = kFirstCompanion + kCompanionCount;

    const std::string& pathOf(std::size_t file) const;
    // A companion copy that cannot be had: its warning, and a target this
    // run created goes again.
    void dropCompanion(std::size_t n, Reporter& reporter);

    Platform& platform_;
    const AreaFilePaths& paths_;
    ProtectedFiles& protected_;
    std::array<OutputFile, kFileCount> files_;
    CompanionsDone companionsDone_{};
    bool committed_ = false;
};

}  // namespace wedmorph
