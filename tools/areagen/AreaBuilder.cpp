#include "areagen/AreaBuilder.h"

#include <cstdio>
#include <cstring>

#include "formats/LittleEndian.h"
#include "formats/Wed.h"

namespace wedmorph::areagen {

namespace {

constexpr std::size_t kWedHeaderSize = 32;
constexpr std::size_t kSecondaryHeaderSize = 20;

}  // namespace

std::uint64_t Random::next() {
    // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::vector<std::uint8_t> buildWed(const WedSpec& spec) {
    const std::size_t cellCount = spec.cells.size();
    std::size_t extraFrames = 0;
    for (const CellSpec& cell : spec.cells) {
        if (cell.frameCount > 1) extraFrames += static_cast<std::size_t>(cell.frameCount - 1);
    }
    const std::size_t overlayTable = kWedHeaderSize;
    const std::size_t secondaryHeader = overlayTable + wed::kOverlaySize * wed::kOverlayCount;
    const std::size_t tilemap = secondaryHeader + kSecondaryHeaderSize;
    const std::size_t lookup = tilemap + wed::kEntrySize * cellCount;
    const std::size_t size = lookup + (spec.withTileLookup ? 2 * (cellCount + extraFrames) : 0);

    std::vector<std::uint8_t> bytes(size, 0);
    std::span<std::uint8_t> out(bytes);
    std::memcpy(bytes.data(), "WED ", 4);
    for (std::size_t i = 0; i < 4 && i < spec.version.size(); ++i) bytes[4 + i] = spec.version[i];
    writeU32(out, 8, wed::kOverlayCount);
    writeU32(out, 12, 0);  // doors
    writeU32(out, 16, static_cast<std::uint32_t>(overlayTable));
    writeU32(out, 20, static_cast<std::uint32_t>(secondaryHeader));
    writeU32(out, 24, static_cast<std::uint32_t>(size));
    writeU32(out, 28, static_cast<std::uint32_t>(size));

    for (int o = 0; o < wed::kOverlayCount; ++o) {
        const OverlaySpec& overlay = spec.overlays[static_cast<std::size_t>(o)];
        const std::size_t at = overlayTable + wed::kOverlaySize * static_cast<std::size_t>(o);
        writeU16(out, at, static_cast<std::uint16_t>(overlay.width));
        writeU16(out, at + 2, static_cast<std::uint16_t>(overlay.height));
        for (std::size_t i = 0; i < 8 && i < overlay.tilesetName.size(); ++i) {
            bytes[at + 4 + i] = static_cast<std::uint8_t>(overlay.tilesetName[i]);
        }
        // Only overlay 0 carries a tile map here; the others point at its end.
        writeU32(out, at + 16, static_cast<std::uint32_t>(o == 0 ? tilemap : lookup));
        writeU32(out, at + 20, static_cast<std::uint32_t>(lookup));
    }
    writeU32(out, secondaryHeader, 0);  // polygons
    writeU32(out, secondaryHeader + 4, static_cast<std::uint32_t>(size));

    std::size_t nextLookup = 0;
    std::uint16_t nextFrameTile = static_cast<std::uint16_t>(cellCount);
    for (std::size_t k = 0; k < cellCount; ++k) {
        const CellSpec& cell = spec.cells[k];
        const std::size_t at = tilemap + wed::kEntrySize * k;
        writeU16(out, at, static_cast<std::uint16_t>(nextLookup));
        writeU16(out, at + 2, static_cast<std::uint16_t>(cell.frameCount));
        writeU16(out, at + 4, static_cast<std::uint16_t>(cell.secondaryTile));
        bytes[at + 6] = cell.overlayMask;
        if (!spec.withTileLookup) continue;
        writeU16(out, lookup + 2 * nextLookup++, static_cast<std::uint16_t>(k));
        for (int f = 1; f < cell.frameCount; ++f) {
            writeU16(out, lookup + 2 * nextLookup++, nextFrameTile++);
        }
    }
    return bytes;
}

Tile makeTile(std::uint64_t seed, std::uint8_t fill) {
    Tile tile{};
    Random random(seed);
    for (std::size_t entry = 0; entry < 256; ++entry) {
        const std::uint64_t colour = random.next();
        tile[4 * entry] = static_cast<std::uint8_t>(colour);
        tile[4 * entry + 1] = static_cast<std::uint8_t>(colour >> 8);
        tile[4 * entry + 2] = static_cast<std::uint8_t>(colour >> 16);
        tile[4 * entry + 3] = 0;
    }
    // Entry 0 of an ordinary tile is never pure green.
    if (isKeyColour(tile.data())) tile[1] = 0xFE;
    std::memset(tile.data() + tis::kPaletteSize, fill, tis::kPixelCount);
    return tile;
}

void setKeyColour(Tile& tile, std::uint8_t fourthByte) {
    tile[0] = 0x00;
    tile[1] = 0xFF;
    tile[2] = 0x00;
    tile[3] = fourthByte;
}

std::vector<std::uint8_t> buildTis(const std::vector<Tile>& tiles, bool withHeader) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(tis::kHeaderSize + tiles.size() * tis::kTileSize);
    if (withHeader) {
        const TisHeader header = makeTisHeader(static_cast<std::uint32_t>(tiles.size()));
        bytes.insert(bytes.end(), header.begin(), header.end());
    }
    for (const Tile& tile : tiles) bytes.insert(bytes.end(), tile.begin(), tile.end());
    return bytes;
}

std::vector<std::uint8_t> buildMos(int width, int height, std::uint64_t seed) {
    std::vector<std::uint8_t> bytes(24, 0);
    std::memcpy(bytes.data(), "MOS V1  ", 8);
    std::span<std::uint8_t> out(bytes);
    writeU16(out, 8, static_cast<std::uint16_t>(width));
    writeU16(out, 10, static_cast<std::uint16_t>(height));
    Random random(seed);
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<std::uint8_t>(random.next()));
    return bytes;
}

std::vector<std::uint8_t> buildBitmap(int width, int height, std::uint64_t seed) {
    // An uncompressed 24-bit BMP; rows padded to four bytes.
    const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const std::size_t pixels = row * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> bytes(54 + pixels, 0);
    std::span<std::uint8_t> out(bytes);
    bytes[0] = 'B';
    bytes[1] = 'M';
    writeU32(out, 2, static_cast<std::uint32_t>(bytes.size()));
    writeU32(out, 10, 54);
    writeU32(out, 14, 40);
    writeU32(out, 18, static_cast<std::uint32_t>(width));
    writeU32(out, 22, static_cast<std::uint32_t>(height));
    writeU16(out, 26, 1);
    writeU16(out, 28, 24);
    writeU32(out, 34, static_cast<std::uint32_t>(pixels));
    Random random(seed);
    for (std::size_t i = 54; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(random.next());
    }
    return bytes;
}

bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return (std::fclose(file) == 0) && ok;
}

std::vector<std::uint8_t> readFileBytes(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    std::uint8_t buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    std::fclose(file);
    return bytes;
}

}  // namespace wedmorph::areagen
