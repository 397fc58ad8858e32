// The built program, run as a user runs it, on areas built in code; every
// output byte is checked against what the conversion rules give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "areagen/SampleArea.h"
#include "support/Areas.h"
#include "support/ProgramRunner.h"
#include "support/ReferenceConversion.h"
#include "support/TempDir.h"
#include "support/UsageText.h"

namespace wedmorph {
namespace {

using testing::readBytes;

const std::string& kUsage = testing::kUsageScreen;

class EndToEnd : public ::testing::Test {
protected:
    testing::TempDir root;
    std::string dir = root.makeDir("program");
    testing::ProgramRunner program{dir};
    testing::AreaFiles area = testing::workedExampleArea(false);

    std::string nl() const { return program.newline(); }
    std::string text(const std::string& s) const { return testing::withNewlines(s, nl()); }

    testing::ProgramResult run(const std::vector<std::string>& arguments) {
        testing::ProgramResult result = program.run(arguments);
        EXPECT_EQ(result.errors, "") << "nothing goes to standard error";
        return result;
    }

    void expectUnchanged(const std::string& name, const testing::AreaFiles& files) {
        EXPECT_EQ(readBytes(dir + name + ".wed"), files.wed) << name;
        EXPECT_EQ(readBytes(dir + name + ".tis"), files.tis) << name;
    }
};

TEST_F(EndToEnd, UsageScreenForAnEmptyCommandLine) {
    const auto result = run({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, text(kUsage));
}

TEST_F(EndToEnd, FatalErrorExitsWithMinusOne) {
    const auto result = run({"-s", "AR3300"});
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.output, text(kUsage + "\nError :\t Empty output area name\n\n\n"));
}

TEST_F(EndToEnd, WorkedExampleConvertsByteForByte) {
    testing::writeArea(dir, "AR0100", area);
    for (bool header : {false, true}) {
        std::vector<std::string> arguments = {"-s", "AR0100", "AR2600"};
        if (header) arguments.push_back("-h");
        ASSERT_EQ(run(arguments).status, 0);
        const auto expected = testing::referenceConversion(area.wed, area.tis, "AR2600", header);
        EXPECT_EQ(expected.tis.size(), header ? 30744u : 30720u);
        EXPECT_EQ(readBytes(dir + "AR2600.tis"), expected.tis);
        EXPECT_EQ(readBytes(dir + "AR2600.wed"), expected.wed);
    }
    expectUnchanged("AR0100", area);
}

// Offsets of the bytes that may differ between an input WED and its output.
std::vector<std::size_t> patchableOffsets(const std::vector<std::uint8_t>& wed) {
    auto u32 = [&](std::size_t at) {
        return wed[at] | wed[at + 1] << 8 | wed[at + 2] << 16 | static_cast<std::size_t>(wed[at + 3]) << 24;
    };
    const std::size_t table = u32(16);
    const std::size_t cells = static_cast<std::size_t>(wed[table] | wed[table + 1] << 8) *
                              static_cast<std::size_t>(wed[table + 2] | wed[table + 3] << 8);
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < 8; ++i) offsets.push_back(table + 4 + i);
    for (std::size_t k = 0; k < cells; ++k) {
        for (std::size_t i : {4u, 5u, 6u}) offsets.push_back(u32(table + 16) + 10 * k + i);
    }
    return offsets;
}

TEST_F(EndToEnd, SampleAreaConvertsAndTheWedChangesOnlyWhereAllowed) {
    areagen::SampleOptions options;
    options.width = 12;
    options.height = 9;
    options.seed = 42;
    ASSERT_TRUE(areagen::writeSampleArea(dir, "AR0100", options));
    const testing::AreaFiles in{readBytes(dir + "AR0100.wed"), readBytes(dir + "AR0100.tis")};
    ASSERT_EQ(run({"-s", "-h", "AR0100", "AR260012"}).status, 0);
    const auto expected = testing::referenceConversion(in.wed, in.tis, "AR260012", true);
    EXPECT_GT(expected.extraTiles, 0);
    EXPECT_EQ(readBytes(dir + "AR260012.tis"), expected.tis);
    const auto out = readBytes(dir + "AR260012.wed");
    ASSERT_EQ(out, expected.wed);

    const std::vector<std::size_t> allowed = patchableOffsets(in.wed);
    for (std::size_t i = 0; i < in.wed.size(); ++i) {
        if (in.wed[i] != out[i]) {
            EXPECT_NE(std::find(allowed.begin(), allowed.end(), i), allowed.end()) << "offset " << i;
        }
    }
}

TEST_F(EndToEnd, TilesetNameOfSixAndEightCharacters) {
    testing::writeArea(dir, "AR0100", area);
    auto tilesetName = [&](const std::string& name) {
        EXPECT_EQ(run({"-s", "AR0100", name}).status, 0);
        const auto wed = readBytes(dir + name + ".wed");
        const std::size_t table = wed[16] | wed[17] << 8;
        return std::string(wed.begin() + static_cast<long>(table) + 4, wed.begin() + static_cast<long>(table) + 12);
    };
    EXPECT_EQ(tilesetName("AR6700"), std::string("AR6700\0\0", 8));
    EXPECT_EQ(tilesetName("AR670012"), "AR670012");
}

TEST_F(EndToEnd, ReportOnTheConsoleAndInTheLog) {
    testing::writeArea(dir, "AR0100", area);
    const auto result = run({"-l", "AR0100", "out/AR2600"});
    // The output folder does not exist: check 8 fails.
    EXPECT_EQ(result.status, 255);
    root.makeDir("program/out");
    const auto done = run({"-l", "AR0100", "out\\AR2600"});
    ASSERT_EQ(done.status, 0);
    const std::string report =
        "\n[Source]: " + program.shown(dir + "AR0100.wed") + ", V1.3" +
        "\n          " + program.shown(dir + "AR0100.tis") + ", no header" +
        "\n[Output]: " + program.shown(dir + "out/AR2600.wed") + ", V1.3" +
        "\n          " + program.shown(dir + "out/AR2600.tis") + ", no header\n" +
        "\n Basic tiles number: \t\t4\n Doors extra tiles number: \t1\n Animations extra tiles number: 0";
    EXPECT_EQ(done.output, text(report + "\n" +
                                "\rTiles processed:    1 of 4\rTiles processed:    2 of 4"
                                "\rTiles processed:    3 of 4\rTiles processed:    4 of 4"
                                "\rTiles processed:    4 of 4 done.\nExtra 1 overlay tiles added.\n\n"));
    const std::string log = testing::readText(dir + "wedmorph.log");
    const std::string rule = "----------------------------------------\n";
    const std::string firstRun = text(rule) + "Local time is: ";
    ASSERT_EQ(log.rfind(firstRun, 0), 0u);
    const std::size_t second = log.find(text("\n\n" + rule) + "Local time is: ");
    ASSERT_NE(second, std::string::npos) << "the second run follows the first";
    const std::string secondRun = log.substr(second + text("\n\n").size());
    const std::size_t afterTime = secondRun.find(text("\n"), text(rule).size()) + nl().size();
    EXPECT_EQ(secondRun.substr(afterTime),
              text(report + "\n Overlayed doors tiles number:  1\n" +
                   "\nTiles processed: 4 done.\nExtra 1 overlay tiles added.\n" + rule + "\n"));
}

TEST_F(EndToEnd, CompanionsFollowUnderTheOutputNamesReplacingOldOnes) {
    testing::writeArea(dir, "AR0100", area);
    const std::string out = root.makeDir("program/other");
    testing::writeText(out + "AR6700HT.bmp", "stale");
    ASSERT_EQ(run({"-s", "AR0100", "other/AR670012"}).status, 0);
    EXPECT_EQ(readBytes(out + "AR670012.mos"), readBytes(dir + "AR0100.mos"));
    for (const char* kind : {"HT", "LM", "LN", "SR"}) {
        EXPECT_EQ(readBytes(out + "AR6700" + kind + ".bmp"), readBytes(dir + "AR0100" + kind + ".bmp")) << kind;
    }
}

TEST_F(EndToEnd, DeleteAfterACompleteRunOnly) {
    testing::writeArea(dir, "AR0100", area);
    // The output TIS path is a directory: the run fails and keeps the sources.
    root.makeDir("program/AR2600.tis");
    auto failed = run({"-d", "AR0100", "AR2600"});
    EXPECT_EQ(failed.status, 255);
    EXPECT_NE(failed.output.find(text("\nError :\t Cannot save output area TIS file\n\n\n")), std::string::npos);
    EXPECT_EQ(failed.output.find("done."), std::string::npos);
    expectUnchanged("AR0100", area);

    std::filesystem::remove(dir + "AR2600.tis");
    ASSERT_EQ(run({"-s", "-d", "AR0100", "AR2600"}).status, 0);
    for (const std::string& name : {std::string("AR0100.wed"), std::string("AR0100.tis")}) {
        EXPECT_FALSE(testing::fileExists(dir + name)) << name;
    }
    for (const std::string& name : testing::companionNames("AR0100")) {
        EXPECT_FALSE(testing::fileExists(dir + name)) << name;
    }
}

TEST_F(EndToEnd, OutputWedThatIsADirectoryStopsTheRun) {
    testing::writeArea(dir, "AR0100", area);
    root.makeDir("program/AR2600.wed");
    const auto result = run({"-d", "-s", "AR0100", "AR2600"});
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.output, text("\nError :\t Cannot create output area WED file\n\n\n"));
    expectUnchanged("AR0100", area);
    EXPECT_FALSE(testing::fileExists(dir + "AR2600.mos"));
}

