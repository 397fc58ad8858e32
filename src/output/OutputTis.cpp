#include "output/OutputTis.h"

#include <array>

#include "formats/Tis.h"
#include "platform/FileOwners.h"
#include "report/Messages.h"

namespace wedmorph {

namespace {

// The pieces of the file not yet written; a piece that continues the one
// before it in memory joins it.
class PendingWrites {
public:
    PendingWrites(Platform& platform, FileHandle file) : platform_(platform), file_(file) {}

    bool full() const { return count_ == pieces_.size(); }

    void add(const std::uint8_t* data, std::size_t length) {
        if (count_ > 0 && pieces_[count_ - 1].data + pieces_[count_ - 1].length == data) {
            pieces_[count_ - 1].length += length;
        } else {
            pieces_[count_++] = {data, length};
        }
        bytes_ += length;
    }

    // False when the write fails or comes up short.
    bool flush() {
        std::size_t written = 0;
        const bool ok = count_ == 0 ||
                        (platform_.writeFile(file_, std::span(pieces_.data(), count_), written) &&
                         written == bytes_);
        count_ = 0;
        bytes_ = 0;
        return ok;
    }

private:
    Platform& platform_;
    FileHandle file_;
    std::array<WritePiece, 1024> pieces_;
    std::size_t count_ = 0;
    std::size_t bytes_ = 0;
};

bool writeContent(Platform& platform, FileHandle file, const OutputTisContent& content) {
    const OutputTileset& tileset = content.tileset;
    PendingWrites pending(platform, file);
    const TisHeader header = makeTisHeader(static_cast<std::uint32_t>(tileset.nextTileIndex()));
    if (content.saveHeader) pending.add(header.data(), header.size());
    std::int32_t made = 0;  // scratch tiles in use by pending pieces
    for (std::int32_t index = 0; index < tileset.nextTileIndex(); ++index) {
        if (pending.full() || made == tileset.scratchTiles()) {
            if (!pending.flush()) return false;
            made = 0;
        }
        std::uint8_t* scratch = tileset.scratch() + tis::kTileSize * static_cast<std::size_t>(made);
        const std::uint8_t* tile = outputTile(tileset, content.input, index, scratch);
        if (tile == scratch) ++made;
        pending.add(tile, tis::kTileSize);
    }
    return pending.flush();
}

}  // namespace

StepResult writeOutputTis(Platform& platform, const std::string& outputTisPath,
                          const OutputTisContent& content, KeptFiles kept) {
    const OwnedFile file(platform, platform.createForWriting(outputTisPath, kept));
    if (!file) return Failure{messages::kSaveOutputTis};
    if (!writeContent(platform, file.get(), content)) return Failure{messages::kWriteOutputTis};
    return {};
}

}  // namespace wedmorph
