#include "convert/TileBatches.h"

#include <algorithm>
#include <system_error>

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

TileBatches::TileBatches(const OutputTileset& tileset, InputTiles input, bool saveHeader,
                         std::size_t piecesPerBatch, TileMaking making)
    : tileset_(tileset),
      input_(input),
      header_(makeTisHeader(static_cast<std::uint32_t>(tileset.nextTileIndex()))),
      headerDue_(saveHeader),
      piecesPerBatch_(std::clamp<std::size_t>(piecesPerBatch, 1, kMostPiecesPerBatch)),
      roomTiles_(tileset.scratch_.size() / 2) {
    for (std::size_t b = 0; b < batches_.size(); ++b) {
        batches_[b].room = roomTiles_ > 0 ? &tileset.scratch_[b * roomTiles_] : nullptr;
    }
    plan(batches_[0]);
    // A file of one batch has nothing to make while another is written.
    const bool more = next_ < tileset_.nextTileIndex();
    if (making == TileMaking::Alongside && more) {
        try {
            maker_ = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            // No thread to be had: the tiles are made in turn, the same bytes.
        }
    }
    submit(0);
}

TileBatches::~TileBatches() {
    if (!maker_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    given_.notify_one();
    maker_.join();
}

void TileBatches::plan(Batch& batch) {
    BatchPiece* const pieces = batch.pieces.data();
    std::size_t count = 0;
    batch.madeCount = 0;
    // Appends `bytes` to the last piece when they continue it, else takes a
    // new piece; false when there is none left.
    auto add = [&](const std::uint8_t* bytes, std::size_t length) {
        if (count > 0 && pieces[count - 1].data() + pieces[count - 1].size() == bytes) {
            pieces[count - 1] = {pieces[count - 1].data(), pieces[count - 1].size() + length};
            return true;
        }
        if (count == piecesPerBatch_) return false;
        pieces[count++] = {bytes, length};
        return true;
    };
    if (headerDue_ && add(header_.data(), header_.size())) headerDue_ = false;

    const std::int32_t copied = tileset_.copiedTileCount();
    for (; !headerDue_ && next_ < tileset_.nextTileIndex(); ++next_) {
        if (next_ < copied && !tileset_.isFilled(next_)) {
            if (!add(input_.tile(next_), tis::kTileSize)) break;
            continue;
        }
        if (batch.madeCount == roomTiles_) break;
        if (!add(batch.room[batch.madeCount].data(), tis::kTileSize)) break;
        batch.made[batch.madeCount++] = next_;
    }
    batch.count = count;
}

void TileBatches::makeTiles(const Batch& batch) const {
    const std::int32_t copied = tileset_.copiedTileCount();
    for (std::size_t k = 0; k < batch.madeCount; ++k) {
        const std::int32_t tile = batch.made[k];
        std::uint8_t* out = batch.room[k].data();
        if (tile >= copied) {
            makeOverlayTile(input_.tile(tileset_.extraSource(tile - copied)), out);
        } else {
            makeSolid(input_.tile(tile), out);
        }
    }
}

void TileBatches::submit(int slot) {
    const Batch& batch = batches_[static_cast<std::size_t>(slot)];
    if (batch.madeCount == 0) return;
    if (!maker_.joinable()) {
        makeTiles(batch);
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        making_ = slot;
    }
    given_.notify_one();
}

void TileBatches::waitForTiles() {
    if (!maker_.joinable()) return;
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return making_ == -1; });
}

// The thread's whole work: the tiles of each batch it is given, into that
// batch's room. It calls nothing of the system and allocates nothing.
void TileBatches::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        given_.wait(lock, [this] { return making_ != -1 || stop_; });
        if (stop_) return;
        const Batch& batch = batches_[static_cast<std::size_t>(making_)];
        lock.unlock();
        makeTiles(batch);
        lock.lock();
        making_ = -1;
        done_.notify_one();
    }
}

std::span<const BatchPiece> TileBatches::nextBatch() {
    waitForTiles();
    const int current = handOut_;
    const Batch& batch = batches_[static_cast<std::size_t>(current)];
    if (batch.count == 0) return {};
    // The writer is done with the other batch, handed out last time: the
    // one after this takes its place and is made while this one is written.
    handOut_ = 1 - current;
    Batch& following = batches_[static_cast<std::size_t>(handOut_)];
    plan(following);
    submit(handOut_);
    return {batch.pieces.data(), batch.count};
}

}  // namespace wedmorph
