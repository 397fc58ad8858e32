#include "support/Areas.h"

#include "support/TempDir.h"

namespace wedmorph::test {

using areagen::Tile;

areagen::Tile plainTile(std::uint64_t seed) {
    Tile tile = areagen::makeTile(seed);
    areagen::Random random(seed);
    for (int r = 0; r < 64; ++r) {
        for (int c = 0; c < 64; ++c) areagen::pixelAt(tile, r, c) = static_cast<std::uint8_t>(1 + random.below(255));
    }
    return tile;
}

areagen::Tile keyedTile(std::uint64_t seed, bool runs) {
    Tile tile = plainTile(seed);
    areagen::setKeyColour(tile, 0x7F);
    areagen::Random random(seed * 31 + 1);
    for (int r = 0; r < 64; ++r) {
        // Single key pixels two apart never touch each other.
        for (int c = r % 2; c < 64; c += 8) areagen::pixelAt(tile, r, c) = 0;
    }
    if (runs) {
        for (int c = 0; c < 64; ++c) areagen::pixelAt(tile, 10, c) = 0;  // a whole row
        for (int c = 0; c < 5; ++c) areagen::pixelAt(tile, 20, c) = 0;   // from column 0
        for (int c = 30; c < 34; ++c) areagen::pixelAt(tile, 40, c) = 0;
        for (int r = 50; r < 60; ++r) {
            for (int c = 50; c < 60; ++c) areagen::pixelAt(tile, r, c) = 0;
        }
    }
    return tile;
}

AreaFiles smallWaterArea(bool tisHeader) {
    areagen::WedPlan plan;
    plan.overlays[0] = {2, 2, "AR0100"};
    plan.overlays[1] = {1, 1, "WTWAVE"};
    plan.cells = {{1, -1, 0}, {1, -1, 2}, {1, -1, 2}, {1, 4, 2}};
    const std::vector<Tile> tiles = {plainTile(10), keyedTile(11, true), plainTile(12),
                                     keyedTile(13, false), keyedTile(14, true)};
    return {areagen::buildWed(plan), areagen::buildTis(tiles, tisHeader)};
}

std::vector<std::string> companionNames(const std::string& name) {
    const std::string prefix = name.substr(0, 6);
    return {name + ".mos", prefix + "HT.bmp", prefix + "LM.bmp", prefix + "LN.bmp", prefix + "SR.bmp"};
}

void writeArea(const std::string& dir, const std::string& name, const AreaFiles& files,
               bool companions) {
    writeBytes(dir + name + ".wed", files.wed);
    writeBytes(dir + name + ".tis", files.tis);
    if (!companions) return;
    std::uint64_t seed = 100;
    for (const std::string& companion : companionNames(name)) {
        writeBytes(dir + companion, areagen::buildBitmap(4, 4, ++seed));
    }
}

}  // namespace wedmorph::test
