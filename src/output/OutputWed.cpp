#include "output/OutputWed.h"

#include "report/Messages.h"

namespace wedmorph {

namespace {

bool writeAt(Platform& platform, FileHandle file, std::size_t offset, WritePiece piece) {
    if (piece.empty()) return true;
    std::size_t written = 0;
    return platform.writeFile(file, offset, std::span(&piece, 1), written) &&
           written == piece.size();
}

}  // namespace

StepResult writeOutputWed(Platform& platform, FileHandle input, FileHandle output, WedImage patched,
                          const WedLayout& layout) {
    const std::span<const std::uint8_t> bytes = patched.bytes;
    // Overlay 0's record is the first of the table.
    const std::size_t name = std::size_t{layout.overlayTableOffset} + wed::kOverlayTilesetName;
    const std::size_t tilemapBytes = wed::kEntrySize * static_cast<std::size_t>(layout.entryCount);
    if (!platform.copyContents(input, output) ||
        !writeAt(platform, output, name, bytes.subspan(name, wed::kTilesetNameSize)) ||
        !writeAt(platform, output, layout.tilemapOffset,
                 bytes.subspan(layout.tilemapOffset, tilemapBytes))) {
        return Failure{messages::kWriteOutputWed};
    }
    return {};
}

}  // namespace wedmorph
