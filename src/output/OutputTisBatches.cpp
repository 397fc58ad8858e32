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

OutputTisBatches::OutputTisBatches(OutputTileset& tileset, std::uint64_t firstTile, InputReader read,
                                   bool saveHeader, std::size_t tilesPerBatch, TileMaking making)
    : tileset_(tileset),
      firstTile_(firstTile),
      read_(std::move(read)),
      header_(makeTisHeader(static_cast<std::uint32_t>(tileset.nextTileIndex()))),
      headerDue_(saveHeader),
      tilesAt_(saveHeader ? tis::kHeaderSize : 0) {
    const std::span<const std::int32_t> starts = tileset.extraRunStarts();
    runs_ = starts.size();
    for (std::size_t r = 0; r < runs_; ++r) {
        runNext_[r] = starts[r];
        runEnd_[r] = r + 1 < runs_ ? starts[r + 1] : tileset.extraTileCount();
    }
    // Starting a thread and waiting for it to end costs about as much as
    // making a thousand tiles: a file with fewer has them made in turn.
    std::int64_t toMake = tileset.extraTileCount();
    for (std::int32_t tile = 0; tile < tileset.copiedTileCount(); ++tile) toMake += tileset.isFilled(tile);
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
    plan(batches_[0]);
    readInput(batches_[0]);
    if (alongside && batches_[0].makingCount > 0 && !batches_[0].failed) {
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

bool OutputTisBatches::planned() const { return next_ == tileset_.copiedTileCount() && !headerDue_; }

void OutputTisBatches::plan(Batch& batch) {
    const std::int32_t copied = tileset_.copiedTileCount();
    const std::array<std::int32_t, wed::kOverlayCount> runFirst = runNext_;
    batch.writeCount = 0;
    batch.makingCount = 0;
    batch.first = next_;
    batch.end = std::min<std::int32_t>(copied, next_ + static_cast<std::int32_t>(tilesPerBatch_));
    batch.read = false;
    batch.failed = false;

    // Which input tiles are filled or the sources of extra tiles: each run's
    // next source is met in turn.
    for (std::int32_t tile = batch.first; tile < batch.end; ++tile) {
        std::size_t run = runs_;
        for (std::size_t r = 0; r < runs_; ++r) {
            if (runNext_[r] < runEnd_[r] && tileset_.extraSource(runNext_[r]) == tile) run = r;
        }
        const bool fill = tileset_.isFilled(tile);
        if (!fill && run == runs_) continue;
        // The extra tile's number for now; its place in the room below.
        batch.making[batch.makingCount++] = {tile - batch.first, run < runs_ ? runNext_[run]++ : -1,
                                             static_cast<std::uint8_t>(run), fill};
    }
    next_ = batch.end;

    // The copied tiles, led by the header when it is due.
    std::size_t pieces = 0;
    if (headerDue_) batch.pieces[pieces++] = {header_.data(), header_.size()};
    const std::size_t tiles = static_cast<std::size_t>(batch.end - batch.first);
    if (tiles > 0) batch.pieces[pieces++] = {batch.input->data(), tiles * tis::kTileSize};
    if (pieces > 0) {
        batch.writes[batch.writeCount++] = {headerDue_ ? 0 : tilesAt_ + std::uint64_t{tis::kTileSize} *
                                                                          static_cast<std::uint64_t>(batch.first),
                                            {batch.pieces.data(), pieces}};
    }
    headerDue_ = false;

    // The extra tiles of each run made here, side by side in the room.
    std::array<std::int32_t, wed::kOverlayCount> place{};  // each run's first
    std::int32_t roomUsed = 0;
    for (std::size_t r = 0; r < runs_; ++r) {
        const std::int32_t count = runNext_[r] - runFirst[r];
        if (count == 0) continue;
        place[r] = roomUsed;
        batch.pieces[pieces] = {batch.room[roomUsed].data(), static_cast<std::size_t>(count) * tis::kTileSize};
        batch.writes[batch.writeCount++] = {
            tilesAt_ + std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(copied + runFirst[r]),
            {&batch.pieces[pieces++], 1}};
        roomUsed += count;
    }
    for (std::size_t k = 0; k < batch.makingCount; ++k) {
        Making& making = batch.making[k];
        if (making.extra >= 0) making.extra = place[making.run] + (making.extra - runFirst[making.run]);
    }
    batch.taken.store(0, std::memory_order_relaxed);
    batch.finished.store(0, std::memory_order_relaxed);
}

void OutputTisBatches::readInput(Batch& batch) {
    batch.read = true;
    if (batch.end == batch.first) return;
    const auto tiles = static_cast<std::size_t>(batch.end - batch.first);
    const std::span<std::uint8_t> into(batch.input->data(), tiles * tis::kTileSize);
    batch.failed = !read_(firstTile_ + std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(batch.first), into);
}

void OutputTisBatches::makeTakenTiles(Batch& batch) const {
    const std::int32_t copied = tileset_.copiedTileCount();
    TileBytes filled;
    for (;;) {
        const std::size_t k = batch.taken.fetch_add(1, std::memory_order_relaxed);
        if (k >= batch.makingCount) return;
        const Making& making = batch.making[k];
        TileBytes& input = batch.input[making.slot];
        // The extra tile first, a copy of the tile as it was read (any
        // index past the copied tiles names an extra tile).
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
    if (!batch.read) readInput(batch);
    if (batch.failed) return std::nullopt;
    // What the other thread has not taken on yet is made here, and what it
    // has is waited for.
    makeTakenTiles(batch);
    const auto made = [&batch] { return batch.finished.load(std::memory_order_acquire) == batch.makingCount; };
    if (!spinUntil(made)) {
        std::unique_lock lock(mutex_);
        makerFinishedBatch_.wait(lock, made);
    }
    if (batch.writeCount == 0) {
        // Every extra tile is made from a source read on the way: one left
        // means the tileset broke the order it promises.
        for (std::size_t r = 0; r < runs_; ++r) {
            if (runNext_[r] != runEnd_[r]) return std::nullopt;
        }
        return std::span<const OutputWrite>();
    }
    // The writer is done with the other batch, handed out last time: the
    // one after this takes its room, once the other thread is out of it, is
    // read here and made while this one is written.
    const int handed = handOut_;
    handOut_ = 1 - handed;
    Batch& following = batches_[static_cast<std::size_t>(handOut_)];
    if (!maker_.joinable()) {
        plan(following);
    } else {
        {
            std::unique_lock lock(mutex_);
            makerFinishedBatch_.wait(lock, [this] { return beingMade_ != handOut_; });
        }
        plan(following);
        readInput(following);
        {
            const std::lock_guard lock(mutex_);
            if (following.makingCount > 0 && !following.failed) handedToMaker_ = handOut_;
            // Nothing is left to make after this batch: the thread ends
            // while the last batches are written, not after them.
            if (planned()) stop_ = true;
        }
        batchHandedOver_.notify_one();
    }
    return std::span<const OutputWrite>(batch.writes.data(), batch.writeCount);
}

}  // namespace wedmorph
