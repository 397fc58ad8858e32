#include "formats/Wed.h"

#include "formats/LittleEndian.h"

#include <algorithm>
#include <bit>
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

// The lookup entries a cell can name: its first is a 16-bit number, and it
// has at most 32767 frames.
constexpr std::size_t kNameableLookupEntries = 0xFFFF + 0x7FFF;

// The highest tile that overlay 0's tile lookup table names for the cells'
// frames. Cells may name any range of entries, and many name the same ones
// (an animation that several cells show): each entry is read once however
// many cells name it, so the cost is bounded by the table, not by the frame
// counts added up.
class LookupReach {
public:
    LookupReach(std::span<const std::uint8_t> bytes, std::uint32_t offset)
        : bytes_(bytes), offset_(offset) {
        // An offset of 0 is no table: the header stands there.
        if (offset != 0 && offset < bytes.size()) {
            entries_ = std::min((bytes.size() - offset) / 2, kNameableLookupEntries);
        }
    }

    void addFrames(std::uint16_t first, std::int16_t frames) {
        if (frames <= 0) return;
        const std::size_t end =
            std::min(std::size_t{first} + static_cast<std::size_t>(frames), entries_);
        for (std::size_t e = first; e < end;) {
            const std::size_t word = e / 64;
            const std::size_t stop = std::min(end, (word + 1) * 64);
            // Bits e % 64 to (stop - 1) % 64: the range's entries in this word.
            const std::uint64_t range = (~std::uint64_t{0} << (e % 64)) &
                                        (~std::uint64_t{0} >> (63 - (stop - 1) % 64));
            for (std::uint64_t unread = range & ~read_[word]; unread != 0; unread &= unread - 1) {
                const std::size_t entry = word * 64 + static_cast<std::size_t>(std::countr_zero(unread));
                highest_ = std::max<std::int32_t>(highest_, readU16(bytes_, offset_ + 2 * entry));
            }
            read_[word] |= range;
            e = stop;
        }
    }

    std::int32_t highest() const { return highest_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t offset_;
    std::size_t entries_ = 0;  // whole entries that lie inside the file
    std::array<std::uint64_t, (kNameableLookupEntries + 63) / 64> read_{};
    std::int32_t highest_ = -1;
};

// The one pass over overlay 0's tile map. The frames of animated cells are
// added up in 64 bits, so that checkWedLayout can refuse a total that the
// census's 32 bits would not hold; its other counts cannot pass the number
// of cells.
struct TileMapPass {
    TileCensus census;  // all but basicTiles and animationExtraTiles
    std::int64_t animationFrames = 0;
};

// `lookupOffset` 0 leaves the lookup table unread.
TileMapPass passOverTileMap(WedImage image, const WedLayout& layout, std::uint32_t lookupOffset) {
    TileMapPass pass;
    TileCensus& census = pass.census;
    LookupReach lookup(image.bytes, lookupOffset);
    for (std::int32_t k = 0; k < layout.entryCount; ++k) {
        const WedTilemapEntry entry = readTilemapEntry(image, layout, k);
        if (entry.secondaryTile > 0) ++census.doorExtraTiles;
        census.highestSecondaryTile =
            std::max<std::int32_t>(census.highestSecondaryTile, entry.secondaryTile);
        if (entry.overlayMask != 0 && entry.secondaryTile > 0) ++census.overlayedDoorTiles;
        if (entry.frameCount > 1) pass.animationFrames += entry.frameCount;
        lookup.addFrames(entry.firstLookup, entry.frameCount);
    }
    census.highestLookupTile = lookup.highest();
    return pass;
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
    // totals would not fit rather than report wrapped numbers. Only the frames
    // count here: the lookup table is read once, by the census.
    if (layout.entryCount + passOverTileMap(image, layout, 0).animationFrames >
        std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }

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
    const TileMapPass pass =
        passOverTileMap(image, layout, readOverlay(image, layout, 0).tileLookupOffset);
    TileCensus census = pass.census;
    // Fits: checkWedLayout refuses a layout whose total does not.
    census.animationExtraTiles = static_cast<std::int32_t>(pass.animationFrames);
    census.basicTiles = layout.entryCount + census.animationExtraTiles;
    return census;
}

}  // namespace wedmorph
