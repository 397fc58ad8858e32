// The overlay conversion pass: builds the output tileset from the input tiles,
// rebuilds the keyed overlay cells of the base layer, and fills the keyed door
// tiles that follow the basic tiles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "convert/TileMemory.h"
#include "formats/Tis.h"
#include "formats/Wed.h"

namespace wedmorph {

class Reporter;

// The output TIS in memory: a 24-byte header, then the copied tiles.
struct OutputTileset {
    std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
};

// The transparent overlay tiles made by the pass, in creation order.
struct ExtraTiles {
    std::uint8_t** tiles = nullptr;
    std::int32_t count = 0;
    std::int32_t capacity = 0;
};

enum class PassStatus { Done, OutOfMemory, TooManyTiles };

struct PreparedTileset {
    PassStatus status = PassStatus::Done;
    OutputTileset tileset;
    std::int32_t copiedTileCount = 0;
};

struct PassResult {
    PassStatus status = PassStatus::Done;
    ExtraTiles extraTiles;  // what was made, also when the pass stopped early
    std::int32_t nextTileIndex = 0;
};

// The highest tile index a tile map entry can name.
inline constexpr std::int32_t kMaxTileIndex = 32767;

// Copies the input tiles that the output keeps (those the census counts, and
// up to the highest door tile a cell names) behind a header whose tile count
// is filled in when the file is written.
PreparedTileset prepareOutputTileset(const TileCensus& census, const TisSource& source,
                                     std::span<const std::uint8_t> mappedTis,
                                     TileMemory& memory);

struct OverlayPassInput {
    const TileCensus& census;
    const WedLayout& layout;
    WedImage inputWed;
    WritableWedImage outputWed;
    std::span<const std::uint8_t> mappedTis;
    const TisSource& source;
};

PassResult convertOverlayTiles(const OverlayPassInput& input, OutputTileset tileset,
                               std::int32_t copiedTileCount, Reporter& reporter,
                               TileMemory& memory);

}  // namespace wedmorph
