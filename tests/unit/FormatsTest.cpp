#include <gtest/gtest.h>

#include "areagen/AreaBuilder.h"
#include "formats/LittleEndian.h"
#include "formats/Tis.h"
#include "formats/Wed.h"

namespace wedmorph {
namespace {

using areagen::CellPlan;
using areagen::WedPlan;

WedPlan gridPlan(int width, int height) {
    WedPlan plan;
    plan.overlays[0] = {static_cast<std::int16_t>(width), static_cast<std::int16_t>(height), "AR0100"};
    plan.cells.assign(static_cast<std::size_t>(width * height), CellPlan{});
    return plan;
}

TileCensus censusOf(const std::vector<std::uint8_t>& bytes) {
    const WedImage image{bytes};
    const auto layout = checkWedLayout(image);
    EXPECT_TRUE(layout.has_value());
    return layout ? takeTileCensus(image, *layout) : TileCensus{};
}

TEST(TileCensus, AnimatedCellAddsItsWholeFrameCount) {
    WedPlan plan = gridPlan(4, 4);
    plan.cells[5].frameCount = 3;
    const TileCensus census = censusOf(areagen::buildWed(plan));
    EXPECT_EQ(census.basicTiles, 19);
    EXPECT_EQ(census.animationExtraTiles, 3);
}

TEST(TileCensus, FrameCountsOfZeroAndOneAddNothing) {
    WedPlan plan = gridPlan(2, 1);
    plan.cells[0].frameCount = 0;
    const TileCensus census = censusOf(areagen::buildWed(plan));
    EXPECT_EQ(census.basicTiles, 2);
    EXPECT_EQ(census.animationExtraTiles, 0);
}

TEST(TileCensus, DoorsAreSecondaryTilesAboveZero) {
    WedPlan plan = gridPlan(4, 1);
    plan.cells[0].secondaryTile = -1;
    plan.cells[1].secondaryTile = 0;
    plan.cells[2].secondaryTile = 5;
    plan.cells[2].overlayMask = 2;
    plan.cells[3].secondaryTile = 7;
    const TileCensus census = censusOf(areagen::buildWed(plan));
    EXPECT_EQ(census.doorExtraTiles, 2);
    EXPECT_EQ(census.overlayedDoorTiles, 1);
}

TEST(TileCensus, EmptyBaseLayerCountsNothing) {
    for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}}) {
        const TileCensus census = censusOf(areagen::buildWed(gridPlan(w, h)));
        EXPECT_EQ(census.basicTiles, 0);
        EXPECT_EQ(census.doorExtraTiles, 0);
        EXPECT_EQ(census.animationExtraTiles, 0);
        EXPECT_EQ(census.overlayedDoorTiles, 0);
    }
}

TEST(TileCensus, HighestLookupTileIsTheHighestThatTheCellsFramesName) {
    // Cell 0 is animated over entries 0 to 99 (tiles 0 and 2 to 100), cell 1
    // has entry 100 (tile 1); a wall group, two entries long, ends the file.
    WedPlan plan = gridPlan(2, 1);
    plan.cells[0].frameCount = 100;
    const std::vector<std::uint8_t> built = areagen::buildWed(plan);
    const std::size_t cell0 = readU32(built, 48), cell1 = cell0 + 10, lookup = readU32(built, 52);
    const std::size_t end = built.size();
    using Patch = std::vector<std::pair<std::size_t, std::uint16_t>>;
    const std::pair<Patch, std::int32_t> cases[] = {
        {{}, 100},
        {{{cell0 + 2, 0}}, 1},
        {{{cell0 + 2, 60}, {lookup + 120, 5000}}, 60},
        {{{cell0 + 2, 60}, {lookup + 120, 5000}, {cell1, 59}, {cell1 + 2, 2}}, 5000},
        {{{cell0 + 2, 0}, {cell1, static_cast<std::uint16_t>((end - lookup) / 2)}}, -1},
        {{{cell0 + 2, 0}, {cell1, static_cast<std::uint16_t>((end - lookup) / 2 - 1)}, {end - 2, 777}}, 777},
        {{{32 + 20, 0}, {32 + 22, 0}}, -1},
    };
    for (const auto& [patch, highest] : cases) {
        std::vector<std::uint8_t> bytes = built;
        for (const auto& [at, value] : patch) writeU16(bytes, at, value);
        EXPECT_EQ(censusOf(bytes).highestLookupTile, highest) << patch.size() << " changes";
    }
}

