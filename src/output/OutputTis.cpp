#include "output/OutputTis.h"

#include <array>
#include <optional>
#include <span>

#include "formats/Tis.h"
#include "output/OutputTisBatches.h"
#include "report/Messages.h"

namespace wedmorph {

namespace {

// Writes `pieces` from `offset` on in one call; false when it fails (`error`
// says why) or falls short.
bool writePieces(Platform& platform, FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                 std::error_code& error) {
    std::size_t bytes = 0;
    for (const WritePiece& piece : pieces) bytes += piece.size();
    std::size_t written = 0;
    const Result<> wrote = platform.writeFile(file, offset, pieces, written);
    error = wrote.error();
    return wrote && written == bytes;
}

}  // namespace

std::uint64_t outputTisBytes(const OutputTileset& tileset, bool saveHeader) {
    return (saveHeader ? tis::kHeaderSize : 0) +
           std::uint64_t{tis::kTileSize} * static_cast<std::uint64_t>(tileset.nextTileIndex());
}

namespace {

// Reads the input TIS `input`, keeping the reason of the last read in `error`.
InputReader inputReader(Platform& platform, FileHandle input, std::error_code& error) {
    return [&platform, input, &error](std::uint64_t offset, std::span<std::uint8_t> into) {
        std::size_t got = 0;
        const Result<> done = platform.readFile(input, offset, into, got);
        error = done.error();
        return done && got == into.size();
    };
}

// The bytes of a part written since the last start of a flush, where the
// writes of one kind (copied tiles, extra tiles) go on from the last: every
// few megabytes they are started on their way to the disk, in large pieces.
class FlushAhead {
public:
    FlushAhead(Platform& platform, FileHandle file, bool on) : platform_(platform), file_(file), on_(on) {}
    ~FlushAhead() {
        for (Range& range : ranges_) start(range);
    }
    void wrote(std::size_t kind, std::uint64_t offset, std::uint64_t bytes) {
        if (!on_) return;
        Range& range = ranges_[kind];
        if (range.end != offset) start(range), range.begin = offset;
        range.end = offset + bytes;
        if (range.end - range.begin >= kPiece) start(range);
    }

private:
    static constexpr std::uint64_t kPiece = std::uint64_t{8} << 20;
    struct Range {
        std::uint64_t begin = 0, end = 0;
    };
    void start(Range& range) {
        if (range.end > range.begin) platform_.startFlush(file_, range.begin, range.end - range.begin);
        range.begin = range.end;
    }
    Platform& platform_;
    FileHandle file_;
    bool on_;
    std::array<Range, 2> ranges_;
};

// Writes one part of the file's tiles, reading the input as it goes, after
// reserving the room of the file as far as the tileset tells it now.
StepResult writePart(Platform& platform, FileHandle file, OutputTileset& tileset, TisPart part,
                     FileHandle input, const std::string& inputPath, std::uint64_t firstTile, bool saveHeader,
                     bool flushAhead) {
    std::error_code readError;
    OutputTisBatches batches(tileset, part, firstTile, inputReader(platform, input, readError), saveHeader);
    // The room first: the file system finds it once, not page by page as the
    // writes come, and a disk without it fails here, before the part's first
    // byte. Where nothing can be reserved, the writes find out.
    if (const Result<> reserved = platform.reserveSpace(file, outputTisBytes(tileset, saveHeader)); !reserved) {
        return Failure{messages::kWriteOutputTis, reserved.error()};
    }
    FlushAhead flush(platform, file, flushAhead);
    // An interruption is looked at between two batches.
    for (;;) {
        if (platform.interrupted()) return Failure{messages::kRunInterrupted};
        const std::optional<std::span<const OutputWrite>> batch = batches.nextBatch();
        if (!batch) return Failure{messages::kWriteOutputTis, readError, inputPath};
        if (batch->empty()) return {};
        for (std::size_t kind = 0; kind < batch->size(); ++kind) {
            const OutputWrite& write = (*batch)[kind];
            std::error_code error;
            if (!writePieces(platform, file, write.offset, write.pieces, error)) {
                return Failure{messages::kWriteOutputTis, error};
            }
            std::uint64_t bytes = 0;
            for (const WritePiece& piece : write.pieces) bytes += piece.size();
            flush.wrote(kind, write.offset, bytes);
        }
    }
}

}  // namespace

StepResult writeOutputTisTiles(Platform& platform, FileHandle file, OutputTileset& tileset, FileHandle input,
                               const std::string& inputPath, std::uint64_t firstTile, bool saveHeader,
                               bool flushAhead) {
    if (const Result<> emptied = platform.emptyFile(file); !emptied) {
        return Failure{messages::kWriteOutputTis, emptied.error()};
    }
    return writePart(platform, file, tileset, TisPart::CopiedTiles, input, inputPath, firstTile, saveHeader,
                     flushAhead);
}

StepResult noteInputTisKeys(Platform& platform, OutputTileset& tileset, FileHandle input,
                            const std::string& inputPath, std::uint64_t firstTile) {
    std::error_code readError;
    OutputTisBatches batches(tileset, TisPart::CopiedTiles, firstTile, inputReader(platform, input, readError), false);
    for (;;) {
        const std::optional<std::span<const OutputWrite>> batch = batches.nextBatch();
        if (!batch) return Failure{messages::kWriteOutputTis, readError, inputPath};
        if (batch->empty()) return {};
    }
}

StepResult writeOutputTisExtras(Platform& platform, FileHandle file, OutputTileset& tileset, FileHandle input,
                                const std::string& inputPath, std::uint64_t firstTile, bool saveHeader,
                                bool flushAhead) {
    if (const StepResult failed = writePart(platform, file, tileset, TisPart::ExtraTiles, input, inputPath, firstTile,
                                            saveHeader, flushAhead)) {
        return failed;
    }
    if (!saveHeader) return {};
    // The header counts the extra tiles too: it goes last.
    const TisHeader header = makeTisHeader(static_cast<std::uint32_t>(tileset.nextTileIndex()));
    const WritePiece piece(header.data(), header.size());
    std::error_code error;
    if (!writePieces(platform, file, 0, {&piece, 1}, error)) return Failure{messages::kWriteOutputTis, error};
    return {};
}

}  // namespace wedmorph
