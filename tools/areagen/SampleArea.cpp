#include "areagen/SampleArea.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "area/CompanionKinds.h"

namespace wedmorph::areagen {

namespace {

constexpr int kSide = tis::kTileSide;
constexpr std::uint8_t kWaterMask = 2;

std::uint8_t opaque(int value) { return static_cast<std::uint8_t>(std::clamp(value, 1, 255)); }

struct Material {
    std::uint8_t dark[3];   // red, green, blue
    std::uint8_t light[3];
};

constexpr Material kMaterials[] = {
    {{28, 58, 20}, {120, 176, 64}},    // grass
    {{52, 52, 58}, {188, 186, 180}},   // flagstones
    {{66, 42, 24}, {178, 136, 86}},    // earth
    {{56, 32, 14}, {156, 104, 52}},    // planks
};
constexpr Material kWater = {{8, 28, 64}, {96, 168, 212}};

// A palette that runs from the material's dark colour to its light one, so
// that pixel values read as brightness. Entries hold blue, green, red, unused.
void paintPalette(Tile& tile, const Material& material, int tint) {
    for (int n = 0; n < 256; ++n) {
        for (int channel = 0; channel < 3; ++channel) {
            const int dark = material.dark[channel], light = material.light[channel];
            const int value = dark + (light - dark) * n / 255 + tint;
            tile[4 * n + 2 - channel] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
        }
        tile[4 * n + 3] = 0;
    }
}

// Ground, walls and flagstones: a handful of patterns, lit from one side.
void paintGround(Tile& tile, Random& random) {
    const int pattern = random.below(4);
    const int base = 70 + random.below(60);
    for (int r = 0; r < kSide; ++r) {
        for (int c = 0; c < kSide; ++c) {
            int value = base;
            switch (pattern) {
                case 0: value += (r + c) / 3 + random.below(10); break;                        // slope
                case 1: value += ((r % 16 == 0 || c % 16 == 0) ? -50 : 20) + random.below(12); break;  // flagstones
                case 2: value += (r % 12 == 0 || (c + (r / 12) * 10) % 20 == 0 ? -45 : 15) + random.below(8); break;  // bricks
                default: value += random.below(40) - 20; break;                                 // gravel
            }
            pixelAt(tile, r, c) = opaque(value);
        }
    }
}

Tile makeGroundTile(Random& random, int material) {
    Tile tile = makeTile(random.next());
    paintPalette(tile, kMaterials[material % 4], random.below(24) - 12);
    paintGround(tile, random);
    return tile;
}

// Where the water lies: smooth noise over the whole area, in pixels, whose
// low ground below a level is water. Its shapes are pools and winding shores.
class WaterLevel {
public:
    explicit WaterLevel(std::uint64_t seed) : seed_(seed) {}

    float at(float x, float y) const {
        return 0.7f * noise(x / 320.0f, y / 320.0f, 0) + 0.25f * noise(x / 96.0f, y / 96.0f, 1) +
               0.05f * noise(x / 18.0f, y / 18.0f, 2);
    }

    // The level over one cell, every 4 pixels (17 × 17 points), from which
    // each pixel's is interpolated.
    std::array<float, 17 * 17> cellGrid(int cellX, int cellY) const {
        std::array<float, 17 * 17> grid{};
        for (int j = 0; j <= 16; ++j) {
            for (int i = 0; i <= 16; ++i) {
                grid[static_cast<std::size_t>(j * 17 + i)] =
                    at(static_cast<float>(cellX * kSide + 4 * i), static_cast<float>(cellY * kSide + 4 * j));
            }
        }
        return grid;
    }

    static float pixel(const std::array<float, 17 * 17>& grid, int r, int c) {
        const int i = c / 4, j = r / 4;
        const float fx = static_cast<float>(c % 4) / 4.0f, fy = static_cast<float>(r % 4) / 4.0f;
        auto g = [&](int a, int b) { return grid[static_cast<std::size_t>(b * 17 + a)]; };
        const float top = g(i, j) + (g(i + 1, j) - g(i, j)) * fx;
        const float bottom = g(i, j + 1) + (g(i + 1, j + 1) - g(i, j + 1)) * fx;
        return top + (bottom - top) * fy;
    }

private:
    float lattice(int x, int y, int octave) const {
        Random random(seed_ * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(octave) * 0x632BE59BD9B4E019ull +
                      static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) * 0x85EBCA77ull +
                      static_cast<std::uint64_t>(static_cast<std::uint32_t>(y)) * 0xC2B2AE3D27D4EB4Full);
        return static_cast<float>(random.next() >> 40) / static_cast<float>(1 << 24);
    }