TEST(WedVersion, IsCutAtTheFirstZeroByte) {
    std::vector<std::uint8_t> bytes = areagen::buildWed(gridPlan(1, 1));
    EXPECT_EQ(readWedVersion(WedImage{bytes}), "V1.3");
    bytes[6] = 0;
    EXPECT_EQ(readWedVersion(WedImage{bytes}), "V1");
}

TEST(WedLayoutCheck, RefusesWhatWouldBeReadPastTheEnd) {
    const std::vector<std::uint8_t> good = areagen::buildWed(gridPlan(3, 2));
    ASSERT_TRUE(checkWedLayout(WedImage{good}).has_value());

    std::vector<std::uint8_t> shortHeader(good.begin(), good.begin() + 19);
    EXPECT_FALSE(checkWedLayout(WedImage{shortHeader}));

    std::vector<std::uint8_t> tableOut = good;
    writeU32(tableOut, 16, static_cast<std::uint32_t>(good.size() - 5 * 24 + 1));
    EXPECT_FALSE(checkWedLayout(WedImage{tableOut}));

    std::vector<std::uint8_t> hugeOffset = good;
    writeU32(hugeOffset, 16, 0xFFFFFFF0u);
    EXPECT_FALSE(checkWedLayout(WedImage{hugeOffset}));

    std::vector<std::uint8_t> negative = good;
    writeU16(negative, 32, 0xFFFF);  // overlay 0's width: -1
    EXPECT_FALSE(checkWedLayout(WedImage{negative}));

    std::vector<std::uint8_t> cutTilemap = good;
    const std::uint32_t tilemap = readU32(good, 32 + 16);
    cutTilemap.resize(tilemap + 10 * 6 - 1);
    EXPECT_FALSE(checkWedLayout(WedImage{cutTilemap}));

    for (const char* signature : {"wed ", "WED\0", "\0\0\0\0"}) {
        std::vector<std::uint8_t> unsigned_ = good;
        std::copy_n(signature, 4, unsigned_.begin());
        EXPECT_FALSE(checkWedLayout(WedImage{unsigned_})) << signature;
    }
}

TEST(WedLayoutCheck, RefusesCountsThatOverflow32Bits) {
    WedPlan plan = gridPlan(256, 256);
    for (CellPlan& cell : plan.cells) cell.frameCount = 32767;
    plan.withTileLookup = false;
    const std::vector<std::uint8_t> bytes = areagen::buildWed(plan);
    EXPECT_FALSE(checkWedLayout(WedImage{bytes}));
}

TEST(WedPatch, TilesetNameIsZeroFilledOrFull) {
    std::vector<std::uint8_t> bytes = areagen::buildWed(gridPlan(1, 1));
    const auto layout = *checkWedLayout(WedImage{bytes});
    WritableWedImage image{bytes};
    writeTilesetName(image, layout, "AR6700");
    auto name = readOverlay(image, layout, 0).tilesetName;
    EXPECT_EQ(std::string(name.begin(), name.end()), std::string("AR6700\0\0", 8));
    writeTilesetName(image, layout, "AR670012");
    name = readOverlay(image, layout, 0).tilesetName;
    EXPECT_EQ(std::string(name.begin(), name.end()), "AR670012");
}

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// A TIS of `size` bytes whose header gives the tile length and the offset of tile 0.
std::vector<std::uint8_t> withHeader(std::size_t size, std::uint32_t dataOffset = 24,
                                     std::uint32_t tileLength = 5120) {
    std::vector<std::uint8_t> bytes(size, 0);
    std::copy_n("TIS V1  ", 8, bytes.begin());
    writeU32(bytes, 12, tileLength);
    writeU32(bytes, 16, dataOffset);
    return bytes;
}

TisSource readValid(const std::vector<std::uint8_t>& bytes) {
    const TisReading reading = readTisSource(bytes);
    EXPECT_EQ(reading.check, TisCheck::Valid);
    return reading.source;
}

TEST(TisRecognition, OnlyTheFirstThreeBytesDecide) {
    std::vector<std::uint8_t> withX = withHeader(24 + 5120);
    withX[3] = 'X';
    TisSource source = readValid(withX);
    EXPECT_TRUE(source.hasHeader);
    EXPECT_EQ(source.versionText, "V1  ");
    EXPECT_EQ(source.firstTile, 24u);
    EXPECT_EQ(source.tilesInFile, 1u);

    for (const std::string start : {"tis ", "TIZ "}) {
        std::vector<std::uint8_t> bare(2 * 5120, 1);
        std::copy(start.begin(), start.end(), bare.begin());
        source = readValid(bare);
        EXPECT_FALSE(source.hasHeader) << start;
        EXPECT_EQ(source.firstTile, 0u);
        EXPECT_EQ(source.tilesInFile, 2u);
    }
}

