// A realistic area in the input layout: a base layer of varied pixel art, a
// water overlay over part of it (keyed cells with see-through pixels, and
// marked cells without), door tiles after the basic tiles, animated cells,
// the MOS and the four bitmaps. The same options always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "areagen/AreaBuilder.h"

namespace wedmorph::areagen {

struct SampleOptions {
    int width = 20;  // overlay 0, in cells
    int height = 15;
    std::uint64_t seed = 1;
    int overlayPercent = 20;  // cells marked for the water overlay
    int keyedPercent = 75;    // of those, cells whose tile is keyed
    int doorCells = -1;       // -1: one cell in fifty, at least two
    int animatedCells = -1;   // -1: one cell in a hundred, at least one
    bool tisHeader = true;
};

struct SampleArea {
    WedSpec wed;
    std::vector<Tile> tiles;
};

SampleArea makeSampleArea(const SampleOptions& options);

// Writes NAME.wed, NAME.tis, NAME.mos and the four bitmaps (the first six
// characters of NAME followed by HT, LM, LN and SR) into `dir`.
bool writeSampleArea(const std::string& dir, const std::string& name,
                     const SampleOptions& options);

}  // namespace wedmorph::areagen
