#include "convert/OverlayPass.h"

#include <algorithm>

#include "convert/PixelFilters.h"

namespace wedmorph {

namespace {

// The output copy of a keyed tile made solid: its key pixels filled; where
// runs of key pixels stay, palette entry 0 takes the hole colour so they do
// not show green.
void makeSolid(const std::uint8_t* in, std::uint8_t* out) {
    if (out != in) std::copy_n(in, tis::kTileSize, out);
    if (fillKeyPixels(tilePixels(in), tilePixels(out), tis::kTileSide, tis::kTileSide)) {
        applyHoleColour(out);
    }
}

// An extra overlay tile: a copy of `in`, key colour and all, with its stray
// edge pixels cleared.
void makeOverlayTile(const std::uint8_t* in, std::uint8_t* out) {
    std::copy(in, tilePixels(in), out);  // the palette
    copyTrimmingOverlayEdges(tilePixels(in), tilePixels(out), tis::kTileSide, tis::kTileSide);
}

}  // namespace

bool OutputTileset::reserve(TileMemory& memory, std::int32_t copied, std::int32_t extraCapacity) {
    filled_ = MemoryArray<std::uint8_t>::allocate(memory, static_cast<std::size_t>(copied));
    if (!filled_) return false;
    std::fill_n(&filled_[0], copied, std::uint8_t{0});
    copied_ = copied;
    if (extraCapacity > 0) {
        extraSources_ = MemoryArray<std::int32_t>::allocate(memory, static_cast<std::size_t>(extraCapacity));
        if (!extraSources_) return false;
    }
    // A batch's room to read input tiles into and make as many.
    const std::int32_t batch = std::min(kBatchTiles, copied + extraCapacity);
    if (batch > 0) {
        scratch_ = MemoryArray<TileBytes>::allocate(memory, 2 * static_cast<std::size_t>(batch));
        if (!scratch_) return false;
    }
    return true;
}

void OutputTileset::noteKeys(std::int32_t first, std::span<const std::uint8_t> tiles) {
    const auto count = std::min<std::int64_t>(static_cast<std::int64_t>(tiles.size() / tis::kTileSize),
                                              std::int64_t{copied_} - first);
    for (std::int64_t k = 0; k < count; ++k) {
        std::uint8_t& filled = filled_[static_cast<std::size_t>(first + k)];
        if (filled != kNotFilled && !isKeyColour(tiles.data() + tis::kTileSize * k)) filled = kNotFilled;
    }
}

bool OutputTileset::addExtra(std::int32_t source) {
    if (extras_ >= extraCapacity()) return false;
    extraSources_[static_cast<std::size_t>(extras_++)] = source;
    return true;
}

void makeOutputTile(const OutputTileset& tileset, std::int32_t tile, const std::uint8_t* source,
                    TileBytes& into) {
    if (tile >= tileset.copiedTileCount()) {
        makeOverlayTile(source, into.data());
    } else {
        makeSolid(source, into.data());
    }
}

std::int64_t tilesTheWedUses(const TileCensus& census, const WedLayout& layout) {
    return std::max<std::int64_t>(layout.entryCount, std::int64_t{census.highestSecondaryTile} + 1);
}

std::int32_t keptTileCount(const TileCensus& census, const TisSource& source) {
    // Every tile that a cell can use is kept: the basic and door tiles the
    // census counts, and any tile named past them, as a door tile or through
    // the tile lookup table.
    const std::int64_t ceiling = std::max({std::int64_t{census.basicTiles} + census.doorExtraTiles,
                                           std::int64_t{census.highestSecondaryTile} + 1,
                                           std::int64_t{census.highestLookupTile} + 1});
    return static_cast<std::int32_t>(std::min<std::int64_t>(source.tilesInFile, ceiling));
}

PassOutcome prepareOutputTileset(const TileCensus& census, const WedLayout& layout,
                                 const TisSource& source, TileMemory& memory, OutputTileset& tileset) {
    const std::int32_t copied = keptTileCount(census, source);
    // Only an index that names both a tile map entry and a copied tile is
    // converted; a cell matches at most one overlay, so each such index makes
    // at most one extra tile.
    const std::int32_t convertible =
        std::max(0, std::min({census.basicTiles, layout.entryCount, copied}));
    if (!tileset.reserve(memory, copied, convertible)) return PassOutcome::NoMemory;
    return PassOutcome::Done;
}

namespace {

// The tile map bit of overlay `overlay`, or 0 where the overlay has no cells.
std::uint8_t overlayMask(const OverlayPassInput& input, int overlay) {
    const WedOverlay record = readOverlay(input.inputWed, input.layout, overlay);
    return record.width > 0 && record.height > 0 ? static_cast<std::uint8_t>(1u << overlay) : std::uint8_t{0};
}

}  // namespace

void markFillCandidates(const OverlayPassInput& input, OutputTileset& tileset) {
    // A cell matches at most one overlay: its mask is one overlay's bit.
    const std::int32_t convertible = tileset.extraCapacity();
    bool leading = true;  // the first overlay with cells, whose extra tiles come first
    for (int overlay = 1; overlay < wed::kOverlayCount; ++overlay) {
        const std::uint8_t mask = overlayMask(input, overlay);
        if (mask == 0) continue;
        for (std::int32_t i = 0; i < convertible; ++i) {
            const WedTilemapEntry cell = readTilemapEntry(input.inputWed, input.layout, i);
            if (cell.overlayMask == mask) tileset.markFilled(i, leading && cell.secondaryTile < 0);
        }
        leading = false;
    }
    // The door tiles that follow the basic tiles: filled when keyed, nothing more.
    for (std::int32_t j = std::max(input.census.basicTiles, 0); j < tileset.copiedTileCount(); ++j) {
        tileset.markFilled(j, false);
    }
}

PassOutcome convertOverlayTiles(const OverlayPassInput& input, const PassProgress& progress,
                                OutputTileset& tileset) {
    const std::int32_t basicTiles = input.census.basicTiles;
    // The room for extra tiles is one per convertible index (see prepareOutputTileset).
    const std::int32_t convertible = tileset.extraCapacity();
    // Overlay 0 is the base layer itself; the others are what shows through it.
    bool leading = true;  // the first overlay with cells
    for (int overlay = 1; overlay < wed::kOverlayCount; ++overlay) {
        const std::uint8_t mask = overlayMask(input, overlay);
        if (mask == 0) continue;

        // Past the convertible indices only the progress line is left to do.
        const std::int32_t visited = progress ? basicTiles : convertible;
        for (std::int32_t i = 0; i < visited; ++i) {
            if (progress) progress(i + 1, basicTiles);
            if (i >= convertible) continue;
            const WedTilemapEntry cell = readTilemapEntry(input.inputWed, input.layout, i);
            if (cell.overlayMask != mask) continue;
            // Marked to fill, it is still marked where it is keyed.
            if (!tileset.isFilled(i) || cell.secondaryTile >= 0) {
                writeOverlayMask(input.outputWed, input.layout, i, 0);
                continue;
            }
            const std::int32_t index = tileset.nextTileIndex();
            if (index > kMaxTileIndex) return PassOutcome::TooManyTiles;
            if (!tileset.addExtra(i)) return PassOutcome::NoMemory;
            writeSecondaryTile(input.outputWed, input.layout, i, static_cast<std::int16_t>(index));
        }
        if (leading) tileset.endLeadingExtras();
        leading = false;
    }
    return PassOutcome::Done;
}

}  // namespace wedmorph
