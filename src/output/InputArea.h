// The input area as the run holds it: its WED and TIS, held and mapped
// read-only from the moment their identities are taken, its companions held
// from before the first output is, and, with "-d", their deletion through
// the very files read.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "area/AreaPaths.h"
#include "output/HeldFiles.h"
#include "platform/FileOwners.h"
#include "platform/Platform.h"
#include "report/Reporter.h"
#include "report/StepResult.h"

namespace wedmorph {

// Which of the companions made it to the output area whole.
using CompanionsDone = std::array<bool, kCompanionCount>;

class InputArea {
public:
    InputArea(Platform& platform, const AreaFilePaths& paths, InputUse use,
              ProtectedFiles& protectedFiles);

    // Holds and maps the WED, then the TIS. An input whose identity cannot
    // be had cannot be told apart from the outputs: it is not opened.
    [[nodiscard]] StepResult open();
    // Holds each companion that is there; a companion that another run or
    // program holds ends the run. A bitmap that another area still names
    // (`bitmapsShared`) is held for reading alone, as it is kept.
    [[nodiscard]] StepResult holdCompanions(bool bitmapsShared);

    const AreaFilePaths& paths() const { return paths_; }
    std::span<const std::uint8_t> wed() const { return wedView_.bytes(); }
    // The TIS's view serves its header and size; its tiles are read as the
    // output TIS is written.
    std::span<const std::uint8_t> tis() const { return tisView_.bytes(); }
    FileHandle wedFile() const { return wed_.file.get(); }
    FileHandle tisFile() const { return tis_.file.get(); }
    const FileIdentity& wedIdentity() const { return wed_.identity; }
    // The companion's file, not open when the area has none.
    FileHandle companion(std::size_t n) const { return companions_[n].file.get(); }

    // Deletes the area's files, each through the file read and only while
    // its name still leads there; each one kept is a warning. A companion not
    // `done` keeps its source, so its content is never lost, and so does a
    // bitmap another area still names (`bitmapsShared`). The views go first:
    // a mapped file cannot be deleted on Windows.
    void deleteFiles(Reporter& reporter, const CompanionsDone& done, bool bitmapsShared);

private:
    Platform& platform_;
    const AreaFilePaths& paths_;
    InputUse use_;
    ProtectedFiles& protected_;

    InputFile wed_, tis_;
    std::array<InputFile, kCompanionCount> companions_;
    // After the files: a view goes before the file it shows.
    MappedRegion wedView_, tisView_;
};

// Whether a WED in the input folder other than the one the run read (by
// identity: `inputWed`) names the same bitmaps: the same first six characters
// (the whole name when shorter), ignoring ASCII case. The WED the run read
// counts too when it has another name, which stays.
bool otherAreaSharesBitmaps(Platform& platform, const AreaFilePaths& input, const FileIdentity& inputWed);

}  // namespace wedmorph
