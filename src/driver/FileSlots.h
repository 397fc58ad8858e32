// Every file, mapping and view that a run holds open, so that each way out of
// the run releases exactly what is there.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace wedmorph {

struct MappedFileSlots {
    FileHandle file;
    MappingHandle mapping;
    std::uint8_t* view = nullptr;
};

struct FileSlots {
    MappedFileSlots inputWed;
    MappedFileSlots inputTis;
    MappedFileSlots outputWed;
    FileHandle outputTis;
};

// Empty the input slots, or the output slots; safe on slots that are empty or
// only partly filled. With the output WED's view unmapped, every change made
// through it stands in the file.
void releaseInputFiles(FileSlots& slots, Platform& platform);
void releaseOutputFiles(FileSlots& slots, Platform& platform);

}  // namespace wedmorph
