// The area's MOS and four bitmaps: carried over under the output names and,
// after a complete run with "-d", deleted from the input area.
#pragma once

#include <array>

#include "area/AreaPaths.h"
#include "output/HeldFiles.h"
#include "platform/Platform.h"
#include "report/Reporter.h"

namespace wedmorph {

struct Companion {
    InputFile source;   // held when the input area has it
    OutputFile target;  // held when the source is
    bool copied = false;
};

// In the order of kCompanionKinds.
using CompanionFiles = std::array<Companion, kCompanionCount>;

// Holds each companion source that is there.
void holdCompanionSources(Platform& platform, const AreaPaths& paths, InputUse use,
                          ProtectedFiles& protectedFiles, CompanionFiles& companions);

// Holds the target of each companion whose source is held, unless its name
// is an input's. One that cannot be held is not copied.
void holdCompanionTargets(Platform& platform, const AreaPaths& paths, const InputNames& inputNames,
                          ProtectedFiles& protectedFiles, CompanionFiles& companions);

// Copies each companion in its order. One that is missing, could not be
// held or whose copy fails is a warning, and a target the run created for
// it goes again.
void copyCompanions(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                    CompanionFiles& companions);

// With "-d", before anything is deleted: each copy is flushed to stable
// storage and its name must still lead to it as copied; one that fails keeps
// its source (a flush that fails is its copy's failure, with its warning).
void makeSureOfCompanions(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                          CompanionFiles& companions);

// Deletes the companion sources in their order, each failure a warning. A
// companion not copied keeps its source, so its content is never lost, and
// so does a bitmap that another area still names (`bitmapsShared`).
void deleteCompanionSources(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                            CompanionFiles& companions, bool bitmapsShared);

// Whether a WED other than the input's in the input folder names the same
// bitmaps: the same first six characters (the whole name when shorter),
// ignoring ASCII case.
bool otherAreaSharesBitmaps(Platform& platform, const AreaPaths& paths);

}  // namespace wedmorph
