// The files that travel with an area besides its WED and TIS, in the order
// they are copied and deleted: the MOS under the whole area name, the four
// bitmaps under its first six characters. What the run says of each stands
// beside its texts, in the same order (report/Messages.h).
#pragma once

#include <cstddef>
#include <iterator>

namespace wedmorph {

struct CompanionKind {
    const char* suffix;  // after the area name or prefix
    bool byPrefix;       // named with the six-character prefix, else the whole name
};

inline constexpr CompanionKind kCompanionKinds[] = {
    {".mos", false}, {"HT.bmp", true}, {"LM.bmp", true}, {"LN.bmp", true}, {"SR.bmp", true},
};

inline constexpr std::size_t kCompanionCount = std::size(kCompanionKinds);

}  // namespace wedmorph
