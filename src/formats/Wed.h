// The parts of the WED layout file that a conversion reads and patches: the
// version, the overlay table, and overlay 0 with its tile map.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace wedmorph {

namespace wed {
inline constexpr std::size_t kSignatureOffset = 0;
inline constexpr const char* kSignature = "WED ";
inline constexpr std::size_t kVersionOffset = 4;
inline constexpr std::size_t kOverlayTableOffsetField = 16;
inline constexpr std::size_t kHeaderBytesRead = 20;

inline constexpr std::size_t kOverlaySize = 24;
inline constexpr int kOverlayCount = 5;  // overlay 0, the base layer, and overlays 1 to 4
inline constexpr std::size_t kOverlayWidth = 0;
inline constexpr std::size_t kOverlayHeight = 2;
inline constexpr std::size_t kOverlayTilesetName = 4;
inline constexpr std::size_t kTilesetNameSize = 8;
inline constexpr std::size_t kOverlayTilemapOffset = 16;
inline constexpr std::size_t kOverlayTileLookupOffset = 20;

inline constexpr std::size_t kEntrySize = 10;
inline constexpr std::size_t kEntryFirstLookup = 0;
inline constexpr std::size_t kEntryFrameCount = 2;
inline constexpr std::size_t kEntrySecondaryTile = 4;
inline constexpr std::size_t kEntryOverlayMask = 6;
}  // namespace wed

// A whole WED file as mapped: read-only for the input.
struct WedImage {
    std::span<const std::uint8_t> bytes;
};

// The output WED: a byte copy of the input in the run's memory, which the
// pass patches and which then goes to the file through ordinary writes.
struct WritableWedImage {
    std::span<std::uint8_t> bytes;
    operator WedImage() const { return {bytes}; }
};

// Where the overlay table and overlay 0's tile map stand. Taken once from the
// input image, after checking that everything read below lies inside it, and
// applied to the output image too, which is a byte copy.
struct WedLayout {
    std::uint32_t overlayTableOffset = 0;
    std::uint32_t tilemapOffset = 0;
    std::int32_t entryCount = 0;  // overlay 0's width × height
};

struct WedOverlay {
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::array<std::uint8_t, wed::kTilesetNameSize> tilesetName{};
    std::uint32_t tilemapOffset = 0;
    std::uint32_t tileLookupOffset = 0;  // the overlay's array of 16-bit tile indices
};

struct WedTilemapEntry {
    std::int16_t frameCount = 0;
    std::int16_t secondaryTile = -1;
    std::uint8_t overlayMask = 0;
    std::uint16_t firstLookup = 0;  // position of the cell's first frame in the tile lookup
};

struct TileCensus {
    std::int32_t basicTiles = 0;
    std::int32_t doorExtraTiles = 0;
    std::int32_t animationExtraTiles = 0;
    std::int32_t overlayedDoorTiles = 0;
    // The highest tile that a cell names, -1 when none does: as its secondary
    // tile, and through the tile lookup table (the entries of its frames that
    // lie inside the file; a lookup offset of 0 is no table). Cells may name
    // tiles past basicTiles + doorExtraTiles (several cells can share a door
    // tile, or leave some out), and those tiles must be kept.
    std::int32_t highestSecondaryTile = -1;
    std::int32_t highestLookupTile = -1;
};

// The layout of a WED that begins "WED ", whose header, five overlay records
// and overlay 0's tile map lie inside the image and whose counts fit 32 bits;
// nothing otherwise.
std::optional<WedLayout> checkWedLayout(WedImage image);

// The four version characters at offset 4, cut at the first zero byte.
std::string readWedVersion(WedImage image);

WedOverlay readOverlay(WedImage image, const WedLayout& layout, int overlay);
WedTilemapEntry readTilemapEntry(WedImage image, const WedLayout& layout, std::int32_t index);

void writeOverlayMask(WritableWedImage image, const WedLayout& layout, std::int32_t index,
                      std::uint8_t mask);
void writeSecondaryTile(WritableWedImage image, const WedLayout& layout, std::int32_t index,
                        std::int16_t tile);
// Zero-fills overlay 0's tileset name, then writes up to eight characters.
void writeTilesetName(WritableWedImage image, const WedLayout& layout, const std::string& name);

TileCensus takeTileCensus(WedImage image, const WedLayout& layout);

}  // namespace wedmorph
