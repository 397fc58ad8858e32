// A realistic area in the input layout: a base layer of varied pixel art with
// pools and shore lines of water (keyed cells whose see-through pixels show
// the water overlay), door tiles after the basic tiles, animated cells, the
// water overlay's own animated tileset, the MOS and the four bitmaps. The same
// options always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "areagen/AreaBuilder.h"

namespace wedmorph::areagen {

// The water overlay's tileset: one cell, animated over its frames.
inline constexpr const char* kWaterTileset = "WTWAVE";
inline constexpr int kWaterFrames = 6;

struct SampleOptions {
    int width = 20;  // overlay 0, in cells
    int height = 15;
    std::uint64_t seed = 1;
    int overlayPercent = 20;  // cells that the water reaches, roughly
    int keyedPercent = 90;    // of those, cells whose tile is keyed; the rest lie along the shore
    int doorCells = -1;       // -1: one cell in fifty, at least two
    int animatedCells = -1;   // -1: one cell in a hundred, at least one
    bool tisHeader = true;
};

struct SampleArea {
    WedPlan wed;
    std::vector<Tile> tiles;
    std::vector<Tile> waterTiles;  // the water overlay's tileset
};

SampleArea makeSampleArea(const SampleOptions& options);

// Writes NAME.wed, NAME.tis, NAME.mos and the four bitmaps (the first six
// characters of NAME followed by HT, LM, LN and SR), and the water tileset
// beside them, into `dir`. Overlay 0 names NAME as its tileset.
bool writeSampleArea(const std::string& dir, const std::string& name,
                     const SampleOptions& options);

}  // namespace wedmorph::areagen
