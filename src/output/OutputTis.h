// The output TIS: the header (only when asked for), the copied tiles, then
// each extra overlay tile in creation order, written a batch at a time as the
// tiles are made (OutputTisBatches), in as few calls as the system takes.
#pragma once

#include <cstdint>

#include "convert/OverlayPass.h"
#include "platform/Platform.h"
#include "report/StepResult.h"

namespace wedmorph {

// Reads the input TIS `input`, whose tiles begin at `firstTile`, once, in
// order, to note which of the tiles the output copies are keyed.
[[nodiscard]] StepResult readInputTileKeys(Platform& platform, FileHandle input, std::uint64_t firstTile,
                                           OutputTileset& tileset);

// The file's size once written.
std::uint64_t outputTisBytes(const OutputTileset& tileset, bool saveHeader);

// Empties `file`, which the caller has open and keeps, reserves the room of
// the whole output TIS on the disk, and writes it into the file, reading the
// input TIS `input`, whose tiles begin at `firstTile`, once, in order.
// Every read's and write's result and byte count is checked. An
// interruption stops the writing between two batches.
[[nodiscard]] StepResult writeOutputTis(Platform& platform, FileHandle file, OutputTileset& tileset,
                                        FileHandle input, std::uint64_t firstTile, bool saveHeader);

}  // namespace wedmorph
