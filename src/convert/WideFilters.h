// The filters' inner loops over 32 pixels at a time, for processors that have
// AVX2 (x86 since 2013): the same bytes as the 16-pixel loops, in about half
// the time. The program asks the processor once whether it has them; on
// others, and on other architectures, these are never called.
#pragma once

#include <cstdint>

namespace wedmorph::wide {

// Whether the processor has the instructions, and they are allowed.
bool available();
// Tests only: the 16-pixel loops in any case (false), or the 32-pixel ones
// where the processor has them (true, as the program starts).
void allow(bool allowed);

// fillKeyPixels in place over rows of 64 pixels; whether runs are left.
bool fillInPlace(std::uint8_t* pixels, int height);
// The trim over the inner rows (1 to height - 2) of 64 pixels, each row
// written whole: `source` with the pixels cleared set to 0.
void copyTrimmedInnerRows(const std::uint8_t* source, std::uint8_t* destination, int height);

}  // namespace wedmorph::wide
