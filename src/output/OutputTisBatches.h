// The output TIS as its writer takes it, in two parts: the copied tiles,
// then the extra tiles that the first part leaves. Each part is handed out a
// batch at a time, a batch a whole piece or two to write at given offsets.
// For the copied tiles the input is read once, in order, a batch of tiles at
// a time, into the tileset's scratch room: the keys of the tiles are noted
// there (the pass needs nothing else of them), the tiles to fill are made in
// place, so that the batch goes out in one piece, and the extra tiles of the
// first overlay, placed first and in the order of their sources, are made
// into the room beside them. The extra tiles of any other overlay, once the
// pass has placed them, are made from their sources read again. Reading into
// memory rather than writing from a mapping of the input costs the same
// whatever the page cache holds; and the tiles are made on the writer's own
// thread, as a second one cost more than it saved: on a machine of two cores
// the kernel's reads, writes and writeback keep both busy.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "base/WritePiece.h"
#include "convert/OverlayPass.h"
#include "formats/Tis.h"

namespace wedmorph {

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
    // most `tilesPerBatch` input tiles (at least one; no more than the room
    // holds). One OutputTisBatches at a time per tileset: they share its
    // scratch room.
    OutputTisBatches(OutputTileset& tileset, TisPart part, std::uint64_t firstTile, InputReader read,
                     bool saveHeader, std::size_t tilesPerBatch = kBatchTiles);

    // The next writes of the part, each one piece of the scratch room; none
    // once the part is done; nothing at all when the input could not be
    // read. Its pieces stay valid until the next call.
    std::optional<std::span<const OutputWrite>> nextBatch();

private:
    // Reads `count` input tiles from `first` on into the input room from
    // `slot` on; false when they cannot be had.
    bool read(std::int32_t slot, std::int32_t first, std::int32_t count);
    bool copiedTiles();
    bool extraTiles();

    OutputTileset& tileset_;
    TisPart part_;
    std::uint64_t firstTile_;
    InputReader read_;
    std::uint64_t tilesAt_;  // where the output's first tile goes
    std::size_t tilesPerBatch_;
    std::int32_t next_ = 0;  // the next copied or extra tile
    // With the copied tiles: the extra tiles made so far, those that the
    // pass places first.
    std::int32_t leadingExtras_ = 0;
    TileBytes* input_ = nullptr;  // the room for the tiles read
    TileBytes* made_ = nullptr;   // the room for the extra tiles
    std::array<WritePiece, 2> pieces_;
    std::array<OutputWrite, 2> writes_;
    std::size_t writeCount_ = 0;
};

}  // namespace wedmorph
