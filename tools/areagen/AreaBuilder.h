// Builds WED and TIS files in the input layout from a plan made in code:
// the areas of the tests, the sample area and the benchmark areas.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/Tis.h"

namespace wedmorph::areagen {

struct CellPlan {
    std::int16_t frameCount = 1;
    std::int16_t secondaryTile = -1;
    std::uint8_t overlayMask = 0;
};

struct OverlayPlan {
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::string tilesetName;
    // Overlays 1 to 4: every cell shows the same animation, `frames` tiles of
    // the overlay's own tileset (lookup entries 0 to frames - 1).
    std::int16_t frames = 1;
};

// A door: the cells of overlay 0 it covers, which hold its closed state as
// their secondary tiles.
struct DoorPlan {
    std::string name;
    std::vector<std::uint16_t> cells;
};

struct WedPlan {
    std::string version = "V1.3";
    std::array<OverlayPlan, 5> overlays;  // overlay 0, the base layer, then 1 to 4
    std::vector<CellPlan> cells;          // overlay 0's tile map, row after row
    std::vector<DoorPlan> doors;
    // Broken on purpose, for tests that need it: no tile lookup table for
    // overlay 0 (its offset then points at the end of the tile maps).
    bool withTileLookup = true;
};

// A WED laid out as real ones are: the header, the five overlay records, the
// secondary header, the door table, each overlay's tile map, the door tile
// cells, each overlay's tile lookup table, the wall groups, and empty polygon
// sections, one after another with no overlap. Overlay 0's cell k shows tile
// k; the further frames of animated cells follow the cells. An overlay of 1
// to 4 without cells has empty sections at valid offsets.
std::vector<std::uint8_t> buildWed(const WedPlan& plan);

using Tile = std::array<std::uint8_t, tis::kTileSize>;

// A tile whose palette is derived from `seed` and whose pixels are all `fill`.
Tile makeTile(std::uint64_t seed, std::uint8_t fill = 1);
void setKeyColour(Tile& tile, std::uint8_t fourthByte = 0);
inline std::uint8_t& pixelAt(Tile& tile, int row, int column) {
    return tile[tis::kPaletteSize + static_cast<std::size_t>(row) * tis::kTileSide + column];
}

std::vector<std::uint8_t> buildTis(const std::vector<Tile>& tiles, bool withHeader);

// Small files in the place of the MOS and the bitmaps.
std::vector<std::uint8_t> buildMos(int width, int height, std::uint64_t seed);
std::vector<std::uint8_t> buildBitmap(int width, int height, std::uint64_t seed);

bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// A small, fast generator whose sequence is the same on every system.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    int below(int bound) { return static_cast<int>(next() % static_cast<std::uint64_t>(bound)); }
    bool chance(int percent) { return below(100) < percent; }

private:
    std::uint64_t state_;
};

}  // namespace wedmorph::areagen
