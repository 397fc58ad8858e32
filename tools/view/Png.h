// A PNG writer with no library behind it: 8-bit RGB, filter type 0, the image
// data in stored (uncompressed) deflate blocks inside a zlib stream.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace wedmorph::view {

std::uint32_t crc32(const std::uint8_t* data, std::size_t length, std::uint32_t crc = 0);
std::uint32_t adler32(const std::uint8_t* data, std::size_t length);

// `rgb` holds width × height pixels of three bytes, row after row, top row first.
std::vector<std::uint8_t> encodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace wedmorph::view
