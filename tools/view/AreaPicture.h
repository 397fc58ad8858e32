// Renders overlay 0 of an area as one picture: each cell's tile, found through
// the overlay's tile lookup, drawn through the tile's own palette; with the
// overlays' tilesets, its water as the engines draw it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace wedmorph::view {

struct PictureOptions {
    // Draw the overlays: a marked cell without a secondary tile shows the
    // overlay's tile where its own tile is key-coloured (the older engine);
    // a marked cell with one shows the overlay's tile, and its secondary tile
    // over it without the key colour (the newer engine). Any other secondary
    // tile, and any cell whose overlay tileset is missing, is drawn over the
    // cell's tile without its key colour.
    bool drawOverlayTiles = false;
    bool markKeyPixels = false;  // show the key-coloured pixels of the base tiles in kMarker
    int shrink = 1;              // keep every n-th pixel in each direction
};

// The marker colour for key-coloured pixels: magenta, which area art avoids.
inline constexpr std::uint8_t kMarker[3] = {0xFF, 0x00, 0xFF};

// The TIS files of overlays 1 to 4 (index 0 is unused); empty where missing.
using OverlayTilesets = std::array<std::vector<std::uint8_t>, 5>;

// The tileset names of overlays 1 to 4 that have cells (index 0 is unused);
// empty for the others, and all empty for a WED that cannot be read.
std::array<std::string, 5> overlayTilesetNames(const std::vector<std::uint8_t>& wed);

struct Picture {
    std::string error;  // empty when the picture was made
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

Picture renderArea(const std::vector<std::uint8_t>& wed, const std::vector<std::uint8_t>& tis,
                   const PictureOptions& options, const OverlayTilesets& overlays = {});

}  // namespace wedmorph::view
