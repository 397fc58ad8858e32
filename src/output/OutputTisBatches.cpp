#include "output/OutputTisBatches.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <utility>

namespace wedmorph {

namespace {

// The processor's hint that this thread spins in a wait that is to end
// within microseconds: it yields the core to its other hardware thread
// rather than race through the loop.
inline void pauseWhileSpinning() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

// The tiles to make that are worth a thread of their own.
constexpr std::int64_t kTilesWorthAThread = 1024;

// How long a thread spins before it sleeps: a thread that sleeps in the
// kernel takes tens of microseconds to wake, most of all on a virtual
// machine's idle processor, longer than many waits between two batches last.
constexpr auto kSpinLimit = std::chrono::microseconds(50);

// Spins until `done()` holds or kSpinLimit has passed; whether it holds.
template <typename Done>
bool spinUntil(Done done) {
    const auto limit = std::chrono::steady_clock::now() + kSpinLimit;
    for (;;) {
        for (int n = 0; n < 64; ++n) {
            if (done()) return true;
            pauseWhileSpinning();
        }
        if (std::chrono::steady_clock::now() >= limit) return false;
    }
}

}  // namespace

OutputTisBatches::OutputTisBatches(OutputTileset& tileset, InputTiles input, bool saveHeader,
                                   std::size_t piecesPerBatch, TileMaking making)
    : tileset_(tileset),
      input_(input),
      header_(makeTisHeader(static_cast<std::uint32_t>(tileset.nextTileIndex()))),
      headerDue_(saveHeader),
      piecesPerBatch_(std::clamp<std::size_t>(piecesPerBatch, 1, kMostPiecesPerBatch)),
      roomTiles_(tileset.scratch().size() / 2) {
    // Starting a thread and waiting for it to end costs about as much as
    // making a thousand tiles: a file with fewer has them made in turn.
    std::int64_t toMake = tileset.extraTileCount();
    for (std::int32_t tile = 0; tile < tileset.copiedTileCount(); ++tile) toMake += tileset.isFilled(tile);
    const bool alongside = making == TileMaking::Alongside && toMake >= kTilesWorthAThread;
    const std::span<TileBytes> scratch = tileset.scratch();
    batches_[0].room = roomTiles_ > 0 ? scratch.data() : nullptr;
    batches_[1].room = roomTiles_ > 0 ? scratch.data() + roomTiles_ : nullptr;
    if (!alongside) {
        // Each batch is made once the one before it is written: one room
        // serves both, and a smaller one, so that fewer pages are touched.
        roomTiles_ = std::min(roomTiles_, kTilesMadeInTurn);
        batches_[1].room = batches_[0].room;
    }
    plan(batches_[0]);
    if (alongside && next_ < tileset_.nextTileIndex()) {
        // The first batch goes to the thread as it starts: its tiles are
        // made while the writer readies the file.
        handedToMaker_ = 0;
        try {
            maker_ = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            // No thread to be had: the writer makes every tile, the same bytes.
            handedToMaker_ = -1;
        }
    }
}

OutputTisBatches::~OutputTisBatches() {
    if (!maker_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        handedToMaker_ = -1;
        stop_ = true;
    }
    batchHandedOver_.notify_one();
    maker_.join();
}

void OutputTisBatches::plan(Batch& batch) {
    WritePiece* const pieces = batch.pieces.data();
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

    for (; !headerDue_ && next_ < tileset_.nextTileIndex(); ++next_) {
        if (!tileset_.isMade(next_)) {
            if (!add(input_.tile(next_), tis::kTileSize)) break;
            continue;
        }
        if (batch.madeCount == roomTiles_) break;
        if (!add(batch.room[batch.madeCount].data(), tis::kTileSize)) break;
        batch.made[batch.madeCount++] = next_;
    }
    batch.count = count;
    batch.taken.store(0, std::memory_order_relaxed);
    batch.finished.store(0, std::memory_order_relaxed);
}

void OutputTisBatches::makeTakenTiles(Batch& batch) const {
    for (;;) {
        const std::size_t k = batch.taken.fetch_add(1, std::memory_order_relaxed);
        if (k >= batch.madeCount) return;
        makeOutputTile(tileset_, input_, batch.made[k], batch.room[k]);
        batch.finished.fetch_add(1, std::memory_order_release);
    }
}

// The maker's whole work: the tiles of each batch handed to it, into that
// batch's room, until it is stopped with nothing handed over. It calls
// nothing of the system and allocates nothing.
void OutputTisBatches::work() {
    const auto handedOrStopped = [this] { return handedToMaker_.load() != -1 || stop_.load(); };
    for (;;) {
        spinUntil(handedOrStopped);
        std::unique_lock lock(mutex_);
        batchHandedOver_.wait(lock, handedOrStopped);
        if (handedToMaker_ == -1) return;
        beingMade_ = handedToMaker_.exchange(-1);
        Batch& batch = batches_[static_cast<std::size_t>(beingMade_)];
        lock.unlock();
        makeTakenTiles(batch);
        lock.lock();
        beingMade_ = -1;
        makerFinishedBatch_.notify_one();
    }
}

std::span<const WritePiece> OutputTisBatches::nextBatch() {
    Batch& batch = batches_[static_cast<std::size_t>(handOut_)];
    // What the other thread has not taken on yet is made here, and what it
    // has is waited for.
    makeTakenTiles(batch);
    const auto made = [&batch] { return batch.finished.load(std::memory_order_acquire) == batch.madeCount; };
    if (!spinUntil(made)) {
        std::unique_lock lock(mutex_);
        makerFinishedBatch_.wait(lock, made);
    }
    if (batch.count == 0) return {};
    // The writer is done with the other batch, handed out last time: the
    // one after this takes its room, once the other thread is out of it, and
    // is made while this one is written.
    const int handed = handOut_;
    handOut_ = 1 - handed;
    Batch& following = batches_[static_cast<std::size_t>(handOut_)];
    if (!maker_.joinable()) {
        plan(following);
    } else {
        {
            std::unique_lock lock(mutex_);
            makerFinishedBatch_.wait(lock, [this] { return beingMade_ != handOut_; });
            plan(following);
            if (following.madeCount > 0) handedToMaker_ = handOut_;
            // Nothing is left to make after this batch: the thread ends
            // while the last batches are written, not after them.
            if (next_ == tileset_.nextTileIndex()) stop_ = true;
        }
        batchHandedOver_.notify_one();
    }
    return {batch.pieces.data(), batch.count};
}

}  // namespace wedmorph
