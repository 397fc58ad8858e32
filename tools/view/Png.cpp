#include "view/Png.h"

#include <zlib.h>

namespace wedmorph::view {

namespace {

void putU32BigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void putChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
    putU32BigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = ::crc32(0, out.data() + typeAt, static_cast<uInt>(4 + data.size()));
    putU32BigEndian(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::vector<std::uint8_t> encodePng(int width, int height, const std::vector<std::uint8_t>& rgb) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // filter type: none
        const auto row = rgb.begin() + static_cast<long>(rowBytes) * y;
        raw.insert(raw.end(), row, row + static_cast<long>(rowBytes));
    }

    uLongf packedSize = ::compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (::compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()),
                    Z_BEST_COMPRESSION) != Z_OK) {
        return {};
    }
    packed.resize(packedSize);

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    putU32BigEndian(header, static_cast<std::uint32_t>(width));
    putU32BigEndian(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", {});
    return png;
}

}  // namespace wedmorph::view
