#include "convert/OverlayPass.h"

#include <algorithm>
#include <cstring>

#include "convert/PixelFilters.h"
#include "driver/Messages.h"
#include "driver/Reporter.h"

namespace wedmorph {

namespace {

constexpr int kFirstOverlay = 1;
constexpr int kLastOverlay = 4;

const std::uint8_t* inputTile(const OverlayPassInput& input, std::int64_t index) {
    return input.mappedTis.data() + input.source.firstTile + tis::kTileSize * index;
}

std::uint8_t* outputTile(OutputTileset tileset, std::int64_t index) {
    return tileset.bytes + tis::kHeaderSize + tis::kTileSize * index;
}

// Fills the key pixels of the output copy of a keyed tile; where runs of key
// pixels stay, palette entry 0 takes the hole colour so they do not show green.
void makeSolid(const std::uint8_t* in, std::uint8_t* out) {
    if (fillKeyPixels(tilePixels(in), tilePixels(out), tis::kTileSide, tis::kTileSide)) {
        applyHoleColour(out);
    }
}

// Appends a trimmed copy of `in` as the next extra tile.
PassStatus appendOverlayTile(const std::uint8_t* in, PassResult& result, TileMemory& memory) {
    if (result.nextTileIndex > kMaxTileIndex) return PassStatus::TooManyTiles;
    auto* tile = static_cast<std::uint8_t*>(memory.allocate(tis::kTileSize));
    if (tile == nullptr) return PassStatus::OutOfMemory;
    std::memcpy(tile, in, tis::kTileSize);
    trimOverlayEdges(tilePixels(in), tilePixels(tile), tis::kTileSide, tis::kTileSide);
    result.extraTiles.tiles[result.extraTiles.count++] = tile;
    ++result.nextTileIndex;
    return PassStatus::Done;
}

}  // namespace

PreparedTileset prepareOutputTileset(const TileCensus& census, const TisSource& source,
                                     std::span<const std::uint8_t> mappedTis,
                                     TileMemory& memory) {
    PreparedTileset prepared;
    // Every tile that a cell can use is kept: the basic and door tiles the
    // census counts, and any door tile named past them.
    const std::int64_t ceiling = std::max(std::int64_t{census.basicTiles} + census.doorExtraTiles,
                                          std::int64_t{census.highestSecondaryTile} + 1);
    prepared.copiedTileCount =
        static_cast<std::int32_t>(std::min<std::int64_t>(source.tilesInFile, ceiling));
    const std::size_t tileBytes = tis::kTileSize * static_cast<std::size_t>(prepared.copiedTileCount);

    prepared.tileset.size = tis::kHeaderSize + tileBytes;
    prepared.tileset.bytes = static_cast<std::uint8_t*>(memory.allocate(prepared.tileset.size));
    if (prepared.tileset.bytes == nullptr) {
        prepared.tileset.size = 0;
        prepared.status = PassStatus::OutOfMemory;
        return prepared;
    }
    const TisHeader header = makeTisHeader(0);
    std::memcpy(prepared.tileset.bytes, header.data(), header.size());
    if (tileBytes > 0) {
        std::memcpy(prepared.tileset.bytes + tis::kHeaderSize, mappedTis.data() + source.firstTile,
                    tileBytes);
    }
    return prepared;
}

PassResult convertOverlayTiles(const OverlayPassInput& input, OutputTileset tileset,
                               std::int32_t copiedTileCount, Reporter& reporter,
                               TileMemory& memory) {
    PassResult result;
    result.nextTileIndex = copiedTileCount;

    // Only an index that names both a tile map entry and a copied tile is
    // converted; a cell matches at most one overlay, so each such index makes
    // at most one extra tile.
    const std::int32_t basicTiles = input.census.basicTiles;
    const std::int32_t convertible =
        std::max(0, std::min({basicTiles, input.layout.entryCount, copiedTileCount}));
    if (convertible > 0) {
        result.extraTiles.tiles = static_cast<std::uint8_t**>(
            memory.allocate(sizeof(std::uint8_t*) * static_cast<std::size_t>(convertible)));
        if (result.extraTiles.tiles == nullptr) {
            result.status = PassStatus::OutOfMemory;
            return result;
        }
        result.extraTiles.capacity = convertible;
    }

    for (int overlay = kFirstOverlay; overlay <= kLastOverlay; ++overlay) {
        const WedOverlay record = readOverlay(input.outputWed, input.layout, overlay);
        if (record.width <= 0 || record.height <= 0) continue;
        const std::uint8_t mask = static_cast<std::uint8_t>(1u << overlay);

        // Past the convertible indices only the progress line is left to do.
        const std::int32_t visited = reporter.silent() ? convertible : basicTiles;
        for (std::int32_t i = 0; i < visited; ++i) {
            if (!reporter.silent()) {
                reporter.reportConsole(messages::kProgress, i + 1, basicTiles);
            }
            if (i >= convertible) continue;
            const WedTilemapEntry cell = readTilemapEntry(input.inputWed, input.layout, i);
            if (cell.overlayMask != mask) continue;
            const std::uint8_t* in = inputTile(input, i);
            if (!isKeyColour(in)) {
                writeOverlayMask(input.outputWed, input.layout, i, 0);
                continue;
            }
            makeSolid(in, outputTile(tileset, i));
            if (cell.secondaryTile >= 0) {
                writeOverlayMask(input.outputWed, input.layout, i, 0);
                continue;
            }
            const std::int32_t index = result.nextTileIndex;
            result.status = appendOverlayTile(in, result, memory);
            if (result.status != PassStatus::Done) return result;
            writeSecondaryTile(input.outputWed, input.layout, i, static_cast<std::int16_t>(index));
        }
    }

    // The door tiles that follow the basic tiles: filled when keyed, nothing more.
    for (std::int32_t j = std::max(basicTiles, 0); j < copiedTileCount; ++j) {
        const std::uint8_t* in = inputTile(input, j);
        if (isKeyColour(in)) makeSolid(in, outputTile(tileset, j));
    }
    return result;
}

}  // namespace wedmorph
