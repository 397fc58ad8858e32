// Builds WED and TIS files in the input layout from a description in code:
// the areas of the tests, the sample area and the benchmark areas.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/Tis.h"

namespace wedmorph::areagen {

struct CellSpec {
    std::int16_t frameCount = 1;
    std::int16_t secondaryTile = -1;
    std::uint8_t overlayMask = 0;
};

struct OverlaySpec {
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::string tilesetName;
};

struct WedSpec {
    std::string version = "V1.3";
    std::array<OverlaySpec, 5> overlays;  // overlay 0, the base layer, then 1 to 4
    std::vector<CellSpec> cells;          // overlay 0's tile map, row after row
    bool withTileLookup = true;           // false: no tile index lookup behind the tile map
};

// A WED as the older engine writes it: header, overlay table, secondary
// header, overlay 0's tile map and its tile index lookup. Cell k's first frame
// is tile k; the further frames of animated cells follow the cells.
std::vector<std::uint8_t> buildWed(const WedSpec& spec);

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
std::vector<std::uint8_t> readFileBytes(const std::string& path);

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
