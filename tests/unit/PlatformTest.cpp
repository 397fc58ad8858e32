// What the run expects of the platform on every system.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "platform/Platform.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace wedmorph {
namespace {

class Platform : public ::testing::Test {
protected:
    test::TempDir dir;
    wedmorph::Platform& platform = nativePlatform();
};

TEST_F(Platform, MappedFileFoundInAnyCaseShowsItsBytes) {
    test::writeText(dir / "a.wed", "abcdef");
    FileHandle file = platform.openInput(dir / "A.WED", InputUse::Read).file;
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(platform.statusOf(file)->size, 6u);
    const std::span<const std::uint8_t> view = *platform.mapFile(file);
    ASSERT_NE(view.data(), nullptr);
    EXPECT_EQ(std::string(view.begin(), view.end()), "abcdef");
    platform.unmapFile(view);
    platform.closeFile(file);
}

TEST_F(Platform, EmptyFileCannotBeMapped) {
    test::writeText(dir / "empty.tis", "");
    FileHandle file = platform.openInput(dir / "EMPTY.TIS", InputUse::Read).file;
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(platform.mapFile(file)->data(), nullptr);
    platform.closeFile(file);
}

// A file that one run holds cannot be replaced, emptied or deleted by
// another: the sharing modes on Windows, locks standing in for them elsewhere.
TEST_F(Platform, FilesHeldByOneRunAreNotWrittenByAnother) {
    test::writeText(dir / "in.tis", "input");
    test::writeText(dir / "out.wed", "output");
    FileHandle reading = platform.openInput(dir / "in.tis", InputUse::Read).file;
    FileHandle writing = platform.openForWriting(dir / "out.wed", WriteOpen::Existing).file;
    ASSERT_TRUE(reading.isOpen());
    ASSERT_TRUE(writing.isOpen());
    FileHandle alsoReading = platform.openInput(dir / "IN.TIS", InputUse::Read).file;
    EXPECT_TRUE(alsoReading.isOpen()) << "readers share";
    if (alsoReading.isOpen()) platform.closeFile(alsoReading);
    for (const char* held : {"in.tis", "out.wed"}) {
        FileHandle other = platform.openForWriting(dir / held, WriteOpen::Existing).file;
        EXPECT_FALSE(other.isOpen()) << held;
        if (other.isOpen()) platform.closeFile(other);
        // Either the second holder is refused, or so is its delete.
        FileHandle deleter = platform.openInput(dir / held, InputUse::ReadThenDelete).file;
        if (deleter.isOpen()) {
            EXPECT_FALSE(platform.deleteHeldFile(deleter, dir / held)) << held;
            platform.closeFile(deleter);
        }
    }
    platform.closeFile(reading);
    platform.closeFile(writing);
    EXPECT_EQ(test::readText(dir / "in.tis"), "input");
    EXPECT_EQ(test::readText(dir / "out.wed"), "output");
    FileHandle released = platform.openInput(dir / "in.tis", InputUse::ReadThenDelete).file;
    ASSERT_TRUE(released.isOpen());
    EXPECT_TRUE(platform.deleteHeldFile(released, dir / "in.tis")) << "released, it can go";
    platform.closeFile(released);
    EXPECT_FALSE(test::fileExists(dir / "in.tis"));
}

TEST_F(Platform, GatheredPiecesAreWrittenInTheirOrder) {
    // More pieces than one system call takes, of several lengths.
    std::vector<std::uint8_t> bytes(3000 * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<WritePiece> pieces;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = std::min<std::size_t>(1 + pieces.size() % 5, bytes.size() - at);
        pieces.emplace_back(bytes.data() + at, length);
        at += length;
    }
    bool exists = true;
    FileHandle file = *platform.createNew(dir / "out.tis", exists);
    ASSERT_TRUE(file.isOpen());
    EXPECT_FALSE(exists);
    std::size_t written = 0;
    EXPECT_TRUE(platform.writeFile(file, 0, pieces, written));
    EXPECT_EQ(written, bytes.size());
    platform.closeFile(file);
    EXPECT_EQ(test::readBytes(dir / "out.tis"), bytes);
}

TEST_F(Platform, PagesAreZeroedAndWritable) {
    const std::size_t bytes = std::size_t{3} << 20;
    auto* pages = static_cast<std::uint8_t*>(*platform.allocatePages(bytes));
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages[0], 0);
    EXPECT_EQ(pages[bytes - 1], 0);
    pages[bytes - 1] = 9;
    platform.releasePages(pages, bytes);
    // A size that cannot be rounded up to whole pages is no memory at all.
    EXPECT_FALSE(platform.allocatePages(std::numeric_limits<std::size_t>::max() - 100));
}

}  // namespace
}  // namespace wedmorph
