#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <vector>

#include "output/OutputTisBatches.h"
#include "support/Areas.h"
#include "support/PassRun.h"
#include "support/ReferenceConversion.h"

namespace wedmorph {
namespace {

using test::oneOverlayPlan;
using test::PassRun;

TEST(OutputTisBatches, HandOutTheFileInBatchesOfWholePieces) {
    // 900 keyed water cells among 1,200 under two overlays, whose extra tiles
    // interleave by source: 1,800 tiles to make, many batches' room.
    areagen::WedPlan plan = oneOverlayPlan(1200, 1);
    plan.overlays[2] = {1, 1, "WTWAV2"};
    std::vector<areagen::Tile> tiles;
    for (std::size_t k = 0; k < 1200; ++k) {
        plan.cells[k].overlayMask = k % 3 == 0 ? 4 : 2;
        tiles.push_back(k % 4 != 0 ? test::keyedTile(k, true) : test::plainTile(k));
    }
    PassRun run({areagen::buildWed(plan), areagen::buildTis(tiles, true)}, true);
    const auto expected = test::referenceConversion(run.in.wed, run.in.tis, "AR0100", true).tis;
    int reads = 0;
    int failAt = 0;  // the read that fails
    const InputReader read = [&](std::uint64_t offset, std::span<std::uint8_t> into) {
        if (++reads == failAt || offset + into.size() > run.in.tis.size()) return false;
        std::copy_n(run.in.tis.begin() + static_cast<std::ptrdiff_t>(offset), into.size(), into.begin());
        return true;
    };
    for (const unsigned room : {1024u, 3u, 1u}) {
        std::vector<std::uint8_t> bytes(expected.begin(), expected.begin() + 24);  // the header goes last
        bytes.resize(expected.size());
        std::vector<int> times(expected.size());  // how often each byte is written
        for (const TisPart part : {TisPart::CopiedTiles, TisPart::ExtraTiles}) {
            OutputTisBatches batches(run.tileset, part, run.source.firstTile, read, true, room);
            for (;;) {
                const auto writes = batches.nextBatch();
                ASSERT_TRUE(writes) << room;
                if (writes->empty()) break;
                for (const OutputWrite& write : *writes) {
                    ASSERT_EQ(write.pieces.size(), 1u);
                    const WritePiece piece = write.pieces.front();
                    EXPECT_LE(piece.size(), std::min(room, 128u) * 5120) << room;
                    const auto at = static_cast<std::size_t>(write.offset);
                    ASSERT_LE(at + piece.size(), bytes.size()) << room;
                    std::copy(piece.begin(), piece.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
                    for (std::size_t b = at; b < at + piece.size(); ++b) ++times[b];
                }
            }
        }
        EXPECT_EQ(bytes, expected) << room;
        EXPECT_TRUE(std::all_of(times.begin() + 24, times.end(), [](int n) { return n == 1; })) << room;
    }
    // An input that cannot be read ends the part, whichever batch it falls in.
    failAt = 3;
    for (const TisPart part : {TisPart::CopiedTiles, TisPart::ExtraTiles}) {
        reads = 0;
        OutputTisBatches failing(run.tileset, part, run.source.firstTile, read, true, 5);
        std::optional<std::span<const OutputWrite>> writes;
        while ((writes = failing.nextBatch()) && !writes->empty()) {
        }
        EXPECT_FALSE(writes);
    }
}

}  // namespace
}  // namespace wedmorph
