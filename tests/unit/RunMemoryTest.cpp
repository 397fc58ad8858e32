#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "driver/RunConversion.h"
#include "memory/RunMemory.h"
#include "support/Areas.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace wedmorph {
namespace {

TEST(RunMemory, SmallBlocksShareChunksAndAreAllGivenBack) {
    test::TestPlatform platform;
    {
        RunMemory memory(platform);
        std::vector<void*> tiles;
        for (int n = 0; n < 1000; ++n) {
            void* tile = memory.allocate(5120);
            ASSERT_NE(tile, nullptr);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(tile) % 64, 0u);
            std::memset(tile, n & 0xFF, 5120);
            tiles.push_back(tile);
        }
        EXPECT_EQ(std::set<void*>(tiles.begin(), tiles.end()).size(), tiles.size());
        for (int n = 0; n < 1000; ++n) {
            EXPECT_EQ(static_cast<std::uint8_t*>(tiles[static_cast<std::size_t>(n)])[5119], n & 0xFF);
        }
        // 1000 tiles of 5 KiB in chunks of 2 MiB: a handful of chunks.
        EXPECT_LE(platform.heldPages(), 4);
        EXPECT_GE(platform.heldPages(), 2);
        for (void* tile : tiles) memory.release(tile);
        EXPECT_LE(platform.heldPages(), 1);  // the chunk in use waits for the next block
    }
    EXPECT_EQ(platform.heldPages(), 0);
}

TEST(RunMemory, LargeBlockHasPagesOfItsOwn) {
    test::TestPlatform platform;
    RunMemory memory(platform);
    void* big = memory.allocate(8 << 20);
    ASSERT_NE(big, nullptr);
    std::memset(big, 7, 8 << 20);
    EXPECT_EQ(platform.heldPages(), 1);
    memory.release(big);
    EXPECT_EQ(platform.heldPages(), 0);
}

TEST(RunMemory, PagesRefusedMeansNoBlock) {
    test::TestPlatform platform;
    platform.failOn(test::Op::AllocatePages);
    RunMemory memory(platform);
    EXPECT_EQ(memory.allocate(5120), nullptr);
    EXPECT_EQ(memory.allocate(8 << 20), nullptr);
}

TEST(RunMemory, RunWithoutPagesEndsCleanly) {
    test::TempDir dir;
    const test::AreaFiles area = test::smallWaterArea(true);
    test::writeArea(dir.path(), "AR0100", area);
    // This small area's tileset, list and tile all come from the first chunk.
    test::TestPlatform platform;
    platform.failOn(test::Op::AllocatePages, 1);
    EXPECT_EQ(runConversion({dir / "wedmorph", "-s", "-d", "AR0100", "AR2600"}, platform), -1);
    EXPECT_EQ(platform.console(), "\nError :\t Not enough memory\n\n\n");
    EXPECT_TRUE(platform.nothingOpen());
    EXPECT_EQ(test::readBytes(dir / "AR0100.tis"), area.tis);
}

}  // namespace
}  // namespace wedmorph
