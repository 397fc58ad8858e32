// A PNG writer: 8-bit RGB, unfiltered rows, compressed with zlib.
#pragma once

#include <cstdint>
#include <vector>

namespace wedmorph::view {

// `rgb` holds width × height pixels of three bytes, row after row, top row
// first. Empty when zlib has no memory for the compression.
std::vector<std::uint8_t> encodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace wedmorph::view
