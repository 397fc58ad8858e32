#include "driver/FileSlots.h"

namespace wedmorph {

namespace {

void releaseMapped(MappedFileSlots& slots, Platform& platform) {
    if (slots.mapping.isOpen()) {
        if (slots.view != nullptr) {
            platform.unmapView(slots.view);
            slots.view = nullptr;
        }
        platform.closeMapping(slots.mapping);
        slots.mapping = {};
    }
    if (slots.file.isOpen()) {
        platform.closeFile(slots.file);
        slots.file = {};
    }
}

}  // namespace

void releaseInputFiles(FileSlots& slots, Platform& platform) {
    releaseMapped(slots.inputWed, platform);
    releaseMapped(slots.inputTis, platform);
}

void releaseOutputFiles(FileSlots& slots, Platform& platform) {
    releaseMapped(slots.outputWed, platform);
    if (slots.outputTis.isOpen()) {
        platform.closeFile(slots.outputTis);
        slots.outputTis = {};
    }
}

}  // namespace wedmorph
