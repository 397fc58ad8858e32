// What the run expects of the platform on every system.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "support/TempDir.h"

namespace wedmorph {
namespace {

class Platform : public ::testing::Test {
protected:
    test::TempDir dir;
    wedmorph::Platform& platform = nativePlatform();
};

TEST_F(Platform, WritableViewChangesTheFileFoundInAnyCase) {
    test::writeText(dir / "a.wed", "abcdef");
    FileHandle file = platform.openForUpdate(dir / "A.WED", {});
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(platform.fileSize(file), 6u);
    MappingHandle mapping = platform.createMapping(file, Access::ReadWrite);
    std::uint8_t* view = platform.mapView(mapping, Access::ReadWrite);
    ASSERT_NE(view, nullptr);
    view[2] = 'X';
    platform.unmapView(view);
    platform.closeMapping(mapping);
    platform.closeFile(file);
    EXPECT_EQ(test::readText(dir / "a.wed"), "abXdef");
}

TEST_F(Platform, EmptyFileCannotBeMapped) {
    test::writeText(dir / "empty.tis", "");
    FileHandle file = platform.openForReading(dir / "EMPTY.TIS");
    ASSERT_TRUE(file.isOpen());
    EXPECT_FALSE(platform.createMapping(file, Access::ReadOnly).isOpen());
    platform.closeFile(file);
}

// A file that one run holds cannot be replaced, emptied or deleted by
// another: the sharing modes on Windows, locks standing in for them elsewhere.
TEST_F(Platform, FilesHeldByOneRunAreNotWrittenByAnother) {
    test::writeText(dir / "in.tis", "input");
    test::writeText(dir / "out.wed", "output");
    test::writeText(dir / "other.bmp", "other");
    FileHandle reading = platform.openForReading(dir / "in.tis");
    FileHandle updating = platform.openForUpdate(dir / "out.wed", {});
    ASSERT_TRUE(reading.isOpen());
    ASSERT_TRUE(updating.isOpen());
    FileHandle alsoReading = platform.openForReading(dir / "IN.TIS");
    EXPECT_TRUE(alsoReading.isOpen()) << "readers share";
    if (alsoReading.isOpen()) platform.closeFile(alsoReading);
    for (const char* held : {"in.tis", "out.wed"}) {
        EXPECT_FALSE(platform.copyFile(dir / "other.bmp", dir / held, {}).known) << held;
        EXPECT_FALSE(platform.deleteFile(dir / held)) << held;
    }
    EXPECT_FALSE(platform.createForWriting(dir / "in.tis", {}).isOpen());
    platform.closeFile(reading);
    platform.closeFile(updating);
    EXPECT_EQ(test::readText(dir / "in.tis"), "input");
    EXPECT_EQ(test::readText(dir / "out.wed"), "output");
    EXPECT_TRUE(platform.deleteFile(dir / "in.tis")) << "released, it can go";
}

TEST_F(Platform, GatheredPiecesAreWrittenInTheirOrder) {
    // More pieces than one system call takes, of several lengths.
    std::vector<std::uint8_t> bytes(3000 * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<WritePiece> pieces;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = std::min<std::size_t>(1 + pieces.size() % 5, bytes.size() - at);
        pieces.push_back({bytes.data() + at, length});
        at += length;
    }
    FileHandle file = platform.createForWriting(dir / "out.tis", {});
    ASSERT_TRUE(file.isOpen());
    std::size_t written = 0;
    EXPECT_TRUE(platform.writeFile(file, pieces, written));
    EXPECT_EQ(written, bytes.size());
    platform.closeFile(file);
    EXPECT_EQ(test::readBytes(dir / "out.tis"), bytes);
}

TEST_F(Platform, PagesAreZeroedAndWritable) {
    const std::size_t bytes = std::size_t{3} << 20;
    auto* pages = static_cast<std::uint8_t*>(platform.allocatePages(bytes));
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages[0], 0);
    EXPECT_EQ(pages[bytes - 1], 0);
    pages[bytes - 1] = 9;
    platform.releasePages(pages, bytes);
}

}  // namespace
}  // namespace wedmorph
