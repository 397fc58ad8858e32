// The files that travel with an area besides its WED and TIS, in the order
// they are copied and deleted: the MOS under the whole area name, the four
// bitmaps under its first six characters. Everything the run knows of them
// stands in this one table.
#pragma once

#include <cstddef>
#include <iterator>

#include "report/Messages.h"

namespace wedmorph {

struct CompanionKind {
    const char* suffix;         // after the area name or prefix
    bool byPrefix;              // named with the six-character prefix, else the whole name
    const char* copyWarning;    // null: a failed copy is not reported
    const char* deleteWarning;  // null: a failed deletion is not reported
};

// The LN bitmap's failures are never reported.
inline constexpr CompanionKind kCompanionKinds[] = {
    {".mos", false, messages::kCopyMos, messages::kDeleteMos},
    {"HT.bmp", true, messages::kCopyHt, messages::kDeleteHt},
    {"LM.bmp", true, messages::kCopyLm, messages::kDeleteLm},
    {"LN.bmp", true, nullptr, nullptr},
    {"SR.bmp", true, messages::kCopySr, messages::kDeleteSr},
};

inline constexpr std::size_t kCompanionCount = std::size(kCompanionKinds);

}  // namespace wedmorph
