#include "output/OutputTis.h"

#include <array>
#include <span>

#include "convert/TileBatches.h"
#include "formats/Tis.h"
#include "report/Messages.h"

namespace wedmorph {

namespace {

// Pieces gathered into one write: as many as a system call takes at once.
constexpr std::size_t kPiecesPerWrite = 1024;

}  // namespace

std::uint64_t outputTisBytes(const OutputTileset& tileset, bool saveHeader) {
    return (saveHeader ? tis::kHeaderSize : 0) +
           std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(tileset.nextTileIndex());
}

StepResult writeOutputTis(Platform& platform, FileHandle file, const OutputTileset& tileset,
                          InputTiles input, bool saveHeader) {
    if (!platform.emptyFile(file)) return Failure{messages::kWriteOutputTis};
    TileBatches batches(tileset, input, saveHeader);
    std::array<WritePiece, kPiecesPerWrite> pieces;
    std::uint64_t offset = 0;
    while (const std::size_t count = batches.nextBatch(pieces)) {
        const std::span<const WritePiece> batch = std::span(pieces).first(count);
        std::size_t bytes = 0;
        for (const WritePiece& piece : batch) bytes += piece.size();
        std::size_t written = 0;
        if (!platform.writeFile(file, offset, batch, written) || written != bytes) {
            return Failure{messages::kWriteOutputTis};
        }
        offset += bytes;
    }
    return {};
}

}  // namespace wedmorph