TEST(TisRecognition, TinyFilesHoldNoTile) {
    const TisSource source = readValid(bytesOf("TI"));
    EXPECT_FALSE(source.hasHeader);
    EXPECT_EQ(source.tilesInFile, 0u);
}

TEST(TisRecognition, DataOffsetPlacesTileZeroAndCountIsIgnored) {
    std::vector<std::uint8_t> bytes = withHeader(32 + 2 * 5120, 32);
    writeU32(bytes, 8, 99);
    const TisSource source = readValid(bytes);
    EXPECT_EQ(source.firstTile, 32u);
    EXPECT_EQ(source.tilesInFile, 2u);
}

TEST(TisRecognition, RemainderAndCutLastTileAreDropped) {
    std::vector<std::uint8_t> bare(3 * 5120 + 100, 1);
    EXPECT_EQ(readValid(bare).tilesInFile, 3u);

    std::vector<std::uint8_t> headed = withHeader(24 + 2 * 5120);
    EXPECT_EQ(readValid(headed).tilesInFile, 2u);
    // 51,224 bytes: a header and ten tiles.
    headed.resize(51224);
    EXPECT_EQ(readValid(headed).tilesInFile, 10u);
    // A header that pushes the last tile past the end loses that tile.
    writeU32(headed, 16, 100);
    EXPECT_EQ(readValid(headed).tilesInFile, 9u);
}

TEST(TisRecognition, RefusesAHeaderThatCannotBeOne) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        TisCheck check;
    };
    std::vector<std::uint8_t> pastEnd = withHeader(24 + 5120);
    writeU32(pastEnd, 16, static_cast<std::uint32_t>(pastEnd.size() + 1));
    // Tiles as texture page references: 9,600 of 12 bytes.
    const std::vector<Case> cases = {
        {bytesOf("TIS V1  "), TisCheck::Invalid},
        {pastEnd, TisCheck::Invalid},
        {withHeader(24 + 9600 * 12, 24, 12), TisCheck::PvrzTiles},
        {withHeader(24 + 5120, 24, 0), TisCheck::Invalid},
        {withHeader(24 + 5120, 24, 4096), TisCheck::Invalid},
        // A bare tile whose palette happens to begin "TIS": entry 3 is no tile length.
        {[] { auto b = std::vector<std::uint8_t>(5120, 7); std::copy_n("TIS", 3, b.begin()); return b; }(),
         TisCheck::Invalid},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readTisSource(c.bytes).check, c.check) << c.bytes.size() << " bytes";
    }
    std::vector<std::uint8_t> atEnd = withHeader(24 + 5120);
    writeU32(atEnd, 16, static_cast<std::uint32_t>(atEnd.size()));
    EXPECT_EQ(readValid(atEnd).tilesInFile, 0u);
}

TEST(TisColours, KeyColourIgnoresTheFourthByte) {
    std::uint8_t entry[4] = {0x00, 0xFF, 0x00, 0x7F};
    EXPECT_TRUE(isKeyColour(entry));
    std::uint8_t off1[4] = {0x01, 0xFF, 0x00, 0x00};
    std::uint8_t off2[4] = {0x00, 0xFE, 0x00, 0x00};
    std::uint8_t off3[4] = {0x00, 0xFF, 0x01, 0x00};
    EXPECT_FALSE(isKeyColour(off1));
    EXPECT_FALSE(isKeyColour(off2));
    EXPECT_FALSE(isKeyColour(off3));
}

TEST(TisColours, HoleColourKeepsTheFourthByte) {
    std::uint8_t entry[8] = {0x00, 0xFF, 0x00, 0x7F, 1, 2, 3, 4};
    applyHoleColour(entry);
    const std::uint8_t expected[8] = {0x61, 0x42, 0x29, 0x7F, 1, 2, 3, 4};
    EXPECT_TRUE(std::equal(entry, entry + 8, expected));
}

TEST(TisHeaderBytes, ThreeTiles) {
    const TisHeader header = makeTisHeader(3);
    const TisHeader expected = {0x54, 0x49, 0x53, 0x20, 0x56, 0x31, 0x20, 0x20, 0x03, 0x00, 0x00, 0x00,
                                0x00, 0x14, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00};
    EXPECT_EQ(header, expected);
}

}  // namespace
}  // namespace wedmorph
