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

OutputTisBatches::OutputTisBatches(OutputTileset& tileset, TisPart part, std::uint64_t firstTile,
                                   InputReader read, bool saveHeader, std::size_t tilesPerBatch,
                                   TileMaking making)
    : tileset_(tileset),
      part_(part),
      firstTile_(firstTile),
      read_(std::move(read)),
      tilesAt_(saveHeader ? tis::kHeaderSize : 0) {
    // Starting a thread and waiting for it to end costs about as much as
    // making a thousand tiles: a part with fewer has them made in turn.
    std::int64_t toMake = 0;
    if (part == TisPart::CopiedTiles) {
        for (std::int32_t tile = 0; tile < tileset.copiedTileCount(); ++tile) {
            toMake += std::int64_t{tileset.isFilled(tile)} + tileset.isLeadingExtraSource(tile);
        }
    } else {
        // Those the pass places first are made with the copied tiles.
        next_ = tileset.leadingExtraCount();
        toMake = tileset.extraTileCount() - next_;
    }
    const bool alongside = making == TileMaking::Alongside && toMake >= kTilesWorthAThread;
    // Each batch's room: its input tiles, then as many extra tiles.
    std::size_t room = tileset.scratch().size() / 4;
    TileBytes* const scratch = tileset.scratch().data();
    if (alongside) {
        batches_[0].input = scratch;
        batches_[1].input = scratch + 2 * room;
    } else {
        // Each batch is read and made once the one before it is written: one
        // room serves both, and a smaller one, so that fewer pages are touched.
        room = std::min(room, kTilesMadeInTurn);
        batches_[0].input = batches_[1].input = scratch;
    }
    tilesPerBatch_ = std::clamp<std::size_t>(tilesPerBatch, 1, std::max<std::size_t>(room, 1));
    for (Batch& batch : batches_) batch.room = batch.input != nullptr ? batch.input + room : nullptr;
    prepare(batches_[0]);
    if (alongside && batches_[0].makingCount > 0) {
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

bool OutputTisBatches::done() const {
    return next_ == (part_ == TisPart::CopiedTiles ? tileset_.copiedTileCount() : tileset_.extraTileCount());
}

bool OutputTisBatches::read(Batch& batch, std::int32_t slot, std::int32_t first, std::int32_t count) {
    const std::span<std::uint8_t> into(batch.input[slot].data(), static_cast<std::size_t>(count) * tis::kTileSize);
    batch.failed = !read_(firstTile_ + std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(first), into);
    return !batch.failed;
}

void OutputTisBatches::prepare(Batch& batch) {
    batch.ready = true;
    batch.failed = false;
    batch.makingCount = 0;
    batch.writeCount = 0;
    batch.taken.store(0, std::memory_order_relaxed);
    batch.finished.store(0, std::memory_order_relaxed);
    if (done()) return;
    const auto most = static_cast<std::int32_t>(tilesPerBatch_);
    if (part_ == TisPart::CopiedTiles) {
        // The next tiles in order, their keys noted, those left marked filled
        // in place; they go out as they were read. The extra tiles whose
        // sources they are, where the pass places them first, are made too.
        const std::int32_t first = next_;
        const std::int32_t count = std::min(most, tileset_.copiedTileCount() - first);
        next_ += count;
        batch.first = first;
        if (!read(batch, 0, first, count)) return;
        const std::span<const std::uint8_t> tiles(batch.input->data(), static_cast<std::size_t>(count) * tis::kTileSize);
        tileset_.noteKeys(first, tiles);
        const std::int32_t firstExtra = leadingExtras_;
        for (std::int32_t slot = 0; slot < count; ++slot) {
            if (!tileset_.isFilled(first + slot)) continue;
            const bool extra = tileset_.isLeadingExtraSource(first + slot);
            batch.making[batch.makingCount++] = {slot, extra ? leadingExtras_++ - firstExtra : -1, true};
        }
        const std::int32_t copied = tileset_.copiedTileCount();
        batch.pieces[0] = tiles;
        batch.writes[0] = {tilesAt_ + std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(first),
                           {&batch.pieces[0], 1}};
        batch.writeCount = 1;
        if (leadingExtras_ > firstExtra) {
            batch.pieces[1] = {batch.room->data(), static_cast<std::size_t>(leadingExtras_ - firstExtra) * tis::kTileSize};
            batch.writes[1] = {tilesAt_ + std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(copied + firstExtra),
                               {&batch.pieces[1], 1}};
            batch.writeCount = 2;
        }
        return;
    }
    // The next extra tiles, their sources read into the input room in order,
    // each run of sources that follow one another in the input in one read.
    const std::int32_t firstExtra = next_;
    const std::int32_t last = std::min(tileset_.extraTileCount(), firstExtra + most);
    for (std::int32_t run = firstExtra; run < last;) {
        const std::int32_t source = tileset_.extraSource(run);
        std::int32_t end = run + 1;
        while (end < last && tileset_.extraSource(end) == source + (end - run)) ++end;
        if (!read(batch, run - firstExtra, source, end - run)) return;
        run = end;
    }
    for (next_ = firstExtra; next_ < last; ++next_) {
        const auto k = static_cast<std::int32_t>(batch.makingCount++);
        batch.making[static_cast<std::size_t>(k)] = {k, k, false};
    }
    batch.pieces[0] = {batch.room->data(), batch.makingCount * tis::kTileSize};
    const std::int64_t index = std::int64_t{tileset_.copiedTileCount()} + firstExtra;
    batch.writes[0] = {tilesAt_ + std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(index),
                       {&batch.pieces[0], 1}};
    batch.writeCount = 1;
}

void OutputTisBatches::makeTakenTiles(Batch& batch) const {
    const std::int32_t copied = tileset_.copiedTileCount();
    TileBytes filled;
    for (;;) {
        const std::size_t k = batch.taken.fetch_add(1, std::memory_order_relaxed);
        if (k >= batch.makingCount) return;
        const Making& making = batch.making[k];
        TileBytes& input = batch.input[making.slot];
        // Any index past the copied tiles names an extra tile.
        if (making.extra >= 0) makeOutputTile(tileset_, copied, input.data(), batch.room[making.extra]);
        if (making.fill) {
            makeOutputTile(tileset_, batch.first + making.slot, input.data(), filled);
            input = filled;
        }
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

std::optional<std::span<const OutputWrite>> OutputTisBatches::nextBatch() {
    Batch& batch = batches_[static_cast<std::size_t>(handOut_)];
    if (!batch.ready) prepare(batch);
    if (batch.failed) return std::nullopt;
    // What the other thread has not taken on yet is made here, and what it
    // has is waited for.
    makeTakenTiles(batch);
    const auto made = [&batch] { return batch.finished.load(std::memory_order_acquire) == batch.makingCount; };
    if (!spinUntil(made)) {
        std::unique_lock lock(mutex_);
        makerFinishedBatch_.wait(lock, made);
    }
    if (batch.writeCount == 0) return std::span<const OutputWrite>();
    // The writer is done with the other batch, handed out last time: the
    // one after this takes its room, once the other thread is out of it, is
    // read here and made while this one is written; where one room serves
    // both, it is read once this one is written.
    const int handed = handOut_;
    handOut_ = 1 - handed;
    Batch& following = batches_[static_cast<std::size_t>(handOut_)];
    following.ready = false;
    if (maker_.joinable()) {
        {
            std::unique_lock lock(mutex_);
            makerFinishedBatch_.wait(lock, [this] { return beingMade_ != handOut_; });
        }
        prepare(following);
        {
            const std::lock_guard lock(mutex_);
            if (following.makingCount > 0 && !following.failed) handedToMaker_ = handOut_;
            // Nothing is left to make after this batch: the thread ends
            // while the last batches are written, not after them.
            if (done()) stop_ = true;
        }
        batchHandedOver_.notify_one();
    }
    return std::span<const OutputWrite>(batch.writes.data(), batch.writeCount);
}

}  // namespace wedmorph
