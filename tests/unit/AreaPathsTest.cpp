#include <gtest/gtest.h>

#include "area/AreaPaths.h"

namespace wedmorph {
namespace {

PathPieces split(const std::string& path) { return splitPath(path); }

TEST(SplitPath, SeparatesDriveDirectoryNameAndExtension) {
    const PathPieces pieces = split("C:\\Tools\\conv\\wedmorph.exe");
    EXPECT_EQ(pieces.drive, "C:");
    EXPECT_EQ(pieces.directory, "\\Tools\\conv\\");
    EXPECT_EQ(pieces.name, "wedmorph");
    EXPECT_EQ(pieces.extension, ".exe");
}

TEST(SplitPath, BothSeparatorsSplitAlike) {
    const PathPieces slash = split("myfolder1/AR6700");
    const PathPieces backslash = split("myfolder1\\AR6700");
    EXPECT_EQ(slash.directory, "myfolder1/");
    EXPECT_EQ(backslash.directory, "myfolder1\\");
    EXPECT_EQ(slash.name, "AR6700");
    EXPECT_EQ(backslash.name, "AR6700");
}

TEST(SplitPath, OnlyTheLastDotOfTheFinalComponentStartsTheExtension) {
    EXPECT_EQ(split("a.b.c").name, "a.b");
    EXPECT_EQ(split("a.b.c").extension, ".c");
    const PathPieces dotted = split("dir.x\\name");
    EXPECT_EQ(dotted.directory, "dir.x\\");
    EXPECT_EQ(dotted.name, "name");
    EXPECT_EQ(dotted.extension, "");
}

TEST(SplitPath, DriveWithoutSeparatorLeavesNoDirectory) {
    const PathPieces pieces = split("C:AR3300");
    EXPECT_EQ(pieces.drive, "C:");
    EXPECT_EQ(pieces.directory, "");
    EXPECT_EQ(pieces.name, "AR3300");
}

TEST(SplitPath, ColonCountsOnlyAsSecondCharacter) {
    const PathPieces pieces = split("ab:c");
    EXPECT_EQ(pieces.drive, "");
    EXPECT_EQ(pieces.name, "ab:c");
}

TEST(SplitPath, DotAndDotDotAreDirectories) {
    for (const std::string path : {".", "..", "x\\..", "C:.."}) {
        const PathPieces pieces = split(path);
        EXPECT_EQ(pieces.name, "") << path;
        EXPECT_EQ(pieces.extension, "") << path;
        EXPECT_EQ(pieces.drive + pieces.directory, path) << path;
    }
}

TEST(SplitPath, TrailingSeparatorGivesEmptyName) {
    const PathPieces pieces = split("myfolder1\\");
    EXPECT_EQ(pieces.directory, "myfolder1\\");
    EXPECT_EQ(pieces.name, "");
}

TEST(SplitPath, WildcardsStayInTheirPiece) {
    const PathPieces pieces = split("f*\\AR?3*.w?d");
    EXPECT_EQ(pieces.directory, "f*\\");
    EXPECT_EQ(pieces.name, "AR?3*");
    EXPECT_EQ(pieces.extension, ".w?d");
}

TEST(SplitPath, SecondByteOfADoubleByteCharacterIsNeverASeparator) {
    // 0x81 0x5C is one character in a double-byte code page; 0x5C alone is "\".
    const std::string path = std::string("d\x81\x5C") + "x\\AR1";
    const LeadBytePredicate lead = [](unsigned char b) { return b >= 0x81 && b <= 0x9F; };
    const PathPieces pieces = splitPath(path, lead);
    EXPECT_EQ(pieces.directory, std::string("d\x81\x5C") + "x\\");
    EXPECT_EQ(pieces.name, "AR1");
    const PathPieces name = splitPath(std::string("AR\x81\x5C"), lead);
    EXPECT_EQ(name.directory, "");
    EXPECT_EQ(name.name, std::string("AR\x81\x5C"));
}

TEST(SplitPath, LongPiecesAreCutTo255Bytes) {
    const PathPieces pieces = split(std::string(300, 'a'));
    EXPECT_EQ(pieces.name.size(), 255u);
}

const PathRules kWindows{PathStyle::Windows, {}};
const PathRules kPosix{PathStyle::Posix, {}};

TEST(AreaPathsWindows, RelativeAreaHangsOffTheProgramDirectory) {
    const AreaPaths paths =
        buildAreaPaths("C:\\Tools\\conv\\wedmorph.exe", "AR3300", "myfolder1\\AR6700", kWindows);
    EXPECT_EQ(paths.programDir, "C:\\Tools\\conv\\");
    EXPECT_EQ(paths.input.dir, "C:\\Tools\\conv\\");
    EXPECT_EQ(paths.output.dir, "C:\\Tools\\conv\\myfolder1\\");
    EXPECT_EQ(paths.input.wed, "C:\\Tools\\conv\\AR3300.wed");
    EXPECT_EQ(paths.output.wed, "C:\\Tools\\conv\\myfolder1\\AR6700.wed");
    EXPECT_EQ(paths.output.tis, "C:\\Tools\\conv\\myfolder1\\AR6700.tis");
    EXPECT_EQ(paths.output.companions[1], "C:\\Tools\\conv\\myfolder1\\AR6700HT.bmp");
    EXPECT_EQ(paths.output.companions[0], "C:\\Tools\\conv\\myfolder1\\AR6700.mos");
    EXPECT_EQ(paths.logPath, "C:\\Tools\\conv\\wedmorph.log");
}

TEST(AreaPathsWindows, AbsoluteArgumentKeepsOnlyItsDirectoryPiece) {
    AreaPaths paths;
    setProgramDir(paths, "C:\\Tools\\conv\\wedmorph.exe", kWindows);
    takeAreaArgument(paths, "D:\\data\\AR3300.wed", AreaSide::Input, kWindows);
    EXPECT_EQ(paths.input.dir, "C:\\Tools\\conv\\\\data\\");
    EXPECT_EQ(paths.input.name, "AR3300");
}

TEST(AreaPaths, SevenCharacterNameHasSixCharacterPrefix) {
    const AreaPaths paths = buildAreaPaths("/opt/conv/wedmorph", "AR33001", "AR1", kPosix);
    EXPECT_EQ(paths.input.prefix, "AR3300");
    EXPECT_EQ(paths.output.prefix, "AR1");
    EXPECT_EQ(paths.input.wed, "/opt/conv/AR33001.wed");
    EXPECT_EQ(paths.input.tis, "/opt/conv/AR33001.tis");
    EXPECT_EQ(paths.input.companions[0], "/opt/conv/AR33001.mos");
    EXPECT_EQ(paths.input.companions[1], "/opt/conv/AR3300HT.bmp");
    EXPECT_EQ(paths.input.companions[2], "/opt/conv/AR3300LM.bmp");
    EXPECT_EQ(paths.input.companions[3], "/opt/conv/AR3300LN.bmp");
    EXPECT_EQ(paths.input.companions[4], "/opt/conv/AR3300SR.bmp");
    EXPECT_EQ(paths.output.companions[1], "/opt/conv/AR1HT.bmp");
}

TEST(AreaPathsPosix, BackslashesOfTheDirectoryPieceBecomeSlashes) {
    AreaPaths paths;
    setProgramDir(paths, "/opt/conv/wedmorph", kPosix);
    takeAreaArgument(paths, "one\\two/AR6700", AreaSide::Output, kPosix);
    EXPECT_EQ(paths.output.dir, "/opt/conv/one/two/");
    EXPECT_EQ(paths.output.name, "AR6700");
}

TEST(AreaPathsPosix, ProgramDirectoryIsTakenAsTheSystemGivesIt) {
    AreaPaths paths;
    setProgramDir(paths, "/home/me/odd\\name/wedmorph", kPosix);
    EXPECT_EQ(paths.programDir, "/home/me/odd\\name/");
}

TEST(AreaPaths, LongestFilePathCountsEveryFileOfBothAreas) {
    const AreaPaths paths = buildAreaPaths("/p/w", "AR1", "longdir/AR12345", kPosix);
    // A bitmap's six-character prefix and "HT.bmp" outgrow the name and ".wed".
    EXPECT_EQ(longestAreaFilePath(paths), std::string("/p/longdir/AR1234HT.bmp").size());
}

}  // namespace
}  // namespace wedmorph
