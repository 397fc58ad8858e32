#include "output/OutputTis.h"

#include <span>

#include "formats/Tis.h"

namespace wedmorph {

namespace {

bool writeWhole(Platform& platform, FileHandle file, const std::uint8_t* data,
                std::size_t length) {
    std::size_t written = 0;
    return platform.writeFile(file, data, length, written) && written == length;
}

bool writeContent(Platform& platform, FileHandle file, const OutputTisContent& content) {
    const std::uint8_t* bytes = content.tileset.bytes;
    if (content.saveHeader && !writeWhole(platform, file, bytes, tis::kHeaderSize)) return false;
    const std::size_t copiedBytes =
        tis::kTileSize * static_cast<std::size_t>(content.copiedTileCount);
    if (copiedBytes > 0 &&
        !writeWhole(platform, file, bytes + tis::kHeaderSize, copiedBytes)) {
        return false;
    }
    for (std::int32_t k = 0; k < content.extraTiles.count; ++k) {
        if (!writeWhole(platform, file, content.extraTiles.tiles[k], tis::kTileSize)) return false;
    }
    return true;
}

}  // namespace

WriteTisStatus writeOutputTis(Platform& platform, FileSlots& slots,
                              const std::string& outputTisPath, const OutputTisContent& content,
                              KeptFiles kept) {
    setHeaderTileCount(std::span<std::uint8_t>(content.tileset.bytes, tis::kHeaderSize),
                       static_cast<std::uint32_t>(content.nextTileIndex));
    slots.outputTis = platform.createForWriting(outputTisPath, kept);
    if (!slots.outputTis.isOpen()) return WriteTisStatus::CreateFailed;
    const bool written = writeContent(platform, slots.outputTis, content);
    platform.closeFile(slots.outputTis);
    slots.outputTis = {};
    return written ? WriteTisStatus::Written : WriteTisStatus::WriteFailed;
}

void freeOutputTiles(TileMemory& memory, OutputTileset& tileset, ExtraTiles& extraTiles) {
    for (std::int32_t k = 0; k < extraTiles.count; ++k) memory.release(extraTiles.tiles[k]);
    if (extraTiles.tiles != nullptr) memory.release(extraTiles.tiles);
    extraTiles = {};
    if (tileset.bytes != nullptr) memory.release(tileset.bytes);
    tileset = {};
}

}  // namespace wedmorph
