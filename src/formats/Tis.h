// The TIS tileset file: an optional 24-byte header, then tiles of 5120 bytes,
// each a 256-colour palette and 64 × 64 one-byte pixels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace wedmorph {

namespace tis {
inline constexpr std::size_t kHeaderSize = 24;
inline constexpr std::size_t kSignature = 0;
inline constexpr std::size_t kVersion = 4;
inline constexpr std::size_t kTileCount = 8;
inline constexpr std::size_t kTileLength = 12;
inline constexpr std::size_t kDataOffset = 16;
inline constexpr std::size_t kTileDimension = 20;

inline constexpr std::uint32_t kPvrzTileLength = 12;  // a texture page reference, not pixels

inline constexpr int kTileSide = 64;
inline constexpr std::size_t kPaletteSize = 1024;
inline constexpr std::size_t kPixelCount = 4096;
inline constexpr std::size_t kTileSize = kPaletteSize + kPixelCount;  // 5120
}  // namespace tis

using TisHeader = std::array<std::uint8_t, tis::kHeaderSize>;
using TileBytes = std::array<std::uint8_t, tis::kTileSize>;  // a palette tile, as the file holds it

// What is known of the input TIS once it is mapped.
struct TisSource {
    bool hasHeader = false;
    std::string versionText;        // the header's four version bytes, when it has one
    std::size_t firstTile = 0;      // offset of tile 0 in the mapped bytes
    std::uint32_t tilesInFile = 0;  // whole tiles that lie in the file from firstTile on
};

enum class TisCheck {
    Valid,
    Invalid,    // a header cut short, a tile length other than 5120, or tile 0 past the end
    PvrzTiles,  // a header whose tiles are 12-byte texture references (later editions)
};

struct TisReading {
    TisCheck check = TisCheck::Invalid;
    TisSource source;  // when the check is Valid
};

// Recognises the input form. A file that begins with "TIS" is read as having
// a header, which must be whole, give a tile length of 5120 and put tile 0
// inside the file.
TisReading readTisSource(std::span<const std::uint8_t> mapped);

// A tile is addressed by its first byte; palette entry 0 is its first four bytes.
inline std::uint8_t* tilePixels(std::uint8_t* tile) { return tile + tis::kPaletteSize; }
inline const std::uint8_t* tilePixels(const std::uint8_t* tile) {
    return tile + tis::kPaletteSize;
}

// A palette entry that holds pure green (00 FF 00), the key colour; its
// fourth byte is not looked at.
inline bool isKeyColourEntry(const std::uint8_t* entry) {
    return entry[1] == 0xFF && entry[0] == 0x00 && entry[2] == 0x00;
}
// Palette entry 0 of a tile holds the key colour: its pixels of value 0 are see-through.
inline bool isKeyColour(const std::uint8_t* tile) { return isKeyColourEntry(tile); }
// Palette entry 0 becomes 61 42 29; its fourth byte is kept.
void applyHoleColour(std::uint8_t* tile);

TisHeader makeTisHeader(std::uint32_t tileCount);

}  // namespace wedmorph
