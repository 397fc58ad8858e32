// The POSIX platform behaves as Windows does for area files: names found
// without regard to case, dot files hidden, wildcards in the file search, no
// output onto a file the run protects, and only regular files opened.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/NameMatch.h"
#include "output/HeldFiles.h"
#include "platform/Platform.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

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
    bool created = false;

    // Opens `target` as an output and copies `source` into it.
    bool copy(const std::string& source, const std::string& target) {
        FileHandle from = platform.openInput(dir / source, InputUse::Read).file;
        if (!from.isOpen()) return false;
        FileHandle to = test::openForWriting(platform, dir / target, created);
        const bool copied = to.isOpen() && platform.copyContents(from, to);
        if (to.isOpen()) platform.closeFile(to);
        platform.closeFile(from);
        return copied;
    }
};

TEST_F(PosixPlatform, OwnPathIsTheRealExecutable) {
    const std::string own = *platform.ownProgramPath();
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
    EXPECT_EQ(*platform.listPlainFiles(dir.path()), std::vector<std::string>{"AR0100.WED"});
    EXPECT_EQ(platform.statusOfPath(dir / "ar0100.wed")->size, 1u);
    EXPECT_TRUE(platform.statusOfPath(dir / "ar0300.WED")->identity.known) << "folders too";
    EXPECT_FALSE(platform.statusOfPath(dir / "AR0400.wed")->identity.known);
}

TEST_F(PosixPlatform, WildcardsMatchInTheFileSearchOnly) {
    test::writeText(dir / "AR0100.wed", "w");
    dir.makeDir("AR0200.wed");
    EXPECT_TRUE(platform.plainFileExists(dir / "ar01*.wed"));
    EXPECT_TRUE(platform.plainFileExists(dir / "AR0?00.WED"));
    EXPECT_FALSE(platform.plainFileExists(dir / "AR02*.wed"));
    // Not even a file with that very name, which POSIX allows and Windows does not.
    test::writeText(dir / "AR01*.wed", "w");
    EXPECT_FALSE(platform.openInput(dir / "AR01*.wed", InputUse::Read).file.isOpen());
    EXPECT_FALSE(test::openForWriting(platform, dir / "AR01*.wed", created).isOpen());
    EXPECT_FALSE(platform.statusOfPath(dir / "AR01*.wed")->identity.known);
}

TEST_F(PosixPlatform, ExactNameComesFirstThenTheFirstCaseInsensitiveOne) {
    test::writeText(dir / "ar0100.tis", "lower");
    test::writeText(dir / "AR0100.tis", "upper");
    test::writeText(dir / "Ar0100.tis", "mixed");
    auto readThrough = [&](const std::string& name) {
        FileHandle file = platform.openInput(dir / name, InputUse::Read).file;
        EXPECT_TRUE(file.isOpen()) << name;
        if (!file.isOpen()) return std::string();
        const std::span<const std::uint8_t> view = *platform.mapFile(file);
        std::string text(view.begin(), view.end());
        platform.unmapFile(view);
        platform.closeFile(file);
        return text;
    };
    // On a case-insensitive volume (macOS's APFS, exFAT) the three names are one file.
    const bool oneFile = test::listDir(dir.path()).size() == 1;
    EXPECT_EQ(readThrough("Ar0100.tis"), "mixed");
    EXPECT_EQ(readThrough("aR0100.TIS"), oneFile ? "mixed" : "upper");  // "AR0100.tis" sorts first
}

TEST_F(PosixPlatform, InputsAreExistingRegularFiles) {
    dir.makeDir("folder.tis");
    EXPECT_FALSE(platform.openInput(dir / "folder.tis", InputUse::Read).file.isOpen());
    EXPECT_FALSE(platform.openInput(dir / "missing.wed", InputUse::Read).file.isOpen());
    EXPECT_FALSE(test::fileExists(dir / "missing.wed"));
}

TEST_F(PosixPlatform, CopyReplacesTheTargetKeepingItsOnDiskName) {
    test::writeText(dir / "AR0100.mos", "new content");
    test::writeText(dir / "ar2600.MOS", "old old old old");
    EXPECT_TRUE(copy("ar0100.MOS", "AR2600.mos"));
    EXPECT_FALSE(created);
    EXPECT_EQ(test::readText(dir / "ar2600.MOS"), "new content");
    EXPECT_EQ(test::listDir(dir.path()), (std::vector<std::string>{"AR0100.mos", "ar2600.MOS"}));
}

