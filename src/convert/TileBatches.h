// The output TIS as the conversion hands it to the writer: its bytes in file
// order, a batch of write pieces at a time. The tiles the pass leaves alone
// are pieces of the input itself; the filled and extra tiles are made into
// the tileset's scratch room (kScratchTiles tiles) as a batch needs them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "convert/OverlayPass.h"
#include "formats/Tis.h"

namespace wedmorph {

class TileBatches {
public:
    // The header goes first when `saveHeader` is set. One TileBatches at a
    // time per tileset: they share its scratch room.
    TileBatches(const OutputTileset& tileset, InputTiles input, bool saveHeader);
    TileBatches(const TileBatches&) = delete;
    TileBatches& operator=(const TileBatches&) = delete;

    // Fills `pieces` (at least one) with the next bytes of the file, a piece
    // that continues the one before it in memory joined to it, and returns
    // how many it filled: 0 once the file is done. A batch ends when the
    // pieces are full or the scratch room is; its pieces stay valid until the
    // next call.
    std::size_t nextBatch(std::span<std::span<const std::uint8_t>> pieces);

private:
    const OutputTileset& tileset_;
    InputTiles input_;
    TisHeader header_;
    bool headerDue_;
    std::int32_t next_ = 0;  // the next output tile to hand out
};

}  // namespace wedmorph
