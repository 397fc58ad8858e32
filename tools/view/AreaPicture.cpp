#include "view/AreaPicture.h"

#include <optional>

#include "formats/LittleEndian.h"
#include "formats/Tis.h"
#include "formats/Wed.h"

namespace wedmorph::view {

namespace {

constexpr int kSide = tis::kTileSide;

struct TileDrawing {
    bool skipKeyColour = false;
    bool markKeyColour = false;
};

void drawTile(Picture& picture, const std::uint8_t* tile, int cellX, int cellY, int shrink,
              TileDrawing how) {
    const std::uint8_t* pixels = tilePixels(tile);
    for (int r = 0; r < kSide; r += shrink) {
        for (int c = 0; c < kSide; c += shrink) {
            const std::uint8_t value = pixels[r * kSide + c];
            const bool key = isKeyColourEntry(tile + 4 * value);
            if (key && how.skipKeyColour) continue;
            // A palette entry holds blue, green, red and an unused byte.
            const std::uint8_t* bgr = tile + 4 * value;
            const std::uint8_t rgb[3] = {bgr[2], bgr[1], bgr[0]};
            const std::uint8_t* shown = key && how.markKeyColour ? kMarker : rgb;
            const int x = (cellX * kSide + c) / shrink, y = (cellY * kSide + r) / shrink;
            std::uint8_t* out = picture.rgb.data() + (static_cast<std::size_t>(y) * picture.width + x) * 3;
            out[0] = shown[0];
            out[1] = shown[1];
            out[2] = shown[2];
        }
    }
}

Picture failed(std::string error) {
    Picture picture;
    picture.error = std::move(error);
    return picture;
}

}  // namespace

Picture renderArea(const std::vector<std::uint8_t>& wedBytes, const std::vector<std::uint8_t>& tisBytes,
                   const PictureOptions& options) {
    const WedImage wed{wedBytes};
    const std::optional<WedLayout> layout = checkWedLayout(wed);
    if (!layout) return failed("the WED file is broken: its overlays or tile map lie outside it");
    const TisReading reading = readTisSource(tisBytes, static_cast<std::uint32_t>(tisBytes.size()));
    if (reading.check == TisCheck::PvrzTiles) return failed("the TIS file holds PVRZ tile references, not palette tiles");
    if (reading.check != TisCheck::Valid) {
        return failed("the TIS file is broken: its header is cut short, has another tile length or points past its end");
    }
    const TisSource& source = reading.source;
    const WedOverlay base = readOverlay(wed, *layout, 0);
    if (base.width <= 0 || base.height <= 0) return failed("overlay 0 has no cells");
    if (options.shrink < 1 || kSide % options.shrink != 0) return failed("the shrink factor must divide 64");

    auto tileAt = [&](long index) {
        return tisBytes.data() + source.firstTile + tis::kTileSize * static_cast<std::size_t>(index);
    };

    Picture picture;
    picture.width = base.width * kSide / options.shrink;
    picture.height = base.height * kSide / options.shrink;
    picture.rgb.assign(static_cast<std::size_t>(picture.width) * picture.height * 3, 0);
    for (int k = 0; k < layout->entryCount; ++k) {
        const WedTilemapEntry entry = readTilemapEntry(wed, *layout, k);
        const std::uint64_t lookupAt = std::uint64_t{base.tileLookupOffset} + 2ull * entry.firstLookup;
        if (lookupAt + 2 > wedBytes.size()) {
            return failed("cell " + std::to_string(k) + " points past the end of the tile lookup");
        }
        const std::uint16_t tile = readU16(wedBytes, static_cast<std::size_t>(lookupAt));
        if (tile >= source.tilesInFile) {
            return failed("cell " + std::to_string(k) + " names tile " + std::to_string(tile) +
                          ", but the TIS holds " + std::to_string(source.tilesInFile) + " tiles");
        }
        const int x = k % base.width, y = k / base.width;
        drawTile(picture, tileAt(tile), x, y, options.shrink, {false, options.markKeyPixels});
        if (options.drawOverlayTiles && entry.secondaryTile >= 0) {
            if (static_cast<std::uint32_t>(entry.secondaryTile) >= source.tilesInFile) {
                return failed("cell " + std::to_string(k) + " names secondary tile " +
                              std::to_string(entry.secondaryTile) + ", but the TIS holds " +
                              std::to_string(source.tilesInFile) + " tiles");
            }
            drawTile(picture, tileAt(entry.secondaryTile), x, y, options.shrink, {true, false});
        }
    }
    return picture;
}

}  // namespace wedmorph::view
