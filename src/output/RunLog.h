// The log beside the program, which a run with "-l" appends its report to.
// It is a file of its own: never one that an area path leads to, and no
// output may land on it, whether this run writes it or not.
#pragma once

#include "area/AreaPaths.h"
#include "output/HeldFiles.h"
#include "platform/FileOwners.h"
#include "platform/Platform.h"

namespace wedmorph {

// Adds the log's identity to `protectedFiles` and, when `write`, opens it
// for appending; the log is not held (nothing is returned) when it cannot be
// opened or is one of the area files.
OwnedFile openRunLog(Platform& platform, const AreaPaths& paths, bool write,
                     ProtectedFiles& protectedFiles);

}  // namespace wedmorph
