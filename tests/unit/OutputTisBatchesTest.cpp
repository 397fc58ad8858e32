#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "output/OutputTisBatches.h"
#include "support/Areas.h"
#include "support/PassRun.h"
#include "support/ReferenceConversion.h"

namespace wedmorph {
namespace {

using test::oneOverlayPlan;
using test::PassRun;

TEST(OutputTisBatches, HandOutTheFileInBatchesThatTheScratchAndThePiecesBound) {
    // 900 keyed water cells among 1,200: 1,800 tiles to make, many batches'
    // room and enough for a thread of their own.
    areagen::WedPlan plan = oneOverlayPlan(1200, 1);
    std::vector<areagen::Tile> tiles;
    for (std::size_t k = 0; k < 1200; ++k) {
        plan.cells[k].overlayMask = 2;
        tiles.push_back(k % 4 != 0 ? test::keyedTile(k, true) : test::plainTile(k));
    }
    PassRun run({areagen::buildWed(plan), areagen::buildTis(tiles, true)}, true);
    const auto expected = test::referenceConversion(run.in.wed, run.in.tis, "AR0100", true).tis;
    const std::uint8_t* input = run.in.tis.data();
    // Made alongside the writes (on a thread of their own) and in turn, as where no thread can be had.
    for (const auto& [room, making] : {std::pair{1024u, TileMaking::Alongside}, {3u, TileMaking::Alongside},
                                       {1u, TileMaking::Alongside}, {1024u, TileMaking::InTurn},
                                       {3u, TileMaking::InTurn}}) {
        OutputTisBatches batches(run.tileset, run.tiles(), true, room, making);
        std::vector<std::uint8_t> bytes;
        for (std::span<const WritePiece> pieces; !(pieces = batches.nextBatch()).empty();) {
            const std::size_t count = pieces.size();
            std::size_t made = 0;  // bytes from outside the input: the header and the made tiles
            for (std::size_t p = 0; p < count; ++p) {
                EXPECT_TRUE(p == 0 || pieces[p - 1].data() + pieces[p - 1].size() != pieces[p].data());
                const std::uint8_t* at = pieces[p].data();
                if (std::less<>{}(at, input) || !std::less<>{}(at, input + run.in.tis.size())) made += pieces[p].size();
                bytes.insert(bytes.end(), pieces[p].begin(), pieces[p].end());
            }
            const std::size_t batchRoom = making == TileMaking::Alongside ? kScratchTiles : kTilesMadeInTurn;
            EXPECT_LE(made / 5120, batchRoom) << room;
            // A batch ends for want of pieces or of scratch, or with the file.
            EXPECT_TRUE(count == room || made / 5120 == batchRoom || bytes.size() >= expected.size()) << room;
        }
        EXPECT_EQ(bytes, expected) << room;
    }
    // As a failed write leaves it: the second batch still being made when the writer goes.
    OutputTisBatches abandoned(run.tileset, run.tiles(), true);
    EXPECT_FALSE(abandoned.nextBatch().empty());
}

}  // namespace
}  // namespace wedmorph
