// The output TIS as its writer takes it: its bytes a batch at a time, each
// batch a few writes at given offsets. The input is read once, in order, a
// batch of tiles at a time, into one half of the tileset's scratch room,
// where the filled tiles are made in place: the copied tiles go out from
// there in one piece. The extra tiles made from them (each a trimmed copy of
// a filled input tile, met in the same batch since each run of them follows
// its sources' order) are made into the room beside it, each run's together,
// and go out as a piece a run. While the writer writes one batch, a second
// thread makes the tiles of the next from what the writer has read into the
// other half, so that making them adds little to the writes' time. Reading
// into memory rather than writing from a mapping of the input costs the same
// whatever the page cache holds, and whole pieces write as fast as the
// system writes.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

#include "base/WritePiece.h"
#include "convert/OverlayPass.h"
#include "formats/Tis.h"
#include "formats/Wed.h"

namespace wedmorph {

// Input tiles a batch reads at most where the writer's thread makes the
// tiles itself, each batch once the one before it is written.
inline constexpr std::size_t kTilesMadeInTurn = 128;

// Where the tiles of the next batch are made: on a thread of their own while
// the writer writes (where the file has enough of them), the writer's thread
// making those the other has not reached when it asks for the batch; or by
// the writer's thread alone, as it asks for each batch (also where no thread
// can be had). The bytes are the same.
enum class TileMaking { Alongside, InTurn };

// Reads `into.size()` bytes of the input TIS from `offset`; false when they
// cannot all be had.
using InputReader = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> into)>;

// Bytes of the output TIS that go to `offset` and on, in order.
struct OutputWrite {
    std::uint64_t offset = 0;
    std::span<const WritePiece> pieces;
};

class OutputTisBatches {
public:
    // The header goes first when `saveHeader` is set. `firstTile` is where
    // the input file's tiles begin. A batch reads at most `tilesPerBatch`
    // input tiles (at least one; no more than its room holds). One
    // OutputTisBatches at a time per tileset: they share its scratch room.
    // The reader is called on the thread that calls the constructor and
    // nextBatch, never on another.
    OutputTisBatches(OutputTileset& tileset, std::uint64_t firstTile, InputReader read, bool saveHeader,
                     std::size_t tilesPerBatch = kBatchTiles, TileMaking making = TileMaking::Alongside);
    // Stops the thread that makes tiles, whatever it was doing, and waits for it.
    ~OutputTisBatches();
    OutputTisBatches(const OutputTisBatches&) = delete;
    OutputTisBatches& operator=(const OutputTisBatches&) = delete;

    // The next writes of the file, each one piece of the scratch room (the
    // first led by the header); none once the file is done; nothing at all
    // when the input could not be read. Its pieces stay valid until the
    // next call.
    std::optional<std::span<const OutputWrite>> nextBatch();

private:
    // The copied tiles' write and one for each run of extra tiles.
    static constexpr std::size_t kMostWrites = 1 + wed::kOverlayCount;

    // An input tile of the batch to make something of: filled in place, or
    // the source of an extra tile, or both.
    struct Making {
        std::int32_t slot;   // its place in the batch's input room
        std::int32_t extra;  // the room tile its extra tile is made into; -1: none
        std::uint8_t run;    // the run of that extra tile
        bool fill;
    };

    struct Batch {
        std::array<WritePiece, kMostWrites + 1> pieces;
        std::array<OutputWrite, kMostWrites> writes;
        std::size_t writeCount = 0;
        std::int32_t first = 0;  // the input tiles read into `input`: first to end
        std::int32_t end = 0;
        bool read = false;    // `input` holds them
        bool failed = false;  // they could not be read
        TileBytes* input = nullptr;
        TileBytes* room = nullptr;  // the extra tiles, each run's together
        std::array<Making, kBatchTiles> making;
        std::size_t makingCount = 0;
        // Tiles of `making` that a thread has taken on, and those done: either
        // thread takes the next one left, so that the writer, when it is
        // ahead, makes what the other thread has not reached.
        std::atomic<std::size_t> taken = 0;
        std::atomic<std::size_t> finished = 0;
    };

    // Picks the writes of the batch after the one planned last; its input is
    // read by readInput, its tiles made later, by makeTakenTiles.
    void plan(Batch& batch);
    void readInput(Batch& batch);
    // Makes the batch's tiles that no thread has taken yet, one at a time.
    void makeTakenTiles(Batch& batch) const;
    void work();
    bool planned() const;

    const OutputTileset& tileset_;
    std::uint64_t firstTile_;
    InputReader read_;
    TisHeader header_;
    bool headerDue_;
    std::uint64_t tilesAt_;  // where the output's first tile goes
    std::size_t tilesPerBatch_;  // tiles each batch reads, and room for as many extra tiles
    std::int32_t next_ = 0;  // the next copied tile to plan
    // Each run of extra tiles: the next to plan and the end.
    std::array<std::int32_t, wed::kOverlayCount> runNext_{};
    std::array<std::int32_t, wed::kOverlayCount> runEnd_{};
    std::size_t runs_ = 0;
    std::array<Batch, 2> batches_;
    int handOut_ = 0;  // the batch that the next call hands out

    // The thread that makes tiles alongside the writer, and what the two share.
    std::thread maker_;
    std::mutex mutex_;
    std::condition_variable batchHandedOver_;  // or the maker told to stop
    std::condition_variable makerFinishedBatch_;
    // The batch handed to the maker that it has not begun (-1: none), and
    // whether it is to stop. Written under the mutex; read without it too,
    // by the maker as it spins before it sleeps.
    std::atomic<int> handedToMaker_ = -1;
    std::atomic<bool> stop_ = false;
    int beingMade_ = -1;  // the batch the maker is in (-1: none)
};

}  // namespace wedmorph
