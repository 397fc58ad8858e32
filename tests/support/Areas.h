// Areas built in code for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "areagen/AreaBuilder.h"

namespace wedmorph::test {

struct AreaFiles {
    std::vector<std::uint8_t> wed;
    std::vector<std::uint8_t> tis;
};

// A tile with palette entry 0 pure green and the given see-through pattern:
// `runs` leaves runs of two or more key pixels, otherwise only single ones.
areagen::Tile keyedTile(std::uint64_t seed, bool runs);
areagen::Tile plainTile(std::uint64_t seed);

// Overlay 0 is 2 × 2, overlay 1 is 1 × 1; the cells are (frames, secondary,
// mask) = (1, -1, 0), (1, -1, 2), (1, -1, 2), (1, 4, 2); five tiles, of which
// 1, 3 and 4 are keyed (1 and 4 with runs of key pixels, 3 with single ones).
AreaFiles smallWaterArea(bool tisHeader);

// Writes NAME.wed and NAME.tis, and with `companions` the MOS and the four
// bitmaps, each with content of its own.
void writeArea(const std::string& dir, const std::string& name, const AreaFiles& files,
               bool companions = true);

std::vector<std::string> companionNames(const std::string& name);

}  // namespace wedmorph::test
