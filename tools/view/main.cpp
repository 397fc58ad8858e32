// wedmorph-view: a picture of an area, before or after its conversion.
//   wedmorph-view [--overlay] [--keys] [--shrink N] AREA.wed AREA.tis OUT.png
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cctype>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "areagen/FileBytes.h"
#include "view/AreaPicture.h"
#include "view/Png.h"

namespace {

bool readWhole(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::optional<std::vector<std::uint8_t>> read = wedmorph::areagen::readFileBytes(path);
    if (!read) return false;
    bytes = std::move(*read);
    return true;
}

// The file NAME.tis in `folder`, found in any letter case as an engine would;
// empty when there is none.
std::string findTileset(const std::filesystem::path& folder, const std::string& name) {
    auto folded = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string wanted = folded(name + ".tis");
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (folded(entry.path().filename().string()) == wanted) return entry.path().string();
    }
    return {};
}

int usage() {
    std::printf(
        "Usage: wedmorph-view [--overlay] [--keys] [--shrink N] AREA.wed AREA.tis OUT.png\n"
        "  --overlay   draw the water: each overlay's tileset, found beside the area,\n"
        "              through the key-coloured pixels or under the secondary tiles\n"
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
    wedmorph::view::OverlayTilesets overlays;
    if (options.drawOverlayTiles) {
        const std::filesystem::path folder = std::filesystem::path(files[0]).parent_path();
        const auto names = wedmorph::view::overlayTilesetNames(wed);
        for (std::size_t o = 1; o < names.size(); ++o) {
            if (names[o].empty()) continue;
            const std::string path = findTileset(folder.empty() ? "." : folder, names[o]);
            if (path.empty() || !readWhole(path, overlays[o])) {
                std::printf("wedmorph-view: overlay %zu's tileset %s.tis is not beside the area: its cells are drawn without it\n",
                            o, names[o].c_str());
            }
        }
    }
    const wedmorph::view::Picture picture = wedmorph::view::renderArea(wed, tis, options, overlays);
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
