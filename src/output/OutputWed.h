// The output WED: a byte copy of the input made by the platform's file copy,
// then opened and mapped for writing so that the few changed bytes are
// patched in place.
#pragma once

#include <string>

#include "driver/FileSlots.h"
#include "formats/Wed.h"
#include "platform/Platform.h"

namespace wedmorph {

// Copies the input WED to the output path unless that path leads to one of
// `kept`; returns the identity of the copy, unknown when there is none.
FileIdentity copyOutputWed(Platform& platform, const std::string& inputWedPath,
                           const std::string& outputWedPath, KeptFiles kept);

enum class MapOutputStatus { Mapped, OpenFailed, MapFailed };

struct MappedOutputWed {
    MapOutputStatus status = MapOutputStatus::OpenFailed;
    WritableWedImage image;
};

// Opens and maps the copy into the output WED slots and gives overlay 0 the
// output area's tileset name. A path that now leads to one of `inputs` counts
// as one that cannot be opened; a copy whose size is not that of the input
// (changed under the run) as one that cannot be mapped.
MappedOutputWed mapOutputWed(Platform& platform, FileSlots& slots,
                             const std::string& outputWedPath, const std::string& outputName,
                             const WedLayout& layout, std::size_t inputSize, KeptFiles inputs);

}  // namespace wedmorph
