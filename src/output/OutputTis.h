// The output TIS: the header (only when asked for), the copied tiles in one
// write, then each extra overlay tile in creation order.
#pragma once

#include <cstdint>
#include <string>

#include "convert/OverlayPass.h"
#include "convert/TileMemory.h"
#include "driver/FileSlots.h"
#include "platform/Platform.h"

namespace wedmorph {

enum class WriteTisStatus { Written, CreateFailed, WriteFailed };

struct OutputTisContent {
    OutputTileset tileset;
    std::int32_t copiedTileCount = 0;
    const ExtraTiles& extraTiles;
    std::int32_t nextTileIndex = 0;
    bool saveHeader = false;
};

// Sets the header's tile count, creates (or empties) the file, writes it and
// closes it again. A path that leads to one of `kept` cannot be created.
// Every write's result and byte count is checked.
WriteTisStatus writeOutputTis(Platform& platform, FileSlots& slots, const std::string& outputTisPath,
                              const OutputTisContent& content, KeptFiles kept);

// Frees every extra tile, then their list, then the output tileset.
void freeOutputTiles(TileMemory& memory, OutputTileset& tileset, ExtraTiles& extraTiles);

}  // namespace wedmorph
