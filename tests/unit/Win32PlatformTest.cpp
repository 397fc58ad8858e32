// The Win32 platform, run for real: hidden and system files are not plain
// files, names are found in any case, wildcards match in the file search only,
// an empty file cannot be mapped, and no file is copied onto itself.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/Platform.h"
#include "support/TempDir.h"

namespace wedmorph {
namespace {

class Win32Platform : public ::testing::Test {
protected:
    test::TempDir dir;
    Platform& platform = nativePlatform();
};

TEST_F(Win32Platform, OwnPathIsTheModuleFile) {
    const std::string own = platform.ownProgramPath();
    ASSERT_GT(own.size(), 3u);
    EXPECT_EQ(own[1], ':');
    EXPECT_EQ(own.substr(own.size() - 4), ".exe");
}

TEST_F(Win32Platform, HiddenAndSystemFilesAndDirectoriesAreNotPlainFiles) {
    test::writeText(dir / "AR0100.WED", "w");
    test::writeText(dir / "HIDDEN.wed", "w");
    test::writeText(dir / "SYSTEM.wed", "w");
    ::SetFileAttributesA((dir / "HIDDEN.wed").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesA((dir / "SYSTEM.wed").c_str(), FILE_ATTRIBUTE_SYSTEM);
    dir.makeDir("FOLDER.wed");
    EXPECT_TRUE(platform.plainFileExists(dir / "ar0100.wed"));
    EXPECT_FALSE(platform.plainFileExists(dir / "HIDDEN.wed"));
    EXPECT_FALSE(platform.plainFileExists(dir / "SYSTEM.wed"));
    EXPECT_FALSE(platform.plainFileExists(dir / "FOLDER.wed"));
    EXPECT_TRUE(platform.plainFileExists(dir / "*.wed"));
    EXPECT_FALSE(platform.openForReading(dir / "AR01*.wed").isOpen());
}

TEST_F(Win32Platform, CopyReplacesButNeverOntoItself) {
    test::writeText(dir / "AR0100HT.bmp", "bitmap");
    test::writeText(dir / "AR2600HT.bmp", "old");
    EXPECT_TRUE(platform.copyFile(dir / "AR0100HT.bmp", dir / "AR2600HT.bmp", {}).known);
    EXPECT_EQ(test::readText(dir / "AR2600HT.bmp"), "bitmap");
    EXPECT_FALSE(platform.copyFile(dir / "AR0100HT.bmp", dir / "ar0100ht.BMP", {}).known);
    EXPECT_EQ(test::readText(dir / "AR0100HT.bmp"), "bitmap");
    // A read-only source makes a copy that the next run can replace.
    ::SetFileAttributesA((dir / "AR0100HT.bmp").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(platform.copyFile(dir / "AR0100HT.bmp", dir / "AR2700HT.bmp", {}).known);
    EXPECT_EQ(::GetFileAttributesA((dir / "AR2700HT.bmp").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    ::SetFileAttributesA((dir / "AR0100HT.bmp").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32Platform, WriteReportsWhatWentOut) {
    FileHandle file = platform.createForWriting(dir / "out.tis", {});
    ASSERT_TRUE(file.isOpen());
    const std::uint8_t bytes[] = {1, 2, 3, 4};
    std::size_t written = 0;
    const WritePiece pieces[] = {{bytes, 3}, {bytes + 3, 1}};
    EXPECT_TRUE(platform.writeFile(file, pieces, written));
    EXPECT_EQ(written, 4u);
    platform.closeFile(file);
    EXPECT_TRUE(platform.deleteFile(dir / "OUT.TIS"));
    EXPECT_FALSE(platform.deleteFile(dir / "out.tis"));
}

}  // namespace
}  // namespace wedmorph