    float noise(float x, float y, int octave) const {
        const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
        const float fx = x - static_cast<float>(ix), fy = y - static_cast<float>(iy);
        const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
        const float top = lattice(ix, iy, octave) + (lattice(ix + 1, iy, octave) - lattice(ix, iy, octave)) * sx;
        const float bottom =
            lattice(ix, iy + 1, octave) + (lattice(ix + 1, iy + 1, octave) - lattice(ix, iy + 1, octave)) * sx;
        return top + (bottom - top) * sy;
    }

    std::uint64_t seed_;
};

// The level below which the water reaches about `percent` of the cells: the
// cells are ranked by their lowest point.
float waterLine(const WaterLevel& level, int width, int height, int percent) {
    std::vector<float> lowest;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto grid = level.cellGrid(x, y);
            lowest.push_back(*std::min_element(grid.begin(), grid.end()));
        }
    }
    const std::size_t wet = lowest.size() * static_cast<std::size_t>(std::clamp(percent, 0, 100)) / 100;
    if (wet == 0) return -1.0f;
    std::nth_element(lowest.begin(), lowest.begin() + static_cast<long>(wet - 1), lowest.end());
    return lowest[wet - 1] + 1e-6f;
}

// The see-through pixels of one cell: below the water line, and along the
// shore a ragged fringe of single pixels and short runs.
struct CellWater {
    std::array<bool, kSide * kSide> see{};
    int count = 0;
};

CellWater waterOf(const WaterLevel& level, float line, int x, int y, Random& random) {
    CellWater water;
    const auto grid = level.cellGrid(x, y);
    for (int r = 0; r < kSide; ++r) {
        for (int c = 0; c < kSide; ++c) {
            const float here = WaterLevel::pixel(grid, r, c);
            const bool see = here < line || (here < line + 0.006f && random.chance(35));
            water.see[static_cast<std::size_t>(r * kSide + c)] = see;
            water.count += see ? 1 : 0;
        }
    }
    return water;
}

// The water overlay's frames: ripples that repeat every 64 pixels both ways,
// so the cells join without a seam, moving a sixth of a period each frame.
std::vector<Tile> makeWaterTiles() {
    std::vector<Tile> tiles;
    constexpr double kTwoPi = 2 * std::numbers::pi;
    for (int frame = 0; frame < kWaterFrames; ++frame) {
        Tile tile{};
        paintPalette(tile, kWater, 0);
        const double phase = kTwoPi * frame / kWaterFrames;
        for (int r = 0; r < kSide; ++r) {
            for (int c = 0; c < kSide; ++c) {
                const double u = kTwoPi * c / kSide, v = kTwoPi * r / kSide;
                const double wave = 0.45 * std::sin(2 * u + v + phase) + 0.35 * std::sin(3 * v - u - phase) +
                                    0.2 * std::sin(5 * u + 4 * v + 2 * phase);
                pixelAt(tile, r, c) = opaque(static_cast<int>(128 + 80 * wave));
            }
        }
        tiles.push_back(tile);
    }
    return tiles;
}

}  // namespace

