#include "formats/Wed.h"

#include "formats/LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace wedmorph {

namespace {

std::size_t overlayAt(const WedLayout& layout, int overlay) {
    return layout.overlayTableOffset + wed::kOverlaySize * static_cast<std::size_t>(overlay);
}

std::size_t entryAt(const WedLayout& layout, std::int32_t index) {
    return layout.tilemapOffset + wed::kEntrySize * static_cast<std::size_t>(index);
}

}  // namespace

std::optional<WedLayout> checkWedLayout(WedImage image) {
    const auto bytes = image.bytes;
    const std::uint64_t size = bytes.size();
    if (size < wed::kHeaderBytesRead) return std::nullopt;
    // A file without the signature is no WED, whatever its offsets happen to hold.
    if (std::memcmp(bytes.data() + wed::kSignatureOffset, wed::kSignature, 4) != 0) {
        return std::nullopt;
    }

    WedLayout layout;
    layout.overlayTableOffset = readU32(bytes, wed::kOverlayTableOffsetField);
    const std::uint64_t tableEnd =
        std::uint64_t{layout.overlayTableOffset} + wed::kOverlaySize * wed::kOverlayCount;
    if (tableEnd > size) return std::nullopt;

    const std::int16_t width = readI16(bytes, layout.overlayTableOffset + wed::kOverlayWidth);
    const std::int16_t height = readI16(bytes, layout.overlayTableOffset + wed::kOverlayHeight);
    if (width < 0 || height < 0) return std::nullopt;
    layout.tilemapOffset = readU32(bytes, layout.overlayTableOffset + wed::kOverlayTilemapOffset);
    layout.entryCount = std::int32_t{width} * std::int32_t{height};
    const std::uint64_t tilemapEnd =
        std::uint64_t{layout.tilemapOffset} +
        wed::kEntrySize * static_cast<std::uint64_t>(layout.entryCount);
    if (layout.entryCount > 0 && tilemapEnd > size) return std::nullopt;

    // The census adds whole frame counts to 32-bit totals; refuse a file whose
    // totals would not fit rather than report wrapped numbers.
    std::int64_t basicTiles = layout.entryCount;
    for (std::int32_t k = 0; k < layout.entryCount; ++k) {
        const std::int16_t frames = readI16(bytes, entryAt(layout, k) + wed::kEntryFrameCount);
        if (frames > 1) basicTiles += frames;
    }
    if (basicTiles > std::numeric_limits<std::int32_t>::max()) return std::nullopt;

    layout.extent = static_cast<std::size_t>(
        std::max(tableEnd, layout.entryCount > 0 ? tilemapEnd : std::uint64_t{0}));
    return layout;
}

std::string readWedVersion(WedImage image) {
    const auto version = image.bytes.subspan(wed::kVersionOffset, 4);
    const auto end = std::find(version.begin(), version.end(), std::uint8_t{0});
    return std::string(version.begin(), end);
}

WedOverlay readOverlay(WedImage image, const WedLayout& layout, int overlay) {
    const std::size_t at = overlayAt(layout, overlay);
    WedOverlay record;
    record.width = readI16(image.bytes, at + wed::kOverlayWidth);
    record.height = readI16(image.bytes, at + wed::kOverlayHeight);
    std::memcpy(record.tilesetName.data(), image.bytes.data() + at + wed::kOverlayTilesetName,
                wed::kTilesetNameSize);
    record.tilemapOffset = readU32(image.bytes, at + wed::kOverlayTilemapOffset);
    record.tileLookupOffset = readU32(image.bytes, at + wed::kOverlayTileLookupOffset);
    return record;
}

WedTilemapEntry readTilemapEntry(WedImage image, const WedLayout& layout, std::int32_t index) {
    const std::size_t at = entryAt(layout, index);
    return {readI16(image.bytes, at + wed::kEntryFrameCount),
            readI16(image.bytes, at + wed::kEntrySecondaryTile),
            readU8(image.bytes, at + wed::kEntryOverlayMask),
            readU16(image.bytes, at + wed::kEntryFirstLookup)};
}

void writeOverlayMask(WritableWedImage image, const WedLayout& layout, std::int32_t index,
                      std::uint8_t mask) {
    writeU8(image.bytes, entryAt(layout, index) + wed::kEntryOverlayMask, mask);
}

void writeSecondaryTile(WritableWedImage image, const WedLayout& layout, std::int32_t index,
                        std::int16_t tile) {
    writeU16(image.bytes, entryAt(layout, index) + wed::kEntrySecondaryTile,
             static_cast<std::uint16_t>(tile));
}

void writeTilesetName(WritableWedImage image, const WedLayout& layout, const std::string& name) {
    std::uint8_t* field = image.bytes.data() + overlayAt(layout, 0) + wed::kOverlayTilesetName;
    std::memset(field, 0, wed::kTilesetNameSize);
    std::memcpy(field, name.data(), std::min(name.size(), wed::kTilesetNameSize));
}

TileCensus takeTileCensus(WedImage image, const WedLayout& layout) {
    TileCensus census;
    census.basicTiles = layout.entryCount;
    for (std::int32_t k = 0; k < layout.entryCount; ++k) {
        const WedTilemapEntry entry = readTilemapEntry(image, layout, k);
        if (entry.secondaryTile > 0) ++census.doorExtraTiles;
        census.highestSecondaryTile =
            std::max<std::int32_t>(census.highestSecondaryTile, entry.secondaryTile);
        if (entry.overlayMask != 0 && entry.secondaryTile > 0) ++census.overlayedDoorTiles;
        if (entry.frameCount > 1) {
            census.animationExtraTiles += entry.frameCount;
            census.basicTiles += entry.frameCount;
        }
    }
    return census;
}

}  // namespace wedmorph