TEST_F(EndToEnd, ConvertingAnAreaOntoItselfLosesNothing) {
    testing::writeArea(dir, "AR0100", area);
    for (const std::string output : {"AR0100", "ar0100"}) {
        const auto result = run({"-d", "-s", "AR0100", output});
        EXPECT_EQ(result.status, 255) << output;
        EXPECT_EQ(result.output, text("\nError :\t Cannot create output area WED file\n\n\n"));
        expectUnchanged("AR0100", area);
    }
}

TEST_F(EndToEnd, BitmapsSharedByTwoAreasInOneFolderAreKept) {
    testing::writeArea(dir, "AR0100", area);
    const auto bitmap = readBytes(dir + "AR0100HT.bmp");
    const auto result = run({"-d", "AR0100", "AR01009"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find(text("\n\nWarning :\t Cannot handle area _HT.bmp file\n")), std::string::npos);
    EXPECT_EQ(readBytes(dir + "AR0100HT.bmp"), bitmap);
    EXPECT_TRUE(testing::fileExists(dir + "AR0100LN.bmp"));
    EXPECT_FALSE(testing::fileExists(dir + "AR0100.wed"));
    EXPECT_TRUE(testing::fileExists(dir + "AR01009.mos"));
}

TEST_F(EndToEnd, AreaFilesAreFoundInAnyLetterCase) {
    testing::writeBytes(dir + "AR0100.WED", area.wed);
    testing::writeBytes(dir + "ar0100.tis", area.tis);
    ASSERT_EQ(run({"-s", "Ar0100", "AR2600"}).status, 0);
    const auto expected = testing::referenceConversion(area.wed, area.tis, "AR2600", false);
    EXPECT_EQ(readBytes(dir + "AR2600.tis"), expected.tis);
}

TEST_F(EndToEnd, AreasAreFoundBesideTheProgramWhereverItIsStartedFrom) {
    testing::writeArea(dir, "AR0100", area);
    const std::string elsewhere = root.makeDir("elsewhere");
    testing::ProgramRunner::Command command = program.command({"-s", "AR0100", "AR2600"});
    command.workingDir = elsewhere;
    EXPECT_EQ(testing::ProgramRunner::runCommand(command).status, 0);
    EXPECT_TRUE(testing::fileExists(dir + "AR2600.tis"));
    EXPECT_FALSE(testing::fileExists(elsewhere + "AR2600.tis"));
}

TEST_F(EndToEnd, ProgramDirectoryIsThatOfTheRealFileNotOfALinkToIt) {
    if (program.windows()) GTEST_SKIP() << "a Windows program is started by its own path";
    testing::writeArea(dir, "AR0100", area);
    const std::string elsewhere = root.makeDir("elsewhere");
    std::filesystem::create_symlink(program.programPath(), elsewhere + "wm");
    const auto result = testing::ProgramRunner::runCommand({elsewhere, "./wm -s AR0100 AR2600"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(testing::fileExists(dir + "AR2600.tis"));
    EXPECT_FALSE(testing::fileExists(elsewhere + "AR2600.tis"));
}

// A Windows build writes the same bytes as the native one, for every file of
// the conversion. WEDMORPH_NATIVE_EXE names the native build to compare with.
TEST_F(EndToEnd, SameOutputAsTheNativeBuild) {
    const char* native = std::getenv("WEDMORPH_NATIVE_EXE");
    if (native == nullptr || *native == '\0') GTEST_SKIP() << "WEDMORPH_NATIVE_EXE is not set";
    const std::string nativeDir = root.makeDir("native");
    const std::string nativeProgram = nativeDir + "wedmorph";
    std::filesystem::copy_file(native, nativeProgram);
    const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
        {"AR0100", {"-s", "AR0100", "AR2600"}},
        {"AR0101", {"-s", "-h", "AR0101", "AR2601"}},
        {"AR0102", {"-s", "AR0102", "AR260212"}},
    };
    std::uint64_t seed = 3;
    for (const auto& [name, arguments] : runs) {
        areagen::SampleOptions options;
        options.width = 10;
        options.height = 8;
        options.seed = ++seed;
        options.tisHeader = seed % 2 == 0;
        ASSERT_TRUE(areagen::writeSampleArea(dir, name, options));
        ASSERT_TRUE(areagen::writeSampleArea(nativeDir, name, options));
        ASSERT_EQ(run(arguments).status, 0);
        std::string line = "'" + nativeProgram + "'";
        for (const std::string& argument : arguments) line += " " + argument;
        ASSERT_EQ(testing::ProgramRunner::runCommand({nativeDir, line}).status, 0);
    }
    std::vector<std::string> names = testing::listDir(nativeDir);
    names.erase(std::remove(names.begin(), names.end(), "wedmorph"), names.end());
    for (const std::string& name : names) {
        EXPECT_EQ(readBytes(dir + name), readBytes(nativeDir + name)) << name;
    }
}

}  // namespace
}  // namespace wedmorph
