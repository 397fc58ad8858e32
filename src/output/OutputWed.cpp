#include "output/OutputWed.h"

#include "report/Messages.h"

namespace wedmorph {

StepResult copyOutputWed(Platform& platform, const std::string& inputWedPath,
                         const std::string& outputWedPath, std::vector<FileIdentity>& kept) {
    const FileIdentity copy = platform.copyFile(inputWedPath, outputWedPath, kept);
    if (!copy.known) return Failure{messages::kCreateOutputWed};
    kept.push_back(copy);
    return {};
}

StepResult mapOutputWed(Platform& platform, const std::string& outputWedPath,
                        const std::string& outputName, const WedLayout& layout,
                        std::size_t inputSize, KeptFiles inputs, MappedFile& output) {
    output.file = OwnedFile(platform, platform.openForUpdate(outputWedPath, inputs));
    if (!output.file) return Failure{messages::kOpenOutputWed};
    if (!mapWholeFile(platform, output, Access::ReadWrite) || output.size != inputSize ||
        output.size < layout.extent) {
        return Failure{messages::kMapOutputWed};
    }
    writeTilesetName(WritableWedImage{output.bytes()}, layout, outputName);
    return {};
}

}  // namespace wedmorph
