// The POSIX platform behaves as Windows does for area files: names found
// without regard to case, dot files hidden, wildcards in the file search, no
// mapping of an empty file, and no copy of a file onto itself.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/NameMatch.h"
#include "platform/Platform.h"
#include "support/TempDir.h"

namespace wedmorph {
namespace {

using test::TempDir;

TEST(NameMatch, WildcardsMatchIgnoringCase) {
    EXPECT_TRUE(matchesWildcardIgnoringCase("ar*.WED", "AR0100.wed"));
    EXPECT_TRUE(matchesWildcardIgnoringCase("AR010?.wed", "ar0100.WED"));
    EXPECT_TRUE(matchesWildcardIgnoringCase("*", ""));
    EXPECT_TRUE(matchesWildcardIgnoringCase("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(matchesWildcardIgnoringCase("AR010?.wed", "AR010.wed"));
    EXPECT_FALSE(matchesWildcardIgnoringCase("a*b", "aXbY"));
    EXPECT_TRUE(equalsIgnoringAsciiCase("Ar0100.Wed", "aR0100.wED"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("\xC4", "\xE4"));  // only ASCII letters fold
}

class PosixPlatform : public ::testing::Test {
protected:
    TempDir dir;
    Platform& platform = nativePlatform();
};

TEST_F(PosixPlatform, OwnPathIsTheRealExecutable) {
    const std::string own = platform.ownProgramPath();
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own.front(), '/');
    struct stat info;
    EXPECT_EQ(::stat(own.c_str(), &info), 0);
}

TEST_F(PosixPlatform, PlainFilesAreFoundIgnoringCaseButNotHiddenOnes) {
    test::writeText(dir / "AR0100.WED", "w");
    test::writeText(dir / ".AR0200.wed", "w");
    dir.makeDir("AR0300.wed");
    EXPECT_TRUE(platform.plainFileExists(dir / "ar0100.wed"));
    EXPECT_TRUE(platform.plainFileExists(dir / "AR0100.WED"));
    EXPECT_FALSE(platform.plainFileExists(dir / ".AR0200.wed"));
    EXPECT_FALSE(platform.plainFileExists(dir / "AR0300.wed"));
    EXPECT_FALSE(platform.plainFileExists(dir / "AR0400.wed"));
    EXPECT_FALSE(platform.plainFileExists(dir / ".wed"));
}

TEST_F(PosixPlatform, WildcardsMatchInTheFileSearchOnly) {
    test::writeText(dir / "AR0100.wed", "w");
    dir.makeDir("AR0200.wed");
    EXPECT_TRUE(platform.plainFileExists(dir / "ar01*.wed"));
    EXPECT_TRUE(platform.plainFileExists(dir / "AR0?00.WED"));
    EXPECT_FALSE(platform.plainFileExists(dir / "AR02*.wed"));
    EXPECT_FALSE(platform.openForReading(dir / "AR01*.wed").isOpen());
}

TEST_F(PosixPlatform, ExactNameComesFirstThenTheFirstCaseInsensitiveOne) {
    test::writeText(dir / "ar0100.tis", "lower");
    test::writeText(dir / "AR0100.tis", "upper");
    test::writeText(dir / "Ar0100.tis", "mixed");
    auto readThrough = [&](const std::string& name) {
        FileHandle file = platform.openForReading(dir / name);
        EXPECT_TRUE(file.isOpen()) << name;
        if (!file.isOpen()) return std::string();
        MappingHandle mapping = platform.createMapping(file, Access::ReadOnly);
        std::uint8_t* view = platform.mapView(mapping, Access::ReadOnly);
        std::string text(reinterpret_cast<char*>(view), platform.fileSize(file));
        platform.unmapView(view);
        platform.closeMapping(mapping);
        platform.closeFile(file);
        return text;
    };
    EXPECT_EQ(readThrough("Ar0100.tis"), "mixed");
    EXPECT_EQ(readThrough("aR0100.TIS"), "upper");  // "AR0100.tis" sorts first
}

TEST_F(PosixPlatform, DirectoriesCannotBeOpened) {
    dir.makeDir("folder.tis");
    EXPECT_FALSE(platform.openForReading(dir / "folder.tis").isOpen());
}

TEST_F(PosixPlatform, CopyReplacesTheTargetKeepingItsOnDiskName) {
    test::writeText(dir / "AR0100.mos", "new content");
    test::writeText(dir / "ar2600.MOS", "old");
    EXPECT_TRUE(platform.copyFile(dir / "ar0100.MOS", dir / "AR2600.mos", {}).known);
    EXPECT_EQ(test::readText(dir / "ar2600.MOS"), "new content");
    EXPECT_FALSE(test::fileExists(dir / "AR2600.mos"));
}

TEST_F(PosixPlatform, CopyOntoItselfFailsAndLeavesTheFile) {
    test::writeText(dir / "AR0100HT.bmp", "bitmap");
    EXPECT_FALSE(platform.copyFile(dir / "AR0100HT.bmp", dir / "AR0100HT.bmp", {}).known);
    EXPECT_FALSE(platform.copyFile(dir / "AR0100HT.bmp", dir / "ar0100ht.BMP", {}).known);
    ASSERT_EQ(::symlink((dir / "AR0100HT.bmp").c_str(), (dir / "link.bmp").c_str()), 0);
    EXPECT_FALSE(platform.copyFile(dir / "AR0100HT.bmp", dir / "link.bmp", {}).known);
    EXPECT_EQ(test::readText(dir / "AR0100HT.bmp"), "bitmap");
}

TEST_F(PosixPlatform, CopyOntoADirectoryOrFromNothingFails) {
    test::writeText(dir / "a.wed", "w");
    dir.makeDir("b.wed");
    EXPECT_FALSE(platform.copyFile(dir / "a.wed", dir / "b.wed", {}).known);
    EXPECT_FALSE(platform.copyFile(dir / "missing.wed", dir / "c.wed", {}).known);
    EXPECT_FALSE(test::fileExists(dir / "c.wed"));
}

TEST_F(PosixPlatform, OnlyRegularFilesAreWrittenAndNothingWaits) {
    test::writeText(dir / "a.wed", "w");
    ASSERT_EQ(::mkfifo((dir / "fifo.tis").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/null", (dir / "null.tis").c_str()), 0);
    dir.makeDir("folder.tis");
    for (const char* name : {"fifo.tis", "null.tis", "folder.tis"}) {
        EXPECT_FALSE(platform.createForWriting(dir / name, {}).isOpen()) << name;
        EXPECT_FALSE(platform.openForUpdate(dir / name, {}).isOpen()) << name;
        EXPECT_FALSE(platform.copyFile(dir / "a.wed", dir / name, {}).known) << name;
    }
}

TEST_F(PosixPlatform, CopiesAreWritableWhateverTheSourceAndTargetsKeepTheirMode) {
    const mode_t mask = ::umask(022);
    test::writeText(dir / "AR0100.wed", "read-only");
    test::writeText(dir / "AR2700.wed", "old");
    ::chmod((dir / "AR0100.wed").c_str(), 0444);
    ::chmod((dir / "AR2700.wed").c_str(), 0600);
    EXPECT_TRUE(platform.copyFile(dir / "AR0100.wed", dir / "AR2600.wed", {}).known);
    EXPECT_TRUE(platform.copyFile(dir / "AR0100.wed", dir / "AR2700.wed", {}).known);
    struct stat info;
    ASSERT_EQ(::stat((dir / "AR2600.wed").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    ASSERT_EQ(::stat((dir / "AR2700.wed").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(test::readText(dir / "AR2700.wed"), "read-only");
    ::umask(mask);
}

TEST_F(PosixPlatform, DeleteFindsTheNameIgnoringCase) {
    test::writeText(dir / "AR0100.WED", "w");
    EXPECT_TRUE(platform.deleteFile(dir / "ar0100.wed"));
    EXPECT_FALSE(test::fileExists(dir / "AR0100.WED"));
    EXPECT_FALSE(platform.deleteFile(dir / "ar0100.wed"));
}

TEST_F(PosixPlatform, CreateEmptiesAnExistingFileUnderAnotherCase) {
    test::writeText(dir / "AR2600.TIS", "old old old");
    FileHandle file = platform.createForWriting(dir / "AR2600.tis", {});
    ASSERT_TRUE(file.isOpen());
    std::size_t written = 0;
    const std::uint8_t bytes[] = {'n', 'e', 'w'};
    const WritePiece pieces[] = {{bytes, 2}, {bytes + 2, 1}};
    EXPECT_TRUE(platform.writeFile(file, pieces, written));
    EXPECT_EQ(written, 3u);
    platform.closeFile(file);
    EXPECT_EQ(test::readText(dir / "AR2600.TIS"), "new");
    EXPECT_FALSE(test::fileExists(dir / "AR2600.tis"));
}

}  // namespace
}  // namespace wedmorph
