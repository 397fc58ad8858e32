// The output WED: a byte copy of the input, made by the platform's copy (a
// copy-on-write file system shares the blocks), over which the bytes the
// conversion changed, overlay 0's tileset name and its tile map, are written
// from the image the pass patched in memory. Nothing is written through a
// mapping, so a full disk is a write that fails, never a signal.
#pragma once

#include <cstdint>

#include "formats/Wed.h"
#include "platform/Platform.h"
#include "report/StepResult.h"

namespace wedmorph {

// `patched` is the input image with the changes made; `output` is held and
// is emptied first. Every write is checked.
[[nodiscard]] StepResult writeOutputWed(Platform& platform, FileHandle input, FileHandle output,
                                        WedImage patched, const WedLayout& layout);

}  // namespace wedmorph
