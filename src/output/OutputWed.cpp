#include "output/OutputWed.h"

#include "report/Messages.h"

namespace wedmorph {

namespace {

// A write that fails or falls short: the system's reason, or none for a
// short write.
StepResult writeAt(Platform& platform, FileHandle file, std::size_t offset, WritePiece piece) {
    if (piece.empty()) return {};
    std::size_t written = 0;
    const Result<> wrote = platform.writeFile(file, offset, std::span(&piece, 1), written);
    if (!wrote) return Failure{messages::kWriteOutputWed, wrote.error()};
    if (written != piece.size()) return Failure{messages::kWriteOutputWed};
    return {};
}

}  // namespace

StepResult writeOutputWed(Platform& platform, FileHandle input, FileHandle output, WedImage patched,
                          const WedLayout& layout) {
    const std::span<const std::uint8_t> bytes = patched.bytes;
    // Overlay 0's record is the first of the table.
    const std::size_t name = std::size_t{layout.overlayTableOffset} + wed::kOverlayTilesetName;
    const std::size_t tilemapBytes = wed::kEntrySize * static_cast<std::size_t>(layout.entryCount);
    if (const Result<> copied = platform.copyContents(input, output); !copied) {
        return Failure{messages::kWriteOutputWed, copied.error()};
    }
    if (const StepResult failed = writeAt(platform, output, name, bytes.subspan(name, wed::kTilesetNameSize))) {
        return failed;
    }
    return writeAt(platform, output, layout.tilemapOffset, bytes.subspan(layout.tilemapOffset, tilemapBytes));
}

}  // namespace wedmorph
