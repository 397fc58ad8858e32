#include "output/OutputTis.h"

#include <span>

#include "convert/TileBatches.h"
#include "formats/Tis.h"
#include "report/Messages.h"

namespace wedmorph {

std::uint64_t outputTisBytes(const OutputTileset& tileset, bool saveHeader) {
    return (saveHeader ? tis::kHeaderSize : 0) +
           std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(tileset.nextTileIndex());
}

StepResult writeOutputTis(Platform& platform, FileHandle file, const OutputTileset& tileset,
                          InputTiles input, bool saveHeader) {
    // The first batch's tiles are made while the file is emptied and its room taken.
    TileBatches batches(tileset, input, saveHeader);
    if (!platform.emptyFile(file)) return Failure{messages::kWriteOutputTis};
    // The whole file's room first: the file system finds it once, not page
    // by page as the writes come, and a disk without it fails here, before
    // any byte is written. Where nothing can be reserved, the writes find out.
    if (platform.reserveSpace(file, outputTisBytes(tileset, saveHeader)) == Reservation::NoSpace) {
        return Failure{messages::kWriteOutputTis};
    }
    for (std::uint64_t offset = 0;;) {
        const std::span<const WritePiece> batch = batches.nextBatch();
        if (batch.empty()) return {};
        std::size_t bytes = 0;
        for (const WritePiece& piece : batch) bytes += piece.size();
        std::size_t written = 0;
        if (!platform.writeFile(file, offset, batch, written) || written != bytes) {
            return Failure{messages::kWriteOutputTis};
        }
        offset += bytes;
    }
}

}  // namespace wedmorph
