// The output WED: a byte copy of the input made by the platform's file copy,
// then opened and mapped for writing so that the few changed bytes are
// patched in place.
#pragma once

#include <string>
#include <vector>

#include "formats/Wed.h"
#include "platform/FileOwners.h"
#include "platform/Platform.h"
#include "report/StepResult.h"

namespace wedmorph {

// Copies the input WED to the output path unless that path leads to one of
// `kept`; the copy then joins `kept`.
[[nodiscard]] StepResult copyOutputWed(Platform& platform, const std::string& inputWedPath,
                                       const std::string& outputWedPath,
                                       std::vector<FileIdentity>& kept);

// Opens and maps the copy into `output` and gives overlay 0 the output area's
// tileset name. A path that now leads to one of `inputs` counts as one that
// cannot be opened; a copy whose size is not that of the input (changed under
// the run) as one that cannot be mapped.
[[nodiscard]] StepResult mapOutputWed(Platform& platform, const std::string& outputWedPath,
                                      const std::string& outputName, const WedLayout& layout,
                                      std::size_t inputSize, KeptFiles inputs, MappedFile& output);

}  // namespace wedmorph