TEST_F(PosixPlatform, NoOutputLandsOnAProtectedFileByAnyName) {
    test::writeText(dir / "AR0100HT.bmp", "bitmap");
    ProtectedFiles protectedFiles;
    protectedFiles.add(platform.statusOfPath(dir / "AR0100HT.bmp")->identity);
    ASSERT_EQ(::symlink((dir / "AR0100HT.bmp").c_str(), (dir / "link.bmp").c_str()), 0);
    const AreaFilePaths noInput;
    const InputNames noInputNames(platform, noInput);
    for (const char* name : {"AR0100HT.bmp", "ar0100ht.BMP", "link.bmp"}) {
        OutputFile output;
        EXPECT_EQ(holdTarget(platform, dir.path(), dir / name, noInputNames, protectedFiles, output), Hold::Failed) << name;
    }
    EXPECT_EQ(test::readText(dir / "AR0100HT.bmp"), "bitmap");
}

TEST_F(PosixPlatform, OnlyRegularFilesAreWrittenAndNothingWaits) {
    ASSERT_EQ(::mkfifo((dir / "fifo.tis").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/null", (dir / "null.tis").c_str()), 0);
    dir.makeDir("folder.tis");
    for (const char* name : {"fifo.tis", "null.tis", "folder.tis"}) {
        EXPECT_FALSE(test::openForWriting(platform, dir / name, created).isOpen()) << name;
        EXPECT_FALSE(platform.openInput(dir / name, InputUse::Read).file.isOpen()) << name;
        EXPECT_FALSE(platform.openForWriting(dir / name, WriteOpen::AppendLog).file.isOpen()) << name;
    }
}

TEST_F(PosixPlatform, CopiesAreWritableWhateverTheSourceAndTargetsKeepTheirMode) {
    const mode_t mask = ::umask(022);
    test::writeText(dir / "AR0100.wed", "read-only");
    test::writeText(dir / "AR2700.wed", "old");
    ::chmod((dir / "AR0100.wed").c_str(), 0444);
    ::chmod((dir / "AR2700.wed").c_str(), 0600);
    EXPECT_TRUE(copy("AR0100.wed", "AR2600.wed"));
    EXPECT_TRUE(created);
    EXPECT_TRUE(copy("AR0100.wed", "AR2700.wed"));
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
    FileHandle file = platform.openInput(dir / "ar0100.wed", InputUse::ReadThenDelete).file;
    ASSERT_TRUE(file.isOpen());
    EXPECT_TRUE(platform.deleteHeldFile(file, dir / "ar0100.wed"));
    EXPECT_FALSE(test::fileExists(dir / "AR0100.WED"));
    EXPECT_FALSE(platform.deleteHeldFile(file, dir / "ar0100.wed"));
    platform.closeFile(file);
}

TEST_F(PosixPlatform, OutputsOpenAsTheyStandUnderAnotherCaseAndAreEmptiedOnRequest) {
    test::writeText(dir / "AR2600.TIS", "old old old");
    FileHandle file = test::openForWriting(platform, dir / "AR2600.tis", created);
    ASSERT_TRUE(file.isOpen());
    EXPECT_FALSE(created);
    EXPECT_EQ(test::readText(dir / "AR2600.TIS"), "old old old");
    EXPECT_TRUE(platform.emptyFile(file));
    std::size_t written = 0;
    const std::uint8_t bytes[] = {'n', 'e', 'w'};
    const WritePiece pieces[] = {{bytes, 2}, {bytes + 2, 1}};
    EXPECT_TRUE(platform.writeFile(file, 0, pieces, written));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(platform.flushFile(file));
    EXPECT_TRUE(platform.flushFolder(dir.path()));
    platform.closeFile(file);
    EXPECT_EQ(test::readText(dir / "AR2600.TIS"), "new");
    EXPECT_EQ(test::listDir(dir.path()), std::vector<std::string>{"AR2600.TIS"});
}

// Two runs may append to one log at once; a new log is found by its
// own name in any case afterwards.
TEST_F(PosixPlatform, LogsAppendUnlocked) {
    FileHandle first = platform.openForWriting(dir / "wedmorph.log", WriteOpen::AppendLog).file;
    FileHandle second = platform.openForWriting(dir / "WEDMORPH.LOG", WriteOpen::AppendLog).file;
    ASSERT_TRUE(first.isOpen());
    ASSERT_TRUE(second.isOpen());
    EXPECT_TRUE(test::appendText(platform, first, "one\n"));
    EXPECT_TRUE(test::appendText(platform, second, "two\n"));
    platform.closeFile(first);
    platform.closeFile(second);
    EXPECT_EQ(test::readText(dir / "wedmorph.log"), "one\ntwo\n");
    EXPECT_EQ(test::listDir(dir.path()), std::vector<std::string>{"wedmorph.log"});
}

}  // namespace
}  // namespace wedmorph
