#include "convert/TileBatches.h"

#include <algorithm>

#include "convert/PixelFilters.h"

namespace wedmorph {

namespace {

// The output copy of a keyed tile made solid: its key pixels filled; where
// runs of key pixels stay, palette entry 0 takes the hole colour so they do
// not show green.
void makeSolid(const std::uint8_t* in, std::uint8_t* out) {
    std::copy_n(in, tis::kTileSize, out);
    if (fillKeyPixels(tilePixels(in), tilePixels(out), tis::kTileSide, tis::kTileSide)) {
        applyHoleColour(out);
    }
}

// An extra overlay tile: a copy of `in`, key colour and all, with its stray
// edge pixels cleared.
void makeOverlayTile(const std::uint8_t* in, std::uint8_t* out) {
    std::copy_n(in, tis::kTileSize, out);
    trimOverlayEdges(tilePixels(in), tilePixels(out), tis::kTileSide, tis::kTileSide);
}

}  // namespace

TileBatches::TileBatches(const OutputTileset& tileset, InputTiles input, bool saveHeader)
    : tileset_(tileset),
      input_(input),
      header_(makeTisHeader(static_cast<std::uint32_t>(tileset.nextTileIndex()))),
      headerDue_(saveHeader) {}

std::size_t TileBatches::nextBatch(std::span<std::span<const std::uint8_t>> pieces) {
    std::size_t count = 0;
    // Appends `bytes` to the last piece when they continue it, else takes a
    // new piece; false when there is none left.
    auto add = [&](const std::uint8_t* bytes, std::size_t length) {
        if (count > 0 && pieces[count - 1].data() + pieces[count - 1].size() == bytes) {
            pieces[count - 1] = {pieces[count - 1].data(), pieces[count - 1].size() + length};
            return true;
        }
        if (count == pieces.size()) return false;
        pieces[count++] = {bytes, length};
        return true;
    };
    if (headerDue_ && add(header_.data(), header_.size())) headerDue_ = false;

    const std::int32_t copied = tileset_.copiedTileCount();
    std::size_t made = 0;  // scratch tiles this batch has used
    for (; !headerDue_ && next_ < tileset_.nextTileIndex(); ++next_) {
        const bool extra = next_ >= copied;
        if (!extra && !tileset_.isFilled(next_)) {
            if (!add(input_.tile(next_), tis::kTileSize)) break;
            continue;
        }
        if (made == tileset_.scratch_.size()) break;
        std::uint8_t* tile = tileset_.scratch_[made].data();
        if (!add(tile, tis::kTileSize)) break;
        ++made;
        if (extra) {
            makeOverlayTile(input_.tile(tileset_.extraSource(next_ - copied)), tile);
        } else {
            makeSolid(input_.tile(next_), tile);
        }
    }
    return count;
}

}  // namespace wedmorph
