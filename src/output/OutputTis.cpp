#include "output/OutputTis.h"

#include <span>

#include "formats/Tis.h"
#include "platform/FileOwners.h"
#include "report/Messages.h"

namespace wedmorph {

namespace {

bool writeWhole(Platform& platform, FileHandle file, const std::uint8_t* data,
                std::size_t length) {
    std::size_t written = 0;
    return platform.writeFile(file, data, length, written) && written == length;
}

bool writeContent(Platform& platform, FileHandle file, const OutputTisContent& content) {
    const OutputTileset& tileset = content.tileset;
    if (content.saveHeader && !writeWhole(platform, file, tileset.block.get(), tis::kHeaderSize)) {
        return false;
    }
    const std::size_t copiedBytes = tis::kTileSize * static_cast<std::size_t>(tileset.copiedTileCount);
    if (copiedBytes > 0 && !writeWhole(platform, file, tileset.tile(0), copiedBytes)) return false;
    const ExtraTiles& extras = content.pass.extraTiles;
    for (std::int32_t k = 0; k < extras.count(); ++k) {
        if (!writeWhole(platform, file, extras.tile(k), tis::kTileSize)) return false;
    }
    return true;
}

}  // namespace

StepResult writeOutputTis(Platform& platform, const std::string& outputTisPath,
                          const OutputTisContent& content, KeptFiles kept) {
    setHeaderTileCount(std::span<std::uint8_t>(content.tileset.block.get(), tis::kHeaderSize),
                       static_cast<std::uint32_t>(content.pass.nextTileIndex));
    const OwnedFile file(platform, platform.createForWriting(outputTisPath, kept));
    if (!file) return Failure{messages::kSaveOutputTis};
    if (!writeContent(platform, file.get(), content)) return Failure{messages::kWriteOutputTis};
    return {};
}

}  // namespace wedmorph
