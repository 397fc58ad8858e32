#include "output/OutputWed.h"

namespace wedmorph {

FileIdentity copyOutputWed(Platform& platform, const std::string& inputWedPath,
                           const std::string& outputWedPath, KeptFiles kept) {
    return platform.copyFile(inputWedPath, outputWedPath, kept);
}

MappedOutputWed mapOutputWed(Platform& platform, FileSlots& slots,
                             const std::string& outputWedPath, const std::string& outputName,
                             const WedLayout& layout, std::size_t inputSize, KeptFiles inputs) {
    MappedOutputWed result;
    MappedFileSlots& out = slots.outputWed;
    out.file = platform.openForUpdate(outputWedPath, inputs);
    if (!out.file.isOpen()) return result;

    result.status = MapOutputStatus::MapFailed;
    const std::size_t size = platform.fileSize(out.file);
    out.mapping = platform.createMapping(out.file, Access::ReadWrite);
    if (!out.mapping.isOpen()) return result;
    out.view = platform.mapView(out.mapping, Access::ReadWrite);
    if (out.view == nullptr || size != inputSize || size < layout.extent) return result;

    result.image.bytes = {out.view, size};
    writeTilesetName(result.image, layout, outputName);
    result.status = MapOutputStatus::Mapped;
    return result;
}

}  // namespace wedmorph
