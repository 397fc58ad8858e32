#include "convert/OverlayPass.h"

#include <algorithm>
#include <cstring>

#include "convert/PixelFilters.h"
#include "report/Messages.h"

namespace wedmorph {

namespace {

constexpr int kFirstOverlay = 1;
constexpr int kLastOverlay = 4;

const std::uint8_t* inputTile(const OverlayPassInput& input, std::int64_t index) {
    return input.mappedTis.data() + input.source.firstTile + tis::kTileSize * index;
}

// Fills the key pixels of the output copy of a keyed tile; where runs of key
// pixels stay, palette entry 0 takes the hole colour so they do not show green.
void makeSolid(const std::uint8_t* in, std::uint8_t* out) {
    if (fillKeyPixels(tilePixels(in), tilePixels(out), tis::kTileSide, tis::kTileSide)) {
        applyHoleColour(out);
    }
}

// Appends a trimmed copy of `in` as the next extra tile.
StepResult appendOverlayTile(const std::uint8_t* in, PassResult& result) {
    if (result.nextTileIndex > kMaxTileIndex) return Failure{messages::kTooManyTiles};
    std::uint8_t* tile = result.extraTiles.add();
    if (tile == nullptr) return Failure{messages::kNoMemory};
    std::memcpy(tile, in, tis::kTileSize);
    trimOverlayEdges(tilePixels(in), tilePixels(tile), tis::kTileSide, tis::kTileSide);
    ++result.nextTileIndex;
    return {};
}

}  // namespace

ExtraTiles::~ExtraTiles() {
    for (std::int32_t k = 0; k < count_; ++k) memory_->release(tiles()[k]);
}

bool ExtraTiles::reserve(TileMemory& memory, std::int32_t capacity) {
    memory_ = &memory;
    list_ = TileBlock::allocate(memory, sizeof(std::uint8_t*) * static_cast<std::size_t>(capacity));
    capacity_ = list_ ? capacity : 0;
    return static_cast<bool>(list_);
}

std::uint8_t* ExtraTiles::add() {
    if (count_ >= capacity_) return nullptr;
    auto* tile = static_cast<std::uint8_t*>(memory_->allocate(tis::kTileSize));
    if (tile != nullptr) tiles()[count_++] = tile;
    return tile;
}

StepResult prepareOutputTileset(const TileCensus& census, const TisSource& source,
                                std::span<const std::uint8_t> mappedTis, TileMemory& memory,
                                OutputTileset& tileset) {
    // Every tile that a cell can use is kept: the basic and door tiles the
    // census counts, and any door tile named past them.
    const std::int64_t ceiling = std::max(std::int64_t{census.basicTiles} + census.doorExtraTiles,
                                          std::int64_t{census.highestSecondaryTile} + 1);
    tileset.copiedTileCount =
        static_cast<std::int32_t>(std::min<std::int64_t>(source.tilesInFile, ceiling));
    const std::size_t tileBytes = tis::kTileSize * static_cast<std::size_t>(tileset.copiedTileCount);

    tileset.block = TileBlock::allocate(memory, tis::kHeaderSize + tileBytes);
    if (!tileset.block) return Failure{messages::kNoMemory};
    tileset.size = tis::kHeaderSize + tileBytes;
    const TisHeader header = makeTisHeader(0);
    std::memcpy(tileset.block.get(), header.data(), header.size());
    if (tileBytes > 0) {
        std::memcpy(tileset.tile(0), mappedTis.data() + source.firstTile, tileBytes);
    }
    return {};
}

StepResult convertOverlayTiles(const OverlayPassInput& input, const OutputTileset& tileset,
                               const PassProgress& progress, TileMemory& memory,
                               PassResult& result) {
    result.nextTileIndex = tileset.copiedTileCount;

    // Only an index that names both a tile map entry and a copied tile is
    // converted; a cell matches at most one overlay, so each such index makes
    // at most one extra tile.
    const std::int32_t basicTiles = input.census.basicTiles;
    const std::int32_t convertible =
        std::max(0, std::min({basicTiles, input.layout.entryCount, tileset.copiedTileCount}));
    if (convertible > 0 && !result.extraTiles.reserve(memory, convertible)) {
        return Failure{messages::kNoMemory};
    }

    for (int overlay = kFirstOverlay; overlay <= kLastOverlay; ++overlay) {
        const WedOverlay record = readOverlay(input.outputWed, input.layout, overlay);
        if (record.width <= 0 || record.height <= 0) continue;
        const std::uint8_t mask = static_cast<std::uint8_t>(1u << overlay);

        // Past the convertible indices only the progress line is left to do.
        const std::int32_t visited = progress ? basicTiles : convertible;
        for (std::int32_t i = 0; i < visited; ++i) {
            if (progress) progress(i + 1, basicTiles);
            if (i >= convertible) continue;
            const WedTilemapEntry cell = readTilemapEntry(input.inputWed, input.layout, i);
            if (cell.overlayMask != mask) continue;
            const std::uint8_t* in = inputTile(input, i);
            if (!isKeyColour(in)) {
                writeOverlayMask(input.outputWed, input.layout, i, 0);
                continue;
            }
            makeSolid(in, tileset.tile(i));
            if (cell.secondaryTile >= 0) {
                writeOverlayMask(input.outputWed, input.layout, i, 0);
                continue;
            }
            const std::int32_t index = result.nextTileIndex;
            if (const StepResult failed = appendOverlayTile(in, result)) return failed;
            writeSecondaryTile(input.outputWed, input.layout, i, static_cast<std::int16_t>(index));
        }
    }

    // The door tiles that follow the basic tiles: filled when keyed, nothing more.
    for (std::int32_t j = std::max(basicTiles, 0); j < tileset.copiedTileCount; ++j) {
        const std::uint8_t* in = inputTile(input, j);
        if (isKeyColour(in)) makeSolid(in, tileset.tile(j));
    }
    return {};
}

}  // namespace wedmorph
