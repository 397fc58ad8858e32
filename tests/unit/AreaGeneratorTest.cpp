// The areas the generator writes (the sample, the test and benchmark areas,
// the fuzz seeds) are laid out as real ones: a strict reader finds nothing
// wrong with them, over sizes, seeds and shares of water.
#include <gtest/gtest.h>

#include "areagen/SampleArea.h"
#include "formats/LittleEndian.h"
#include "support/StrictArea.h"

namespace wedmorph {
namespace {

TEST(AreaGenerator, EveryAreaItWritesReadsStrictly) {
    const std::pair<int, int> sizes[] = {{1, 1}, {3, 2}, {20, 15}, {41, 6}, {5, 33}};
    int areas = 0;
    for (const auto& [width, height] : sizes) {
        for (int percent : {0, 20, 60, 100}) {
            for (std::uint64_t seed = 1; seed <= 3; ++seed) {
                areagen::SampleOptions options;
                options.width = width;
                options.height = height;
                // The last seeds are the largest there are (2^64 - 1 down).
                options.seed = seed == 3 ? ~static_cast<std::uint64_t>(percent)
                                         : seed * 977 + static_cast<std::uint64_t>(percent);
                options.overlayPercent = percent;
                options.tisHeader = seed % 2 == 1;
                const areagen::SampleArea area = areagen::makeSampleArea(options);
                std::array<std::vector<std::uint8_t>, 5> overlays;
                overlays[1] = areagen::buildTis(area.waterTiles, options.tisHeader);
                const auto problems = test::strictAreaProblems(
                    areagen::buildWed(area.wed), areagen::buildTis(area.tiles, options.tisHeader), overlays);
                EXPECT_TRUE(problems.empty()) << width << " x " << height << ", " << percent << "% water, seed "
                                              << options.seed << ": " << problems.front();
                ++areas;
            }
        }
    }
    EXPECT_EQ(areas, 60);
}

TEST(AreaGenerator, TheStrictReaderSeesBrokenLayouts) {
    areagen::SampleOptions options;
    options.width = 10;
    options.height = 7;
    const areagen::SampleArea area = areagen::makeSampleArea(options);
    const std::vector<std::uint8_t> tis = areagen::buildTis(area.tiles, true);
    std::vector<std::uint8_t> wed = areagen::buildWed(area.wed);
    ASSERT_TRUE(test::strictAreaProblems(wed, tis).empty());

    // Overlay 1 as large as overlay 0, its tile map where overlay 0's lookup is.
    std::vector<std::uint8_t> shared = wed;
    const std::uint32_t table = readU32(wed, 16);
    writeU16(shared, table + 24, 10);
    writeU16(shared, table + 26, 7);
    writeU32(shared, table + 24 + 16, readU32(wed, table + 20));
    EXPECT_FALSE(test::strictAreaProblems(shared, tis).empty());

    areagen::WedPlan noLookup = area.wed;
    noLookup.withTileLookup = false;
    EXPECT_FALSE(test::strictAreaProblems(areagen::buildWed(noLookup), tis).empty());

    const std::vector<std::uint8_t> fewTiles(tis.begin(), tis.end() - 5120);
    EXPECT_FALSE(test::strictAreaProblems(wed, fewTiles).empty());
}

}  // namespace
}  // namespace wedmorph
