// The overlay conversion pass: builds the output tileset from the input tiles,
// rebuilds the keyed overlay cells of the base layer, and fills the keyed door
// tiles that follow the basic tiles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "formats/Tis.h"
#include "formats/Wed.h"
#include "memory/TileMemory.h"
#include "report/StepResult.h"

namespace wedmorph {

// The output TIS in memory: a 24-byte header, then the copied tiles.
struct OutputTileset {
    TileBlock block;
    std::size_t size = 0;
    std::int32_t copiedTileCount = 0;

    std::uint8_t* tile(std::int64_t index) const {
        return block.get() + tis::kHeaderSize + tis::kTileSize * static_cast<std::size_t>(index);
    }
};

// The transparent overlay tiles made by the pass, in creation order. The
// tiles, and then their list, are given back when it goes.
class ExtraTiles {
public:
    ExtraTiles() = default;
    ~ExtraTiles();
    ExtraTiles(const ExtraTiles&) = delete;
    ExtraTiles& operator=(const ExtraTiles&) = delete;

    // Room for `capacity` tiles; false when the memory has none.
    bool reserve(TileMemory& memory, std::int32_t capacity);
    // A new tile at the end of the list; null when the memory has none.
    std::uint8_t* add();

    std::int32_t count() const { return count_; }
    const std::uint8_t* tile(std::int32_t k) const { return tiles()[k]; }

private:
    std::uint8_t** tiles() const { return reinterpret_cast<std::uint8_t**>(list_.get()); }

    TileMemory* memory_ = nullptr;
    TileBlock list_;
    std::int32_t count_ = 0;
    std::int32_t capacity_ = 0;
};

struct PassResult {
    ExtraTiles extraTiles;
    std::int32_t nextTileIndex = 0;
};

// The highest tile index a tile map entry can name.
inline constexpr std::int32_t kMaxTileIndex = 32767;

// Copies the input tiles that the output keeps (those the census counts, and
// up to the highest door tile a cell names) behind a header whose tile count
// is filled in when the file is written.
[[nodiscard]] StepResult prepareOutputTileset(const TileCensus& census, const TisSource& source,
                                              std::span<const std::uint8_t> mappedTis,
                                              TileMemory& memory, OutputTileset& tileset);

struct OverlayPassInput {
    const TileCensus& census;
    const WedLayout& layout;
    WedImage inputWed;
    WritableWedImage outputWed;
    std::span<const std::uint8_t> mappedTis;
    const TisSource& source;
};

// Called with the number of each tile as the pass reaches it (counted from 1)
// and the number of basic tiles. An empty one shows nothing, and the pass
// stops where nothing is left to convert.
using PassProgress = std::function<void(std::int32_t tile, std::int32_t basicTiles)>;

[[nodiscard]] StepResult convertOverlayTiles(const OverlayPassInput& input,
                                             const OutputTileset& tileset,
                                             const PassProgress& progress, TileMemory& memory,
                                             PassResult& result);

}  // namespace wedmorph
