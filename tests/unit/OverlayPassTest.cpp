#include <gtest/gtest.h>

#include <cstring>

#include "convert/OverlayPass.h"
#include "formats/LittleEndian.h"
#include "support/Areas.h"
#include "support/PassRun.h"
#include "support/ReferenceConversion.h"

namespace wedmorph {
namespace {

using test::AreaFiles;
using test::oneOverlayPlan;
using test::PassRun;

void expectEntry(const WedTilemapEntry& entry, int frames, int secondary, int mask) {
    EXPECT_EQ(entry.frameCount, frames);
    EXPECT_EQ(entry.secondaryTile, secondary);
    EXPECT_EQ(entry.overlayMask, mask);
}

TEST(OverlayPass, KeyedCellsAreFilledAndGetATrimmedCopyAfterTheKeptTiles) {
    PassRun run(test::smallWaterArea(false));
    EXPECT_EQ(run.census.basicTiles, 4);
    EXPECT_EQ(run.census.doorExtraTiles, 1);
    EXPECT_EQ(run.census.overlayedDoorTiles, 1);
    EXPECT_EQ(run.tileset.copiedTileCount(), 5);
    ASSERT_EQ(run.outcome, PassOutcome::Done);
    EXPECT_EQ(run.tileset.nextTileIndex(), 6);
    ASSERT_EQ(run.tileset.extraTileCount(), 1);

    expectEntry(run.entry(0), 1, -1, 0);
    expectEntry(run.entry(1), 1, 5, 2);
    expectEntry(run.entry(2), 1, -1, 0);
    expectEntry(run.entry(3), 1, 4, 0);

    // Tiles 1 and 4 keep runs of key pixels: hole colour. Tile 3 is filled
    // whole and keeps the key colour. Tiles 0 and 2 are copied unchanged.
    const std::uint8_t hole[4] = {0x61, 0x42, 0x29, 0x7F};
    const std::uint8_t key[4] = {0x00, 0xFF, 0x00, 0x7F};
    EXPECT_EQ(std::memcmp(run.outputTile(1).data(), hole, 4), 0);
    EXPECT_EQ(std::memcmp(run.outputTile(3).data(), key, 4), 0);
    EXPECT_EQ(std::memcmp(run.outputTile(4).data(), hole, 4), 0);
    EXPECT_EQ(std::memcmp(run.outputTile(0).data(), run.inputTile(0), 5120), 0);
    EXPECT_EQ(std::memcmp(run.outputTile(2).data(), run.inputTile(2), 5120), 0);
    for (int t : {1, 3, 4}) {
        std::vector<std::uint8_t> filled(run.inputTile(t) + 1024, run.inputTile(t) + 5120);
        test::referenceFillKeyPixels(run.inputTile(t) + 1024, filled.data(), 64, 64);
        EXPECT_EQ(std::memcmp(run.outputTile(t).data() + 1024, filled.data(), 4096), 0) << t;
    }

    // The extra tile is input tile 1 with its palette, key colour included, and trimmed pixels.
    const std::vector<std::uint8_t> extraTile = run.outputTile(run.tileset.copiedTileCount());
    const std::uint8_t* extra = extraTile.data();
    EXPECT_EQ(std::memcmp(extra, run.inputTile(1), 1024), 0);
    std::vector<std::uint8_t> trimmed(run.inputTile(1) + 1024, run.inputTile(1) + 5120);
    test::referenceTrimOverlayEdges(run.inputTile(1) + 1024, trimmed.data(), 64, 64);
    EXPECT_EQ(std::memcmp(extra + 1024, trimmed.data(), 4096), 0);

    EXPECT_EQ(run.progress,
              "\rTiles processed:    1 of 4\rTiles processed:    2 of 4"
              "\rTiles processed:    3 of 4\rTiles processed:    4 of 4");
}

TEST(OverlayPass, InputIsNeverChanged) {
    const AreaFiles files = test::smallWaterArea(true);
    PassRun run(files);
    EXPECT_EQ(run.in.wed, files.wed);
    EXPECT_EQ(run.in.tis, files.tis);
}

TEST(OverlayPass, SilentPassPrintsNothing) {
    PassRun run(test::smallWaterArea(false), true);
    EXPECT_EQ(run.progress, "");
    EXPECT_EQ(run.tileset.extraTileCount(), 1);
}

TEST(OverlayPass, CellOfTwoOverlaysIsLeftAlone) {
    areagen::WedPlan plan = oneOverlayPlan(1, 1);
    plan.overlays[2] = {1, 1, "WTOTHER"};
    plan.cells[0].overlayMask = 6;
    PassRun run({areagen::buildWed(plan), areagen::buildTis({test::keyedTile(1, true)}, false)});
    expectEntry(run.entry(0), 1, -1, 6);
    EXPECT_EQ(run.tileset.extraTileCount(), 0);
    EXPECT_EQ(std::memcmp(run.outputTile(0).data(), run.inputTile(0), 5120), 0);
    // Two visited overlays: the progress line counts to 1 twice.
    EXPECT_EQ(run.progress, "\rTiles processed:    1 of 1\rTiles processed:    1 of 1");
}

TEST(OverlayPass, NoVisitedOverlayStillFillsDoorTiles) {
    areagen::WedPlan plan = oneOverlayPlan(1, 1);
    plan.overlays[1] = {0, 3, ""};
    plan.cells[0] = {1, 1, 2};
    PassRun run({areagen::buildWed(plan),
                 areagen::buildTis({test::keyedTile(1, true), test::keyedTile(2, true)}, false)});
    EXPECT_EQ(run.progress, "");
    expectEntry(run.entry(0), 1, 1, 2);
    EXPECT_EQ(std::memcmp(run.outputTile(0).data(), run.inputTile(0), 5120), 0);
    EXPECT_EQ(run.outputTile(1).data()[0], 0x61);  // the door tile is filled, with holes
}

TEST(OverlayPass, IndicesPastTheTileMapAreCountedButSkipped) {
    // An animated cell makes basicTiles 1 + 3 = 4 while the tile map has one
    // entry; the four tiles are all keyed and marked cells would be converted.
    areagen::WedPlan plan = oneOverlayPlan(1, 1);
    plan.cells[0] = {3, -1, 2};
    std::vector<areagen::Tile> tiles;
    for (int t = 0; t < 4; ++t) tiles.push_back(test::keyedTile(static_cast<std::uint64_t>(t), true));
    PassRun run({areagen::buildWed(plan), areagen::buildTis(tiles, false)});
    EXPECT_EQ(run.census.basicTiles, 4);
    EXPECT_EQ(run.tileset.extraTileCount(), 1);
    expectEntry(run.entry(0), 3, 4, 2);
    EXPECT_EQ(run.outWed.size(), run.in.wed.size());
    for (int t = 1; t < 4; ++t) EXPECT_EQ(std::memcmp(run.outputTile(t).data(), run.inputTile(t), 5120), 0);
    EXPECT_EQ(run.progress,
              "\rTiles processed:    1 of 4\rTiles processed:    2 of 4"
              "\rTiles processed:    3 of 4\rTiles processed:    4 of 4");
}

TEST(OverlayPass, CellsWithoutACopiedTileAreSkipped) {
    areagen::WedPlan plan = oneOverlayPlan(3, 1);
    for (auto& cell : plan.cells) cell.overlayMask = 2;
    // Only one whole tile in the file.
    PassRun run({areagen::buildWed(plan), areagen::buildTis({test::keyedTile(1, true)}, false)});
    EXPECT_EQ(run.tileset.copiedTileCount(), 1);
    EXPECT_EQ(run.tileset.extraTileCount(), 1);
    expectEntry(run.entry(0), 1, 1, 2);
    expectEntry(run.entry(1), 1, -1, 2);
    expectEntry(run.entry(2), 1, -1, 2);
}

TEST(OverlayPass, ExtraTilesAreNumberedInVisitOrder) {
    areagen::WedPlan plan = oneOverlayPlan(3, 1);
    plan.overlays[3] = {2, 2, "WTLAVA"};
    plan.cells[0].overlayMask = 8;  // overlay 3: visited after overlay 1
    plan.cells[1].overlayMask = 2;
    plan.cells[2].overlayMask = 2;
    std::vector<areagen::Tile> tiles = {test::keyedTile(1, false), test::keyedTile(2, false),
                                        test::keyedTile(3, false)};
    PassRun run({areagen::buildWed(plan), areagen::buildTis(tiles, false)});
    EXPECT_EQ(run.entry(1).secondaryTile, 3);
    EXPECT_EQ(run.entry(2).secondaryTile, 4);
    EXPECT_EQ(run.entry(0).secondaryTile, 5);
    EXPECT_EQ(run.tileset.nextTileIndex(), 6);
}

TEST(OverlayPass, SurplusTilesAreDropped) {
    areagen::WedPlan plan = oneOverlayPlan(1, 1);
    std::vector<areagen::Tile> tiles(4, test::plainTile(1));
    PassRun run({areagen::buildWed(plan), areagen::buildTis(tiles, true)});
    EXPECT_EQ(run.tileset.copiedTileCount(), 1);
}

TEST(OverlayPass, TilesNamedPastTheCountedOnesAreKept) {
    // Cell 0 is keyed water; cells 1 and 2 share door tile `door`, and cell 1's
    // lookup entry names tile `looked`. The new overlay tile comes after the
    // last tile kept, which the door-tile pass fills when keyed.
    struct Case {
        std::int16_t door;
        std::uint16_t looked;
        std::size_t tilesInFile;
        std::int32_t copied;
    } const cases[] = {{7, 1, 9, 8}, {-1, 320, 330, 321}, {-1, 400, 330, 330}};
    for (const Case& c : cases) {
        areagen::WedPlan plan = oneOverlayPlan(3, 1);
        plan.cells[0].overlayMask = 2;
        plan.cells[1].secondaryTile = plan.cells[2].secondaryTile = c.door;
        std::vector<std::uint8_t> wed = areagen::buildWed(plan);
        writeU16(wed, readU32(wed, 32 + 20) + 2, c.looked);
        std::vector<areagen::Tile> tiles(c.tilesInFile, test::plainTile(1));
        tiles[0] = test::keyedTile(2, false);
        tiles[static_cast<std::size_t>(c.copied) - 1] = test::keyedTile(3, true);
        PassRun run({wed, areagen::buildTis(tiles, false)});
        EXPECT_EQ(run.tileset.copiedTileCount(), c.copied) << c.looked;
        EXPECT_EQ(run.entry(0).secondaryTile, c.copied) << c.looked;
        EXPECT_EQ(run.tileset.nextTileIndex(), c.copied + 1) << c.looked;
        EXPECT_EQ(run.outputTile(c.copied - 1)[0], 0x61) << c.looked;
        EXPECT_EQ(run.outputTis(), test::referenceConversion(run.in.wed, run.in.tis, "AR0100", false).tis);
    }
}

TEST(OverlayPass, EveryFailedAllocationEndsThePassAndIsAccountedFor) {
    // The pass over these cells allocates the marks, the list of extra tiles and the scratch.
    for (int failing = 1; failing <= 3; ++failing) {
        test::TestMemory memory;
        {
            PassRun run(test::smallWaterArea(false), true, failing, -1, &memory);
            ASSERT_NE(run.outcome, PassOutcome::Done) << failing;
            EXPECT_EQ(run.outcome, PassOutcome::NoMemory) << failing;
        }
        EXPECT_EQ(memory.held(), 0) << failing;
    }
}

TEST(OverlayPass, TileIndexNeverWrapsPast32767) {
    areagen::WedPlan plan = oneOverlayPlan(2, 1);
    plan.cells[0].overlayMask = 2;
    plan.cells[1].overlayMask = 2;
    std::vector<areagen::Tile> tiles = {test::keyedTile(1, false), test::keyedTile(2, false)};
    // As if 32,767 tiles had been copied: the first extra tile takes the last
    // index there is, the second has none.
    PassRun run({areagen::buildWed(plan), areagen::buildTis(tiles, false)}, true, 0, 32767);
    ASSERT_NE(run.outcome, PassOutcome::Done);
    EXPECT_EQ(run.outcome, PassOutcome::TooManyTiles);
    EXPECT_EQ(run.entry(0).secondaryTile, 32767);
    EXPECT_EQ(run.entry(1).secondaryTile, -1);
    EXPECT_EQ(run.tileset.extraTileCount(), 1);
}

}  // namespace
}  // namespace wedmorph
