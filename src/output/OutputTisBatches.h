// The output TIS as its writer takes it, in two parts: the copied tiles,
// then the extra tiles that the first part leaves. Each part is handed out a
// batch at a time, a batch a whole piece or two to write at given offsets.
// For the copied tiles the input is read once, in order, a batch of tiles at
// a time, into one half of the tileset's scratch room: the keys of the tiles
// are noted there (the pass needs nothing else of them), the tiles to fill
// are made in place, so that the batch goes out in one piece, and the extra
// tiles of the first overlay, placed first and in the order of their
// sources, are made into the room beside them. The extra tiles of any other
// overlay, once the pass has placed them, are made from their sources read
// again. While the writer writes one batch, a second thread makes the tiles
// of the next, so that making them adds little to the writes' time. Reading
// into memory rather than writing from a mapping of the input costs the same
// whatever the page cache holds.
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

// The two parts of the output TIS's tiles.
enum class TisPart {
    CopiedTiles,  // the input's tiles, their keys noted, and the extra tiles made from them first
    ExtraTiles,   // the other extra tiles, once the pass has placed them
};

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
    // `firstTile` is where the input file's tiles begin; the output's first
    // tile goes after the header when `saveHeader` is set. A batch reads at
    // most `tilesPerBatch` input tiles (at least one; no more than its room
    // holds). One OutputTisBatches at a time per tileset: they share its
    // scratch room. The reader is called on the thread that calls the
    // constructor and nextBatch, never on another.
    OutputTisBatches(OutputTileset& tileset, TisPart part, std::uint64_t firstTile, InputReader read,
                     bool saveHeader, std::size_t tilesPerBatch = kBatchTiles,
                     TileMaking making = TileMaking::Alongside);
    // Stops the thread that makes tiles, whatever it was doing, and waits for it.
    ~OutputTisBatches();
    OutputTisBatches(const OutputTisBatches&) = delete;
    OutputTisBatches& operator=(const OutputTisBatches&) = delete;

    // The next writes of the part, each one piece of the scratch room; none
    // once the part is done; nothing at all when the input could not be
    // read. Its pieces stay valid until the next call.
    std::optional<std::span<const OutputWrite>> nextBatch();

private:
    // An input tile of the batch to make something of: filled in place, or
    // the source of an extra tile.
    struct Making {
        std::int32_t slot;   // its place in the batch's input room
        std::int32_t extra;  // the room tile its extra tile is made into; -1: none
        bool fill;
    };

    struct Batch {
        // The tiles read, or the extra tiles; with the copied tiles, the
        // extra tiles made with them.
        std::array<WritePiece, 2> pieces;
        std::array<OutputWrite, 2> writes;
        std::size_t writeCount = 0;
        bool ready = false;   // read and planned
        bool failed = false;  // its input could not be read
        std::int32_t first = 0;  // the copied tile read first into `input`
        TileBytes* input = nullptr;
        TileBytes* room = nullptr;  // the extra tiles
        std::array<Making, kBatchTiles> making;
        std::size_t makingCount = 0;
        // Tiles of `making` that a thread has taken on, and those done: either
        // thread takes the next one left, so that the writer, when it is
        // ahead, makes what the other thread has not reached.
        std::atomic<std::size_t> taken = 0;
        std::atomic<std::size_t> finished = 0;
    };

    // Reads the next batch's input tiles and plans what is made of them;
    // its tiles are made later, by makeTakenTiles.
    void prepare(Batch& batch);
    // Reads `count` input tiles from `first` on into the batch's input room
    // from `slot` on.
    bool read(Batch& batch, std::int32_t slot, std::int32_t first, std::int32_t count);
    // Makes the batch's tiles that no thread has taken yet, one at a time.
    void makeTakenTiles(Batch& batch) const;
    void work();
    bool done() const;

    OutputTileset& tileset_;
    TisPart part_;
    std::uint64_t firstTile_;
    InputReader read_;
    std::uint64_t tilesAt_;  // where the output's first tile goes
    std::size_t tilesPerBatch_ = 1;
    std::int32_t next_ = 0;  // the next copied or extra tile to plan
    // With the copied tiles: the extra tiles made so far, those that the
    // pass places first.
    std::int32_t leadingExtras_ = 0;
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