SampleArea makeSampleArea(const SampleOptions& options) {
    Random random(options.seed);
    const int width = std::max(0, options.width), height = std::max(0, options.height);
    const int cells = width * height;
    const int doorCells = options.doorCells >= 0 ? options.doorCells : std::max(2, cells / 50);
    const int animated = options.animatedCells >= 0 ? options.animatedCells : std::max(1, cells / 100);

    SampleArea area;
    WedPlan& wed = area.wed;
    wed.overlays[0] = {static_cast<std::int16_t>(width), static_cast<std::int16_t>(height), "AR0100"};
    wed.overlays[1] = {1, 1, kWaterTileset, kWaterFrames};
    wed.cells.assign(static_cast<std::size_t>(cells), CellPlan{});
    area.waterTiles = makeWaterTiles();

    // The water: the cells it reaches are marked for overlay 1; the ones with
    // the least water, along the shore, are left unkeyed, as an artist might.
    const WaterLevel level(options.seed);
    const float line = waterLine(level, width, height, options.overlayPercent);
    std::vector<CellWater> water(static_cast<std::size_t>(cells));
    std::vector<int> wet;
    for (int k = 0; k < cells; ++k) {
        water[static_cast<std::size_t>(k)] = waterOf(level, line, k % width, k / width, random);
        if (water[static_cast<std::size_t>(k)].count > 0) wet.push_back(k);
    }
    std::sort(wet.begin(), wet.end(), [&](int a, int b) {
        return water[static_cast<std::size_t>(a)].count < water[static_cast<std::size_t>(b)].count;
    });
    const std::size_t unkeyed = wet.size() * static_cast<std::size_t>(100 - std::clamp(options.keyedPercent, 0, 100)) / 100;
    std::vector<bool> keyed(static_cast<std::size_t>(cells), false);
    for (std::size_t n = 0; n < wet.size(); ++n) {
        wed.cells[static_cast<std::size_t>(wet[n])].overlayMask = kWaterMask;
        keyed[static_cast<std::size_t>(wet[n])] = n >= unkeyed;
    }

    // Animated cells on dry ground.
    int extraFrames = 0;
    for (int n = 0; n < animated && cells > 0; ++n) {
        CellPlan& cell = wed.cells[static_cast<std::size_t>(random.below(cells))];
        if (cell.frameCount > 1 || cell.overlayMask != 0) continue;
        cell.frameCount = static_cast<std::int16_t>(2 + random.below(3));
        extraFrames += cell.frameCount - 1;
    }

    // Materials come in patches of a few cells. The seed counts modulo 4
    // alone, taken unsigned: a seed that reads as a negative int would make
    // a negative index.
    auto materialOf = [&](int k) {
        const int x = k % std::max(1, width), y = k / std::max(1, width);
        return (x / 5 + y / 4 * 3 + static_cast<int>(options.seed % 4)) % 4;
    };
    for (int k = 0; k < cells; ++k) {
        Tile tile = makeGroundTile(random, materialOf(k));
        if (keyed[static_cast<std::size_t>(k)]) {
            setKeyColour(tile, static_cast<std::uint8_t>(random.below(2) * 0x7F));
            const CellWater& cellWater = water[static_cast<std::size_t>(k)];
            for (std::size_t p = 0; p < cellWater.see.size(); ++p) {
                if (cellWater.see[p]) tile[tis::kPaletteSize + p] = 0;
            }
        }
        area.tiles.push_back(tile);
    }
    for (int f = 0; f < extraFrames; ++f) area.tiles.push_back(makeGroundTile(random, 3));

    // Door tiles follow, the closed state of a door's cells on dry ground;
    // some are keyed, with a few see-through pixels.
    DoorPlan door{"DOOR01", {}};
    for (int d = 0; d < doorCells && cells > 0; ++d) {
        const int k = random.below(cells);
        CellPlan& cell = wed.cells[static_cast<std::size_t>(k)];
        if (cell.frameCount > 1 || cell.secondaryTile >= 0 || cell.overlayMask != 0) continue;
        cell.secondaryTile = static_cast<std::int16_t>(area.tiles.size());
        door.cells.push_back(static_cast<std::uint16_t>(k));
        Tile tile = makeGroundTile(random, 3);
        if (random.chance(50)) {
            setKeyColour(tile);
            for (std::size_t p = 0; p < tis::kPixelCount; p += 61) tile[tis::kPaletteSize + p] = 0;
        }
        area.tiles.push_back(tile);
    }
    if (!door.cells.empty()) wed.doors.push_back(door);
    return area;
}

bool writeSampleArea(const std::string& dir, const std::string& name,
                     const SampleOptions& options) {
    SampleArea area = makeSampleArea(options);
    area.wed.overlays[0].tilesetName = name;
    const std::string prefix = name.substr(0, 6);
    const int pixelsWide = std::max(1, options.width) * kSide;
    const int pixelsHigh = std::max(1, options.height) * kSide;
    bool ok = writeFileBytes(dir + name + ".wed", buildWed(area.wed));
    ok = writeFileBytes(dir + name + ".tis", buildTis(area.tiles, options.tisHeader)) && ok;
    ok = writeFileBytes(dir + kWaterTileset + ".tis", buildTis(area.waterTiles, options.tisHeader)) && ok;
    std::uint64_t seed = options.seed;
    for (const CompanionKind& kind : kCompanionKinds) {
        const std::vector<std::uint8_t> bytes =
            kind.byPrefix ? buildBitmap(pixelsWide / 16, pixelsHigh / 16, ++seed)
                          : buildMos(pixelsWide, pixelsHigh, options.seed);
        ok = writeFileBytes(dir + (kind.byPrefix ? prefix : name) + kind.suffix, bytes) && ok;
    }
    return ok;
}

}  // namespace wedmorph::areagen
