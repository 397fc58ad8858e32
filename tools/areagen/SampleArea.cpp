#include "areagen/SampleArea.h"

#include <algorithm>
#include <cmath>

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

// A palette that runs from the material's dark colour to its light one, so
// that pixel values read as brightness. Entries hold blue, green, red, unused.
void paintPalette(Tile& tile, const Material& material, Random& random) {
    const int tint = random.below(24) - 12;
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

// The see-through part of a water cell: single pixels, runs, runs from the
// tile's left edge, whole rows, and a pool.
void cutWater(Tile& tile, Random& random) {
    const int singles = random.below(40);
    for (int n = 0; n < singles; ++n) pixelAt(tile, random.below(kSide), random.below(kSide)) = 0;
    const int runs = random.below(12);
    for (int n = 0; n < runs; ++n) {
        const int row = random.below(kSide);
        const int start = random.below(kSide - 1);
        const int length = 2 + random.below(kSide - start - 1);
        for (int c = start; c < start + length && c < kSide; ++c) pixelAt(tile, row, c) = 0;
    }
    const int edgeRuns = random.below(6);
    for (int n = 0; n < edgeRuns; ++n) {
        const int row = random.below(kSide);
        const int length = 1 + random.below(20);
        for (int c = 0; c < length; ++c) pixelAt(tile, row, c) = 0;
    }
    if (random.chance(40)) {
        const int row = random.below(kSide);
        for (int c = 0; c < kSide; ++c) pixelAt(tile, row, c) = 0;
    }
    if (random.chance(60)) {
        const int cr = random.below(kSide), cc = random.below(kSide), radius = 6 + random.below(20);
        for (int r = 0; r < kSide; ++r) {
            for (int c = 0; c < kSide; ++c) {
                if ((r - cr) * (r - cr) + (c - cc) * (c - cc) < radius * radius) pixelAt(tile, r, c) = 0;
            }
        }
    }
}

Tile makeGroundTile(Random& random, int material) {
    Tile tile = makeTile(random.next());
    paintPalette(tile, kMaterials[material % 4], random);
    paintGround(tile, random);
    return tile;
}

Tile makeKeyedTile(Random& random, int material) {
    Tile tile = makeGroundTile(random, material);
    setKeyColour(tile, static_cast<std::uint8_t>(random.below(2) * 0x7F));
    cutWater(tile, random);
    return tile;
}

}  // namespace

SampleArea makeSampleArea(const SampleOptions& options) {
    Random random(options.seed);
    const int cells = std::max(0, options.width) * std::max(0, options.height);
    const int doorCells = options.doorCells >= 0 ? options.doorCells : std::max(2, cells / 50);
    const int animated = options.animatedCells >= 0 ? options.animatedCells : std::max(1, cells / 100);

    SampleArea area;
    WedSpec& wed = area.wed;
    wed.overlays[0] = {static_cast<std::int16_t>(options.width),
                       static_cast<std::int16_t>(options.height), "AR0100"};
    wed.overlays[1] = {static_cast<std::int16_t>(std::max(1, options.width / 2)),
                       static_cast<std::int16_t>(std::max(1, options.height / 2)), "WTWAVE"};
    wed.cells.assign(static_cast<std::size_t>(cells), CellSpec{});

    // The base layer: water cells keyed or not, then the animated cells.
    std::vector<bool> keyed(static_cast<std::size_t>(cells), false);
    for (int k = 0; k < cells; ++k) {
        if (!random.chance(options.overlayPercent)) continue;
        wed.cells[k].overlayMask = kWaterMask;
        keyed[k] = random.chance(options.keyedPercent);
    }
    if (cells > 0 && random.chance(50)) wed.cells[random.below(cells)].overlayMask = kWaterMask | 4;
    int extraFrames = 0;
    for (int n = 0; n < animated && cells > 0; ++n) {
        CellSpec& cell = wed.cells[random.below(cells)];
        if (cell.frameCount > 1) continue;
        cell.frameCount = static_cast<std::int16_t>(2 + random.below(3));
        cell.overlayMask = 0;
        extraFrames += cell.frameCount - 1;
    }

    // Materials come in patches of a few cells.
    auto materialOf = [&](int k) {
        const int x = k % std::max(1, options.width), y = k / std::max(1, options.width);
        return (x / 5 + y / 4 * 3 + static_cast<int>(options.seed)) % 4;
    };
    for (int k = 0; k < cells; ++k) {
        const int material = materialOf(k);
        area.tiles.push_back(keyed[k] ? makeKeyedTile(random, material) : makeGroundTile(random, material));
    }
    for (int f = 0; f < extraFrames; ++f) area.tiles.push_back(makeGroundTile(random, 3));

    // Door tiles follow; some door cells are under the water too, and some
    // door tiles are keyed.
    for (int d = 0; d < doorCells && cells > 0; ++d) {
        CellSpec& cell = wed.cells[random.below(cells)];
        if (cell.frameCount > 1 || cell.secondaryTile >= 0) continue;
        cell.secondaryTile = static_cast<std::int16_t>(area.tiles.size());
        area.tiles.push_back(random.chance(50) ? makeKeyedTile(random, 3) : makeGroundTile(random, 3));
    }
    return area;
}

bool writeSampleArea(const std::string& dir, const std::string& name,
                     const SampleOptions& options) {
    const SampleArea area = makeSampleArea(options);
    const std::string prefix = name.substr(0, 6);
    const int pixelsWide = std::max(1, options.width) * kSide;
    const int pixelsHigh = std::max(1, options.height) * kSide;
    bool ok = writeFileBytes(dir + name + ".wed", buildWed(area.wed));
    ok = writeFileBytes(dir + name + ".tis", buildTis(area.tiles, options.tisHeader)) && ok;
    ok = writeFileBytes(dir + name + ".mos", buildMos(pixelsWide, pixelsHigh, options.seed)) && ok;
    const char* const bitmaps[] = {"HT", "LM", "LN", "SR"};
    std::uint64_t seed = options.seed;
    for (const char* kind : bitmaps) {
        ok = writeFileBytes(dir + prefix + kind + ".bmp",
                            buildBitmap(pixelsWide / 16, pixelsHigh / 16, ++seed)) && ok;
    }
    return ok;
}

}  // namespace wedmorph::areagen
