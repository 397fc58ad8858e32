// Writes seed inputs for the conversion fuzzer into a folder: sample areas of
// a few shapes, each packed as one byte of option flags, the WED's length
// (four bytes, little-endian), the WED and the TIS.
#include <cstdio>
#include <string>

#include "areagen/SampleArea.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: make-fuzz-seeds FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    int written = 0;
    for (int shape = 0; shape < 12; ++shape) {
        wedmorph::areagen::SampleOptions options;
        options.width = 1 + shape % 4;
        options.height = 1 + shape / 4;
        options.seed = static_cast<std::uint64_t>(shape) + 1;
        options.overlayPercent = 60;
        options.doorCells = shape % 3;
        options.animatedCells = shape % 2;
        options.tisHeader = shape % 2 == 0;
        const auto area = wedmorph::areagen::makeSampleArea(options);
        const auto wed = wedmorph::areagen::buildWed(area.wed);
        const auto tis = wedmorph::areagen::buildTis(area.tiles, options.tisHeader);
        std::vector<std::uint8_t> seed = {static_cast<std::uint8_t>(shape * 5)};
        const auto length = static_cast<std::uint32_t>(wed.size());
        for (int i = 0; i < 4; ++i) seed.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
        seed.insert(seed.end(), wed.begin(), wed.end());
        seed.insert(seed.end(), tis.begin(), tis.end());
        if (wedmorph::areagen::writeFileBytes(folder + "seed-" + std::to_string(shape), seed)) ++written;
    }
    std::printf("%d seeds written to %s\n", written, folder.c_str());
    return written == 12 ? 0 : 1;
}
