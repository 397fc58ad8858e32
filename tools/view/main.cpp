// wedmorph-view: a picture of an area, before or after its conversion.
//   wedmorph-view [--overlay] [--keys] [--shrink N] AREA.wed AREA.tis OUT.png
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "view/AreaPicture.h"
#include "view/Png.h"

namespace {

bool readWhole(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

int usage() {
    std::printf(
        "Usage: wedmorph-view [--overlay] [--keys] [--shrink N] AREA.wed AREA.tis OUT.png\n"
        "  --overlay   draw each cell's secondary tile over it, its key colour left out\n"
        "  --keys      show the key-coloured pixels of the base tiles in magenta\n"
        "  --shrink N  keep every N-th pixel (N divides 64)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    wedmorph::view::PictureOptions options;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--overlay") {
            options.drawOverlayTiles = true;
        } else if (argument == "--keys") {
            options.markKeyPixels = true;
        } else if (argument == "--shrink" && i + 1 < argc) {
            options.shrink = std::atoi(argv[++i]);
        } else if (argument.rfind("--", 0) == 0) {
            return usage();
        } else {
            files.push_back(argument);
        }
    }
    if (files.size() != 3) return usage();

    std::vector<std::uint8_t> wed, tis;
    if (!readWhole(files[0], wed)) {
        std::printf("wedmorph-view: cannot read %s\n", files[0].c_str());
        return 1;
    }
    if (!readWhole(files[1], tis)) {
        std::printf("wedmorph-view: cannot read %s\n", files[1].c_str());
        return 1;
    }
    const wedmorph::view::Picture picture = wedmorph::view::renderArea(wed, tis, options);
    if (!picture.error.empty()) {
        std::printf("wedmorph-view: %s\n", picture.error.c_str());
        return 1;
    }
    const std::vector<std::uint8_t> png =
        wedmorph::view::encodePng(picture.width, picture.height, picture.rgb);
    std::FILE* out = std::fopen(files[2].c_str(), "wb");
    const bool written = out != nullptr && std::fwrite(png.data(), 1, png.size(), out) == png.size();
    if (out != nullptr && std::fclose(out) != 0) {
        std::printf("wedmorph-view: cannot write %s\n", files[2].c_str());
        return 1;
    }
    if (!written) {
        std::printf("wedmorph-view: cannot write %s\n", files[2].c_str());
        return 1;
    }
    std::printf("wedmorph-view: %s, %d x %d pixels\n", files[2].c_str(), picture.width, picture.height);
    return 0;
}
