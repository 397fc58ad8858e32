#include "view/AreaPicture.h"

#include <algorithm>
#include <optional>

#include "formats/LittleEndian.h"
#include "formats/Tis.h"
#include "formats/Wed.h"

namespace wedmorph::view {

namespace {

constexpr int kSide = tis::kTileSide;

struct Failed {
    std::string error;
};

// A tileset as read: its bytes and where its tiles are.
struct Tileset {
    const std::vector<std::uint8_t>* bytes = nullptr;
    TisSource source;

    const std::uint8_t* tile(std::size_t index) const {
        return bytes->data() + source.firstTile + tis::kTileSize * index;
    }
};

std::optional<Tileset> readTileset(const std::vector<std::uint8_t>& bytes, std::string& error,
                                   const std::string& which) {
    const TisReading reading = readTisSource(bytes);
    if (reading.check == TisCheck::PvrzTiles) {
        error = which + " holds PVRZ tile references, not palette tiles";
        return std::nullopt;
    }
    if (reading.check != TisCheck::Valid) {
        error = which + " is broken: its header is cut short, has another tile length or points past its end";
        return std::nullopt;
    }
    return Tileset{&bytes, reading.source};
}

// The tile that frame 0 of a cell shows: its first entry in the overlay's tile lookup.
std::optional<std::size_t> firstFrame(WedImage wed, const WedOverlay& overlay, const WedTilemapEntry& entry,
                                      const Tileset& tileset, std::string& error, const std::string& cell) {
    const std::uint64_t lookupAt = std::uint64_t{overlay.tileLookupOffset} + 2ull * entry.firstLookup;
    if (lookupAt + 2 > wed.bytes.size()) {
        error = cell + " points past the end of the tile lookup";
        return std::nullopt;
    }
    const std::uint16_t tile = readU16(wed.bytes, static_cast<std::size_t>(lookupAt));
    if (tile >= tileset.source.tilesInFile) {
        error = cell + " names tile " + std::to_string(tile) + ", but the TIS holds " +
                std::to_string(tileset.source.tilesInFile) + " tiles";
        return std::nullopt;
    }
    return tile;
}

// One of overlays 1 to 4 with its tileset: the tile that frame 0 of each of
// its cells shows. Its cells repeat over the area.
struct Overlay {
    int width = 0, height = 0;
    std::vector<const std::uint8_t*> tiles;
};

std::optional<Overlay> readOverlayTiles(WedImage wed, const WedLayout& layout, int index,
                                        const std::vector<std::uint8_t>& tisBytes, std::string& error) {
    const WedOverlay record = readOverlay(wed, layout, index);
    const std::string which = "overlay " + std::to_string(index);
    const std::optional<Tileset> tileset = readTileset(tisBytes, error, "the tileset of " + which);
    if (!tileset) return std::nullopt;
    const std::uint64_t cells = static_cast<std::uint64_t>(record.width) * static_cast<std::uint64_t>(record.height);
    if (std::uint64_t{record.tilemapOffset} + wed::kEntrySize * cells > wed.bytes.size()) {
        error = "the tile map of " + which + " lies outside the WED file";
        return std::nullopt;
    }
    Overlay overlay{record.width, record.height, {}};
    WedLayout own = layout;
    own.tilemapOffset = record.tilemapOffset;
    for (std::int32_t k = 0; k < static_cast<std::int32_t>(cells); ++k) {
        const std::optional<std::size_t> tile = firstFrame(wed, record, readTilemapEntry(wed, own, k), *tileset,
                                                           error, "cell " + std::to_string(k) + " of " + which);
        if (!tile) return std::nullopt;
        overlay.tiles.push_back(tileset->tile(*tile));
    }
    return overlay;
}

using Colour = std::array<std::uint8_t, 3>;

// Pixel (r, c) of a tile through the tile's palette (blue, green, red,
// unused), and whether it is key-coloured.
struct TilePixel {
    Colour rgb;
    bool key;
};

TilePixel pixelOf(const std::uint8_t* tile, int r, int c) {
    const std::uint8_t* entry = tile + 4 * tilePixels(tile)[r * kSide + c];
    return {{entry[2], entry[1], entry[0]}, isKeyColourEntry(entry)};
}

Picture failed(std::string error) {
    Picture picture;
    picture.error = std::move(error);
    return picture;
}

}  // namespace

std::array<std::string, 5> overlayTilesetNames(const std::vector<std::uint8_t>& wedBytes) {
    std::array<std::string, 5> names;
    const WedImage wed{wedBytes};
    const std::optional<WedLayout> layout = checkWedLayout(wed);
    if (!layout) return names;
    for (int o = 1; o < wed::kOverlayCount; ++o) {
        const WedOverlay record = readOverlay(wed, *layout, o);
        if (record.width <= 0 || record.height <= 0) continue;
        const auto& name = record.tilesetName;
        names[static_cast<std::size_t>(o)] = std::string(name.begin(), std::find(name.begin(), name.end(), 0));
    }
    return names;
}

Picture renderArea(const std::vector<std::uint8_t>& wedBytes, const std::vector<std::uint8_t>& tisBytes,
                   const PictureOptions& options, const OverlayTilesets& overlayTis) {
    const WedImage wed{wedBytes};
    const std::optional<WedLayout> layout = checkWedLayout(wed);
    if (!layout) return failed("the WED file is broken: its overlays or tile map lie outside it");
    std::string error;
    const std::optional<Tileset> tileset = readTileset(tisBytes, error, "the TIS file");
    if (!tileset) return failed(error);
    const WedOverlay base = readOverlay(wed, *layout, 0);
    if (base.width <= 0 || base.height <= 0) return failed("overlay 0 has no cells");
    if (options.shrink < 1 || kSide % options.shrink != 0) return failed("the shrink factor must divide 64");

    std::array<std::optional<Overlay>, wed::kOverlayCount> overlays;
    for (int o = 1; options.drawOverlayTiles && o < wed::kOverlayCount; ++o) {
        const std::vector<std::uint8_t>& bytes = overlayTis[static_cast<std::size_t>(o)];
        if (bytes.empty()) continue;
        overlays[static_cast<std::size_t>(o)] = readOverlayTiles(wed, *layout, o, bytes, error);
        if (!error.empty()) return failed(error);
    }

    Picture picture;
    picture.width = base.width * kSide / options.shrink;
    picture.height = base.height * kSide / options.shrink;
    picture.rgb.assign(static_cast<std::size_t>(picture.width) * picture.height * 3, 0);
    const Colour marker = {kMarker[0], kMarker[1], kMarker[2]};
    for (int k = 0; k < layout->entryCount; ++k) {
        const WedTilemapEntry entry = readTilemapEntry(wed, *layout, k);
        const std::string cell = "cell " + std::to_string(k);
        const std::optional<std::size_t> tile = firstFrame(wed, base, entry, *tileset, error, cell);
        if (!tile) return failed(error);
        const bool hasSecondary = options.drawOverlayTiles && entry.secondaryTile >= 0;
        if (hasSecondary && static_cast<std::uint32_t>(entry.secondaryTile) >= tileset->source.tilesInFile) {
            return failed(cell + " names secondary tile " + std::to_string(entry.secondaryTile) +
                          ", but the TIS holds " + std::to_string(tileset->source.tilesInFile) + " tiles");
        }
        const int x = k % base.width, y = k / base.width;

        // The overlay that shows through this cell, when its tileset is here.
        const std::uint8_t* water = nullptr;
        for (int o = 1; o < wed::kOverlayCount && water == nullptr; ++o) {
            const std::optional<Overlay>& overlay = overlays[static_cast<std::size_t>(o)];
            if ((entry.overlayMask & (1u << o)) == 0 || !overlay) continue;
            water = overlay->tiles[static_cast<std::size_t>((y % overlay->height) * overlay->width +
                                                            x % overlay->width)];
        }
        const std::uint8_t* own = tileset->tile(*tile);
        const std::uint8_t* over = hasSecondary ? tileset->tile(static_cast<std::size_t>(entry.secondaryTile)) : nullptr;
        for (int r = 0; r < kSide; r += options.shrink) {
            for (int c = 0; c < kSide; c += options.shrink) {
                const TilePixel under = pixelOf(own, r, c);
                Colour shown = under.rgb;
                if (water != nullptr && (over != nullptr || under.key)) {
                    shown = pixelOf(water, r, c).rgb;
                } else if (under.key && options.markKeyPixels) {
                    shown = marker;
                }
                if (over != nullptr) {
                    const TilePixel top = pixelOf(over, r, c);
                    if (!top.key) shown = top.rgb;
                }
                const int px = (x * kSide + c) / options.shrink, py = (y * kSide + r) / options.shrink;
                std::copy(shown.begin(), shown.end(),
                          picture.rgb.begin() + static_cast<long>((static_cast<std::size_t>(py) * picture.width + px) * 3));
            }
        }
    }
    return picture;
}

}  // namespace wedmorph::view
