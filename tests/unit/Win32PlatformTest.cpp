// The Win32 platform, run for real: hidden and system files are not plain
// files, names are found in any case, wildcards match in the file search only,
// no output lands on a protected file, and the sharing modes keep other
// handles out.
#include <gtest/gtest.h>

#include <windows.h>

#include "output/HeldFiles.h"
#include "platform/Platform.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace wedmorph {
namespace {

class Win32Platform : public ::testing::Test {
protected:
    test::TempDir dir;
    Platform& platform = nativePlatform();
};

TEST_F(Win32Platform, OwnPathIsTheModuleFile) {
    const std::string own = *platform.ownProgramPath();
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
    EXPECT_EQ(*platform.listPlainFiles(dir.path()), std::vector<std::string>{"AR0100.WED"});
    EXPECT_FALSE(platform.openInput(dir / "AR01*.wed", InputUse::Read).file.isOpen());
}

TEST_F(Win32Platform, CopyReplacesButNeverOntoItself) {
    test::writeText(dir / "AR0100HT.bmp", "bitmap");
    test::writeText(dir / "AR2600HT.bmp", "old and longer");
    ProtectedFiles inputs;
    bool created = true;
    FileHandle source = platform.openInput(dir / "AR0100HT.bmp", InputUse::Read).file;
    inputs.add(platform.statusOf(source)->identity);
    FileHandle target = test::openForWriting(platform, dir / "AR2600HT.bmp", created);
    ASSERT_TRUE(target.isOpen());
    EXPECT_FALSE(created);
    EXPECT_TRUE(platform.copyContents(source, target));
    platform.closeFile(target);
    platform.closeFile(source);
    EXPECT_EQ(test::readText(dir / "AR2600HT.bmp"), "bitmap");
    // Released by its reader, the input is still no output under any name.
    const AreaFilePaths noInput;
    const InputNames noInputNames(platform, noInput);
    OutputFile output;
    EXPECT_NE(holdTarget(platform, dir.path(), dir / "ar0100ht.BMP", noInputNames, inputs, output), Hold::Held);
    EXPECT_EQ(test::readText(dir / "AR0100HT.bmp"), "bitmap");
    // A read-only source makes a copy that the next run can replace.
    ::SetFileAttributesA((dir / "AR0100HT.bmp").c_str(), FILE_ATTRIBUTE_READONLY);
    source = platform.openInput(dir / "AR0100HT.bmp", InputUse::Read).file;
    target = test::openForWriting(platform, dir / "AR2700HT.bmp", created);
    ASSERT_TRUE(target.isOpen());
    EXPECT_TRUE(created);
    EXPECT_TRUE(platform.copyContents(source, target));
    platform.closeFile(target);
    platform.closeFile(source);
    EXPECT_EQ(::GetFileAttributesA((dir / "AR2700HT.bmp").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    ::SetFileAttributesA((dir / "AR0100HT.bmp").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32Platform, SharingKeepsOtherHandlesOutAndDeletesGoThroughTheHandle) {
    bool created = false;
    FileHandle output = test::openForWriting(platform, dir / "out.tis", created);
    ASSERT_TRUE(output.isOpen());
    const std::uint8_t bytes[] = {1, 2, 3, 4};
    std::size_t written = 0;
    const WritePiece pieces[] = {{bytes, 3}, {bytes + 3, 1}};
    EXPECT_TRUE(platform.writeFile(output, 0, pieces, written));
    EXPECT_EQ(written, 4u);
    // No reader gets in, however much it shares itself.
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    EXPECT_EQ(::CreateFileA((dir / "OUT.TIS").c_str(), GENERIC_READ, kShareAll, nullptr,
                            OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    platform.closeFile(output);

    FileHandle reading = platform.openInput(dir / "out.tis", InputUse::Read).file;
    ASSERT_TRUE(reading.isOpen());
    EXPECT_FALSE(::DeleteFileA((dir / "out.tis").c_str()));
    EXPECT_FALSE(platform.openInput(dir / "out.tis", InputUse::ReadThenDelete).file.isOpen());
    platform.closeFile(reading);

    FileHandle held = platform.openInput(dir / "OUT.TIS", InputUse::ReadThenDelete).file;
    ASSERT_TRUE(held.isOpen());
    EXPECT_TRUE(platform.deleteHeldFile(held, dir / "OUT.TIS"));
    platform.closeFile(held);
    EXPECT_FALSE(test::fileExists(dir / "out.tis"));
}

}  // namespace
}  // namespace wedmorph
