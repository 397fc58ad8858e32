// The output TIS: the header (only when asked for), the copied tiles, then
// each extra overlay tile in creation order. The tiles the conversion leaves
// alone go out straight from the input; the others are made a batch at a time
// and written with them in as few calls as the system takes.
#pragma once

#include <string>

#include "convert/OverlayPass.h"
#include "platform/Platform.h"
#include "report/StepResult.h"

namespace wedmorph {

struct OutputTisContent {
    const OutputTileset& tileset;
    InputTiles input;
    bool saveHeader = false;
};

// Creates (or empties) the file, writes it and closes it again. A path that
// leads to one of `kept` cannot be created. Every write's result and byte
// count is checked.
[[nodiscard]] StepResult writeOutputTis(Platform& platform, const std::string& outputTisPath,
                                        const OutputTisContent& content, KeptFiles kept);

}  // namespace wedmorph
