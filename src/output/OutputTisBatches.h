// The output TIS as its writer takes it: its bytes in file order, a batch of
// write pieces at a time. The tiles the pass leaves alone are pieces of the
// input itself; the filled and extra tiles are made (makeOutputTile) into the
// tileset's scratch room, which holds two batches' tiles: while the writer
// writes one batch, a second thread makes the tiles of the next into the
// other half, so that making them adds little to the writes' time.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

#include "base/WritePiece.h"
#include "convert/OverlayPass.h"
#include "formats/Tis.h"

namespace wedmorph {

// Pieces a batch holds at most: as many as one system call takes.
inline constexpr std::size_t kMostPiecesPerBatch = 1024;

// Tiles a batch makes at most where the writer's thread makes them itself,
// each batch once the one before it is written.
inline constexpr std::size_t kTilesMadeInTurn = 128;

// Where the tiles of the next batch are made: on a thread of their own while
// the writer writes (where the file has enough of them), the writer's thread
// making those the other has not reached when it asks for the batch; or by
// the writer's thread alone, as it asks for each batch (also where no thread
// can be had). The bytes are the same.
enum class TileMaking { Alongside, InTurn };

class OutputTisBatches {
public:
    // The header goes first when `saveHeader` is set. A batch holds at most
    // `piecesPerBatch` pieces (1 to kMostPiecesPerBatch). One OutputTisBatches
    // at a time per tileset: they share its scratch room.
    OutputTisBatches(OutputTileset& tileset, InputTiles input, bool saveHeader,
                     std::size_t piecesPerBatch = kMostPiecesPerBatch,
                     TileMaking making = TileMaking::Alongside);
    // Stops the thread that makes tiles, whatever it was doing, and waits for it.
    ~OutputTisBatches();
    OutputTisBatches(const OutputTisBatches&) = delete;
    OutputTisBatches& operator=(const OutputTisBatches&) = delete;

    // The next bytes of the file, as pieces of the input or of the scratch
    // room, a piece that continues the one before it in memory joined to it;
    // empty once the file is done. A batch ends when its
    // pieces are full or its half of the scratch room is; its pieces stay
    // valid until the next call.
    std::span<const WritePiece> nextBatch();

private:
    struct Batch {
        std::array<WritePiece, kMostPiecesPerBatch> pieces;
        std::size_t count = 0;
        // The output tile made into each tile of the batch's room, in order.
        std::array<std::int32_t, kScratchTiles> made;
        std::size_t madeCount = 0;
        TileBytes* room = nullptr;
        // Tiles of `made` that a thread has taken on, and those done: either
        // thread takes the next one left, so that the writer, when it is
        // ahead, makes what the other thread has not reached.
        std::atomic<std::size_t> taken = 0;
        std::atomic<std::size_t> finished = 0;
    };

    // Picks the pieces of the batch after the one planned last; its tiles are
    // made later, by makeTakenTiles.
    void plan(Batch& batch);
    // Makes the batch's tiles that no thread has taken yet, one at a time.
    void makeTakenTiles(Batch& batch) const;
    void work();

    const OutputTileset& tileset_;
    InputTiles input_;
    TisHeader header_;
    bool headerDue_;
    std::size_t piecesPerBatch_;
    std::size_t roomTiles_;  // tiles each batch can make
    std::int32_t next_ = 0;  // the next output tile to plan
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
