#include "areagen/SampleArea.h"

#include <algorithm>
#include <cmath>

namespace wedmorph::areagen {

namespace {

constexpr int kSide = tis::kTileSide;
constexpr std::uint8_t kWaterMask = 2;

std::uint8_t opaque(int value) { return static_cast<std::uint8_t>(1 + (value & 0x7FFFFFFF) % 255); }

// Ground, walls and flagstones: a handful of patterns in varied palettes.
void paintGround(Tile& tile, Random& random) {
    const int pattern = random.below(4);
    const int base = random.below(200);
    for (int r = 0; r < kSide; ++r) {
        for (int c = 0; c < kSide; ++c) {
            int value = 0;
            switch (pattern) {
                case 0: value = base + (r + c) / 4 + random.below(6); break;            // gradient
                case 1: value = base + ((r / 8 + c / 8) % 2) * 40 + random.below(3); break;  // flagstones
                case 2: value = base + (r % 16 == 0 || c % 21 == 0 ? 90 : random.below(12)); break;  // wall
                default: value = base + random.below(64); break;                        // gravel
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

Tile makeGroundTile(Random& random) {
    Tile tile = makeTile(random.next());
    paintGround(tile, random);
    return tile;
}

Tile makeKeyedTile(Random& random) {
    Tile tile = makeGroundTile(random);
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

    for (int k = 0; k < cells; ++k) {
        area.tiles.push_back(keyed[k] ? makeKeyedTile(random) : makeGroundTile(random));
    }
    for (int f = 0; f < extraFrames; ++f) area.tiles.push_back(makeGroundTile(random));

    // Door tiles follow; some door cells are under the water too, and some
    // door tiles are keyed.
    for (int d = 0; d < doorCells && cells > 0; ++d) {
        CellSpec& cell = wed.cells[random.below(cells)];
        if (cell.frameCount > 1 || cell.secondaryTile >= 0) continue;
        cell.secondaryTile = static_cast<std::int16_t>(area.tiles.size());
        area.tiles.push_back(random.chance(50) ? makeKeyedTile(random) : makeGroundTile(random));
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
