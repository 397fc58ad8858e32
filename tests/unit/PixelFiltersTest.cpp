#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "areagen/AreaBuilder.h"
#include "convert/PixelFilters.h"
#include "convert/WideFilters.h"
#include "support/ReferenceConversion.h"

namespace wedmorph {
namespace {

using Area = std::vector<std::uint8_t>;

struct FillResult {
    Area destination;
    bool runsLeft;
};

FillResult fill(const Area& source, int width, int height) {
    FillResult result{source, false};
    result.runsLeft = fillKeyPixels(source.data(), result.destination.data(), width, height);
    return result;
}

Area trim(const Area& source, int width, int height) {
    Area destination = source;
    trimOverlayEdges(source.data(), destination.data(), width, height);
    return destination;
}

TEST(FillKeyPixels, RunsKeepOnlyTheirFirstFillAndColumnZeroLooksRight) {
    const Area source = {5, 0, 7, 8, 0, 3, 0, 0, 0, 0, 4, 6};
    const FillResult result = fill(source, 4, 3);
    EXPECT_EQ(result.destination, (Area{5, 5, 7, 8, 3, 3, 3, 0, 0, 0, 4, 6}));
    EXPECT_TRUE(result.runsLeft);
}

TEST(FillKeyPixels, LoneKeysAtTheEndsOfRowsAreAllFilled) {
    const Area source = {1, 2, 3, 0, 0, 5, 6, 7, 8, 0, 9, 0};
    const FillResult result = fill(source, 4, 3);
    EXPECT_EQ(result.destination, (Area{1, 2, 3, 3, 5, 5, 6, 7, 8, 8, 9, 9}));
    EXPECT_FALSE(result.runsLeft);
}

TEST(FillKeyPixels, NoKeyPixelsWritesNothing) {
    Area source(64 * 64, 7);
    Area destination(64 * 64, 9);  // differs from source: any write would show
    EXPECT_FALSE(fillKeyPixels(source.data(), destination.data(), 64, 64));
    EXPECT_EQ(destination, Area(64 * 64, 9));
}

TEST(FillKeyPixels, RowOfKeyPixelsStaysKeyed) {
    Area source(64 * 64, 3);
    std::fill_n(source.begin() + 64 * 10, 64, 0);
    const FillResult result = fill(source, 64, 64);
    EXPECT_TRUE(result.runsLeft);
    EXPECT_TRUE(std::all_of(result.destination.begin() + 640, result.destination.begin() + 704,
                            [](std::uint8_t p) { return p == 0; }));
}

TEST(FillKeyPixels, LoneKeyInColumnZeroTakesColumnOne) {
    Area source(64 * 64, 3);
    source[64 * 5] = 0;
    source[64 * 5 + 1] = 42;
    const FillResult result = fill(source, 64, 64);
    EXPECT_FALSE(result.runsLeft);
    EXPECT_EQ(result.destination[64 * 5], 42);
}

TEST(FillKeyPixels, NarrowAreasAreLeftAlone) {
    Area source = {0, 0, 0, 0};
    Area destination = {9, 9, 9, 9};
    EXPECT_FALSE(fillKeyPixels(source.data(), destination.data(), 1, 4));
    EXPECT_FALSE(fillKeyPixels(source.data(), destination.data(), 4, 1));
    EXPECT_FALSE(fillKeyPixels(source.data(), destination.data(), 0, 0));
    EXPECT_EQ(destination, (Area{9, 9, 9, 9}));
}

TEST(TrimOverlayEdges, EdgeRowsCountTheirRowAndInnerRowsAllFourNeighbours) {
    const Area source = {2, 0, 5, 6, 0, 3, 0, 0, 7, 8, 9, 0, 1, 2, 0, 3};
    EXPECT_EQ(trim(source, 4, 4), (Area{0, 0, 5, 6, 0, 0, 0, 0, 0, 8, 0, 0, 1, 2, 0, 0}));
}

Area block(int size, int at, int side) {
    Area area(static_cast<std::size_t>(size * size), 0);
    for (int r = at; r < at + side; ++r) {
        for (int c = at; c < at + side; ++c) area[static_cast<std::size_t>(r * size + c)] = 9;
    }
    return area;
}

TEST(TrimOverlayEdges, TwoByTwoBlockIsClearedEntirely) {
    EXPECT_EQ(trim(block(8, 3, 2), 8, 8), Area(64, 0));
}

TEST(TrimOverlayEdges, ThreeByThreeBlockKeepsAPlus) {
    Area expected = block(9, 3, 3);
    for (int corner : {3 * 9 + 3, 3 * 9 + 5, 5 * 9 + 3, 5 * 9 + 5}) expected[corner] = 0;
    EXPECT_EQ(trim(block(9, 3, 3), 9, 9), expected);
}

TEST(TrimOverlayEdges, OneKeyNeighbourKeepsAMiddlePixel) {
    Area source(5 * 5, 4);
    source[2 * 5 + 1] = 0;
    EXPECT_EQ(trim(source, 5, 5), source);
    source[1 * 5 + 2] = 0;
    Area expected = source;
    expected[2 * 5 + 2] = 0;
    expected[1 * 5 + 1] = 0;  // above-left pixel has the same two key neighbours
    EXPECT_EQ(trim(source, 5, 5), expected);
}

TEST(TrimOverlayEdges, KeyPixelsOfTheSourceAreNeverWritten) {
    Area source = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    Area destination = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    trimOverlayEdges(source.data(), destination.data(), 3, 3);
    EXPECT_EQ(destination, (Area{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

// Both filters give exactly what the rules give, pixel for pixel, on tiles of
// every density of key pixels, for full tiles and for shorter areas of tile width.
TEST(PixelFilters, MatchTheRulesOnRandomTiles) {
    // With the 32-pixel loops where the processor has them, then without.
    for (const bool wideVectors : {true, false}) {
        wide::allow(wideVectors);
        areagen::Random random(7);
        const int heights[] = {64, 2, 3, 17};
        for (int round = 0; round < 400; ++round) {
            const int keyPercent = round % 100;
            const int height = heights[round % 4];
            const std::size_t size = static_cast<std::size_t>(64 * height);
            Area source(size);
            for (std::uint8_t& pixel : source) {
                pixel = random.chance(keyPercent) ? 0 : static_cast<std::uint8_t>(1 + random.below(255));
            }
            Area start(size);
            for (std::uint8_t& pixel : start) pixel = static_cast<std::uint8_t>(random.next());

            Area got = start, want = start;
            const bool gotRuns = fillKeyPixels(source.data(), got.data(), 64, height);
            const bool wantRuns = test::referenceFillKeyPixels(source.data(), want.data(), 64, height);
            ASSERT_EQ(gotRuns, wantRuns) << "round " << round;
            ASSERT_EQ(got, want) << "round " << round;
            // In place, over a copy of the source, as the writer fills its tiles.
            got = source;
            want = source;
            ASSERT_EQ(fillKeyPixels(got.data(), got.data(), 64, height), wantRuns) << "round " << round;
            test::referenceFillKeyPixels(source.data(), want.data(), 64, height);
            ASSERT_EQ(got, want) << "round " << round;

            got = start;
            want = start;
            trimOverlayEdges(source.data(), got.data(), 64, height);
            test::referenceTrimOverlayEdges(source.data(), want.data(), 64, height);
            ASSERT_EQ(got, want) << "round " << round;
            // Copied and trimmed in one pass, as extra tiles are made.
            copyTrimmingOverlayEdges(source.data(), got.data(), 64, height);
            want = source;
            test::referenceTrimOverlayEdges(source.data(), want.data(), 64, height);
            ASSERT_EQ(got, want) << "round " << round;
        }
    }
    wide::allow(true);
}

}  // namespace
}  // namespace wedmorph
