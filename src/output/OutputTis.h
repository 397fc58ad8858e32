// The output TIS: the header (only when asked for), the copied tiles in one
// write, then each extra overlay tile in creation order.
#pragma once

#include <cstdint>
#include <string>

#include "convert/OverlayPass.h"
#include "platform/Platform.h"
#include "report/StepResult.h"

namespace wedmorph {

struct OutputTisContent {
    const OutputTileset& tileset;
    const PassResult& pass;
    bool saveHeader = false;
};

// Sets the header's tile count, creates (or empties) the file, writes it and
// closes it again. A path that leads to one of `kept` cannot be created.
// Every write's result and byte count is checked.
[[nodiscard]] StepResult writeOutputTis(Platform& platform, const std::string& outputTisPath,
                                        const OutputTisContent& content, KeptFiles kept);

}  // namespace wedmorph
