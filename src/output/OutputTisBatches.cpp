#include "output/OutputTisBatches.h"

#include <algorithm>
#include <utility>

namespace wedmorph {

OutputTisBatches::OutputTisBatches(OutputTileset& tileset, TisPart part, std::uint64_t firstTile,
                                   InputReader read, bool saveHeader, std::size_t tilesPerBatch)
    : tileset_(tileset),
      part_(part),
      firstTile_(firstTile),
      read_(std::move(read)),
      tilesAt_(saveHeader ? tis::kHeaderSize : 0) {
    // Those the pass places first are made with the copied tiles.
    if (part == TisPart::ExtraTiles) next_ = tileset.leadingExtraCount();
    // The room: the tiles read, then as many made.
    const std::span<TileBytes> scratch = tileset.scratch();
    const std::size_t room = scratch.size() / 2;
    tilesPerBatch_ = std::clamp<std::size_t>(tilesPerBatch, 1, std::max<std::size_t>(room, 1));
    input_ = scratch.data();
    made_ = input_ != nullptr ? input_ + room : nullptr;
}

bool OutputTisBatches::read(std::int32_t slot, std::int32_t first, std::int32_t count) {
    const std::span<std::uint8_t> into(input_[slot].data(), static_cast<std::size_t>(count) * tis::kTileSize);
    return read_(firstTile_ + std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(first), into);
}

// The next tiles in order, their keys noted, those left marked filled made in
// place; they go out as they were read, and the extra tiles made from them
// where the pass places them first.
bool OutputTisBatches::copiedTiles() {
    const std::int32_t first = next_;
    const std::int32_t count = std::min(static_cast<std::int32_t>(tilesPerBatch_), tileset_.copiedTileCount() - first);
    next_ += count;
    if (!read(0, first, count)) return false;
    const std::span<const std::uint8_t> tiles(input_->data(), static_cast<std::size_t>(count) * tis::kTileSize);
    tileset_.noteKeys(first, tiles);
    const std::int32_t copied = tileset_.copiedTileCount();
    const std::int32_t firstExtra = leadingExtras_;
    for (std::int32_t slot = 0; slot < count; ++slot) {
        const std::int32_t tile = first + slot;
        if (!tileset_.isFilled(tile)) continue;
        // The extra tile first, a copy of the tile as it was read.
        if (tileset_.isLeadingExtraSource(tile)) {
            makeOutputTile(tileset_, copied + leadingExtras_, input_[slot].data(), made_[leadingExtras_ - firstExtra]);
            ++leadingExtras_;
        }
        makeOutputTile(tileset_, tile, input_[slot].data(), input_[slot]);
    }
    pieces_[0] = tiles;
    writes_[writeCount_++] = {tilesAt_ + std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(first),
                              {&pieces_[0], 1}};
    if (leadingExtras_ > firstExtra) {
        pieces_[1] = {made_->data(), static_cast<std::size_t>(leadingExtras_ - firstExtra) * tis::kTileSize};
        writes_[writeCount_++] = {
            tilesAt_ + std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(copied + firstExtra),
            {&pieces_[1], 1}};
    }
    return true;
}

// The next extra tiles, their sources read into the input room in order,
// each run of sources that follow one another in the input in one read.
bool OutputTisBatches::extraTiles() {
    const std::int32_t copied = tileset_.copiedTileCount();
    const std::int32_t firstExtra = next_;
    const std::int32_t last =
        std::min(tileset_.extraTileCount(), firstExtra + static_cast<std::int32_t>(tilesPerBatch_));
    for (std::int32_t run = firstExtra; run < last;) {
        const std::int32_t source = tileset_.extraSource(run);
        std::int32_t end = run + 1;
        while (end < last && tileset_.extraSource(end) == source + (end - run)) ++end;
        if (!read(run - firstExtra, source, end - run)) return false;
        run = end;
    }
    for (; next_ < last; ++next_) {
        const std::int32_t k = next_ - firstExtra;
        makeOutputTile(tileset_, copied + next_, input_[k].data(), made_[k]);
    }
    pieces_[0] = {made_->data(), static_cast<std::size_t>(last - firstExtra) * tis::kTileSize};
    writes_[writeCount_++] = {tilesAt_ + std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(copied + firstExtra),
                              {&pieces_[0], 1}};
    return true;
}

std::optional<std::span<const OutputWrite>> OutputTisBatches::nextBatch() {
    writeCount_ = 0;
    const bool copied = part_ == TisPart::CopiedTiles;
    if (next_ < (copied ? tileset_.copiedTileCount() : tileset_.extraTileCount()) &&
        !(copied ? copiedTiles() : extraTiles())) {
        return std::nullopt;
    }
    return std::span<const OutputWrite>(writes_.data(), writeCount_);
}

}  // namespace wedmorph
