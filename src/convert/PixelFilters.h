// The two filters over a tile's pixel area. Each reads `source` and writes a
// separate `destination` of the same shape, deciding every pixel on the
// unchanged source; a destination byte that no rule writes keeps its value.
// Value 0 is a key (see-through) pixel, any other value an opaque one.
#pragma once

#include <cstdint>

namespace wedmorph {

// Fills each key pixel from its left neighbour (in column 0, its right one),
// as `source` has them: `destination` holds a copy of `source`, or is
// `source` itself (each row is filled from its right end, so a pixel is read
// before its left neighbour is written). True when some row holds two or
// more key pixels side by side: such runs are left partly unfilled. Areas
// under 2 pixels wide or high are left alone.
bool fillKeyPixels(const std::uint8_t* source, std::uint8_t* destination, int width, int height);

// Clears (sets to 0) the opaque pixels that have two or more key neighbours;
// along the first and last rows only the pixels beside them in the row count,
// with the one pixel across in the corners.
void trimOverlayEdges(const std::uint8_t* source, std::uint8_t* destination, int width,
                      int height);

// Writes all of `destination`: `source` with the pixels that trimOverlayEdges
// clears set to 0, the bytes a copy and then that filter give.
void copyTrimmingOverlayEdges(const std::uint8_t* source, std::uint8_t* destination, int width, int height);

}  // namespace wedmorph
