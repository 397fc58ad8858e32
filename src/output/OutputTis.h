// The output TIS: the header (only when asked for), the copied tiles, then
// each extra overlay tile in creation order, written a batch at a time as the
// tiles are made (OutputTisBatches), in as few calls as the system takes.
#pragma once

#include <cstdint>

#include "convert/OverlayPass.h"
#include "platform/Platform.h"
#include "report/StepResult.h"

namespace wedmorph {

// The file's size once written: as far as the extra tiles the pass has made
// so far.
std::uint64_t outputTisBytes(const OutputTileset& tileset, bool saveHeader);

// Empties `file`, which the caller has open and keeps, and writes the copied
// tiles into it, reading the input TIS `input`, whose tiles begin at
// `firstTile`, once, in order, and noting the tiles' keys for the pass. The
// room of the file is reserved on the disk first. Every read's and write's
// result and byte count is checked. An interruption stops the writing
// between two batches. A read that fails is said to concern `inputPath`.
// With `flushAhead` (the file is to be flushed), what is written is started
// on its way to the disk as the writing goes on.
[[nodiscard]] StepResult writeOutputTisTiles(Platform& platform, FileHandle file, OutputTileset& tileset,
                                             FileHandle input, const std::string& inputPath, std::uint64_t firstTile,
                                             bool saveHeader, bool flushAhead);

// Notes the keys of the copied tiles as writeOutputTisTiles does, writing
// nothing: for a run whose copied tiles could not be written, whose pass is
// still to run.
[[nodiscard]] StepResult noteInputTisKeys(Platform& platform, OutputTileset& tileset, FileHandle input,
                                          const std::string& inputPath, std::uint64_t firstTile);

// Once the pass has run: writes the extra tiles after the copied ones,
// reading their sources again, and then the header when `saveHeader` is set.
[[nodiscard]] StepResult writeOutputTisExtras(Platform& platform, FileHandle file, OutputTileset& tileset,
                                              FileHandle input, const std::string& inputPath, std::uint64_t firstTile,
                                              bool saveHeader, bool flushAhead);

}  // namespace wedmorph
