// Writes a sample area in the input layout:
//   make-sample-area --dir DIR --name NAME [--width W] [--height H] [--seed S]
//                    [--overlay PERCENT] [--keyed PERCENT] [--no-header]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "areagen/SampleArea.h"

int main(int argc, char** argv) {
    wedmorph::areagen::SampleOptions options;
    std::string dir = ".";
    std::string name = "AR0100";
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--no-header") {
            options.tisHeader = false;
        } else if (hasValue && option == "--dir") {
            dir = argv[++i];
        } else if (hasValue && option == "--name") {
            name = argv[++i];
        } else if (hasValue && option == "--width") {
            options.width = std::atoi(argv[++i]);
        } else if (hasValue && option == "--height") {
            options.height = std::atoi(argv[++i]);
        } else if (hasValue && option == "--seed") {
            options.seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (hasValue && option == "--overlay") {
            options.overlayPercent = std::atoi(argv[++i]);
        } else if (hasValue && option == "--keyed") {
            options.keyedPercent = std::atoi(argv[++i]);
        } else {
            std::printf("make-sample-area: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
    if (!wedmorph::areagen::writeSampleArea(dir, name, options)) {
        std::printf("make-sample-area: cannot write the area %s in %s\n", name.c_str(), dir.c_str());
        return 1;
    }
    std::printf("Sample area %s written to %s (%d x %d cells, seed %llu)\n", name.c_str(),
                dir.c_str(), options.width, options.height,
                static_cast<unsigned long long>(options.seed));
    return 0;
}
