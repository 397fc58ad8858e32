// Renders overlay 0 of an area as one picture: each cell's tile, found through
// the overlay's tile lookup, drawn through the tile's own palette.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wedmorph::view {

struct PictureOptions {
    bool drawOverlayTiles = false;  // draw each cell's secondary tile over it, key colour left out
    bool markKeyPixels = false;     // show the key-coloured pixels of the base tiles in kMarker
    int shrink = 1;                 // keep every n-th pixel in each direction
};

// The marker colour for key-coloured pixels: magenta, which area art avoids.
inline constexpr std::uint8_t kMarker[3] = {0xFF, 0x00, 0xFF};

struct Picture {
    std::string error;  // empty when the picture was made
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

Picture renderArea(const std::vector<std::uint8_t>& wed, const std::vector<std::uint8_t>& tis,
                   const PictureOptions& options);

}  // namespace wedmorph::view
