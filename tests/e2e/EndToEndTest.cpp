// The built program, run as a user runs it, on areas built in code; every
// output byte is checked against what the conversion rules give.
#include <gtest/gtest.h>

#include <spawn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "areagen/SampleArea.h"
#include "support/Areas.h"
#include "support/ProgramRunner.h"
#include "support/ReferenceConversion.h"
#include "support/StrictArea.h"
#include "support/TempDir.h"
#include "support/UsageText.h"

extern char** environ;

namespace wedmorph {
namespace {

using test::readBytes;

// Starts a shell command line without waiting for it, its output going to `output`.
pid_t startCommand(const std::string& line, const std::string& output = "/dev/null") {
    const std::string quiet = line + " >'" + output + "' 2>&1";
    const char* argv[] = {"/bin/sh", "-c", quiet.c_str(), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
    return pid;
}

// The exit status as a shell sees it: 128 and the signal for a run a signal
// ended. One still running after a minute is killed.
int waitForCommand(pid_t pid) {
    int status = 0;
    pid_t ended = 0;
    for (int waited = 0; pid >= 0 && (ended = ::waitpid(pid, &status, WNOHANG)) == 0; ++waited) {
        ::usleep(1000);
        if (waited == 60000) ::kill(pid, SIGKILL);
    }
    if (ended != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool emulated() {
    const char* launcher = std::getenv("WEDMORPH_LAUNCHER");
    return launcher != nullptr && *launcher != '\0';
}

const std::string& kUsage = test::kUsageScreen;

class EndToEnd : public ::testing::Test {
protected:
    test::TempDir root;
    std::string dir = root.makeDir("program");
    test::ProgramRunner program{dir};
    test::AreaFiles area = test::smallWaterArea(false);

    std::string nl() const { return program.newline(); }
    std::string text(const std::string& s) const { return test::withNewlines(s, nl()); }

    test::ProgramResult run(const std::vector<std::string>& arguments) {
        test::ProgramResult result = program.run(arguments);
        // Nothing goes to standard error but, after a failed run, the one line of the system's reason.
        const bool reason = result.status == 255 && result.errors.rfind("wedmorph: ", 0) == 0 &&
                            result.errors.find('\n') + 1 == result.errors.size();
        EXPECT_TRUE(result.errors.empty() || reason) << result.errors;
        return result;
    }

    void expectUnchanged(const std::string& name, const test::AreaFiles& files) {
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

TEST_F(EndToEnd, SmallAreaConvertsByteForByteWithOrWithoutHeader) {
    test::writeArea(dir, "AR0100", area);
    for (bool header : {false, true}) {
        std::vector<std::string> arguments = {"-s", "AR0100", "AR2600"};
        if (header) arguments.push_back("-h");
        ASSERT_EQ(run(arguments).status, 0);
        const auto expected = test::referenceConversion(area.wed, area.tis, "AR2600", header);
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
    const test::AreaFiles in{readBytes(dir + "AR0100.wed"), readBytes(dir + "AR0100.tis")};
    ASSERT_EQ(run({"-s", "-h", "AR0100", "AR260012"}).status, 0);
    const auto expected = test::referenceConversion(in.wed, in.tis, "AR260012", true);
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

    // Both areas read strictly, as a real engine would, with their water tileset.
    std::array<std::vector<std::uint8_t>, 5> water;
    water[1] = readBytes(dir + "WTWAVE.tis");
    EXPECT_EQ(test::strictAreaProblems(in.wed, in.tis, water), std::vector<std::string>{});
    EXPECT_EQ(test::strictAreaProblems(out, readBytes(dir + "AR260012.tis"), water), std::vector<std::string>{});
}

TEST_F(EndToEnd, TilesetNameOfSixAndEightCharacters) {
    test::writeArea(dir, "AR0100", area);
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
    test::writeArea(dir, "AR0100", area);
    const auto result = run({"-l", "AR0100", "out/AR2600"});
    // The output folder does not exist: its check fails.
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
    const std::string log = test::readText(dir + "wedmorph.log");
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
    test::writeArea(dir, "AR0100", area);
    const std::string out = root.makeDir("program/other");
    test::writeText(out + "AR6700HT.bmp", "stale");
    ASSERT_EQ(run({"-s", "AR0100", "other/AR670012"}).status, 0);
    EXPECT_EQ(readBytes(out + "AR670012.mos"), readBytes(dir + "AR0100.mos"));
    for (const char* kind : {"HT", "LM", "LN", "SR"}) {
        EXPECT_EQ(readBytes(out + "AR6700" + kind + ".bmp"), readBytes(dir + "AR0100" + kind + ".bmp")) << kind;
    }
    // A replacement keeps the old file's mode, and a link stays a link to its replaced file.
    if (program.windows()) return;
    ::chmod((out + "AR6700HT.bmp").c_str(), 0604);
    const std::string real = root.makeDir("program/real");
    test::writeText(real + "layout", "old");
    std::filesystem::remove(out + "AR670012.wed");
    std::filesystem::create_symlink(real + "layout", out + "AR670012.wed");
    ASSERT_EQ(run({"-s", "AR0100", "other/AR670012"}).status, 0);
    struct stat info {};
    EXPECT_EQ(::stat((out + "AR6700HT.bmp").c_str(), &info) == 0 ? info.st_mode & 0777 : 0u, 0604u);
    EXPECT_TRUE(std::filesystem::is_symlink(out + "AR670012.wed"));
    EXPECT_EQ(readBytes(real + "layout"), test::referenceConversion(area.wed, area.tis, "AR670012", false).wed);
}

TEST_F(EndToEnd, DeleteAfterACompleteRunOnly) {
    test::writeArea(dir, "AR0100", area);
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
        EXPECT_FALSE(test::fileExists(dir + name)) << name;
    }
    for (const std::string& name : test::companionNames("AR0100")) {
        EXPECT_FALSE(test::fileExists(dir + name)) << name;
    }
}

TEST_F(EndToEnd, OutputWedThatIsADirectoryStopsTheRun) {
    test::writeArea(dir, "AR0100", area);
    root.makeDir("program/AR2600.wed");
    const auto result = run({"-d", "-s", "AR0100", "AR2600"});
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.output, text("\nError :\t Cannot create output area WED file\n\n\n"));
    // Silent or not, the system's reason follows on standard error.
    EXPECT_EQ(result.errors.rfind("wedmorph: " + program.shown(dir + "AR2600.wed") + ": ", 0), 0u) << result.errors;
    expectUnchanged("AR0100", area);
    EXPECT_FALSE(test::fileExists(dir + "AR2600.mos"));
}

// Every way a name can lead an output onto an input (the same name, another
// letter case, a symbolic or a hard link): the write fails as that output's
// own failure, nothing is deleted, and every input keeps its bytes. An output
// never lands on another output either. A log made a link is left alone: no
// file of another area changes, and no run leaves an empty area file behind.
TEST_F(EndToEnd, NoOutputLandsOnAnInputByAnyName) {
    enum class Made { Nothing, Copy, SymbolicLink, HardLink, Folder };
    struct Case {
        Made made;
        std::string name;  // beside the area
        std::string to;    // the file it copies or leads to
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    const std::string createWed = "\nError :\t Cannot create output area WED file\n\n\n";
    const std::string saveTis = "\nError :\t Cannot save output area TIS file\n\n\n";
    auto warning = [](const std::string& file) { return "\n\nWarning :\t Cannot handle area " + file + " file\n"; };
    const std::vector<Case> cases = {
        {Made::Nothing, "", "", {"-d", "AR0100", "AR0100"}, 255, createWed},
        {Made::Nothing, "", "", {"-d", "AR0100", "ar0100"}, 255, createWed},
        {Made::Copy, "ar0100.wed", "AR0100.wed", {"-d", "AR0100", "ar0100"}, 255, createWed},
        {Made::SymbolicLink, "out/AR2600.wed", "AR0100.tis", {"-d", "AR0100", "out/AR2600"}, 255, createWed},
        {Made::HardLink, "out/AR2600.wed", "AR0100.tis", {"-d", "AR0100", "out/AR2600"}, 255, createWed},
        {Made::SymbolicLink, "AR2600.tis", "AR0100.tis", {"-d", "AR0100", "AR2600"}, 255, saveTis},
        {Made::HardLink, "AR2600.tis", "AR0100.wed", {"-d", "AR0100", "AR2600"}, 255, saveTis},
        {Made::SymbolicLink, "AR2600.tis", "AR2600.wed", {"-d", "AR0100", "AR2600"}, 255, saveTis},
        {Made::SymbolicLink, "AR2600.mos", "AR0100.mos", {"AR0100", "AR2600"}, 0, warning("MOS")},
        {Made::HardLink, "AR2600.mos", "AR0100.tis", {"AR0100", "AR2600"}, 0, warning("MOS")},
        {Made::SymbolicLink, "AR2600SR.bmp", "AR0100.wed", {"AR0100", "AR2600"}, 0, warning("_SR.bmp")},
        {Made::HardLink, "AR2600HT.bmp", "AR0100LM.bmp", {"AR0100", "AR2600"}, 0, warning("_HT.bmp")},
        {Made::Nothing, "", "", {"AR0100", "ar01009"}, 0, warning("_LM.bmp")},
        // On a case-sensitive volume `PROGRAM` is a folder of its own, yet counts as the input's.
        {Made::Folder, "../PROGRAM", "", {"-d", "AR0100", "../PROGRAM/AR0100"}, 255, createWed},
        // The log never lands on an input, and no output lands on the log.
        {Made::SymbolicLink, "wedmorph.log", "AR0100.tis", {"-l", "AR0100", "AR2600"}, 0, "done."},
        {Made::HardLink, "wedmorph.log", "AR0100.wed", {"-l", "AR0100", "AR2600"}, 0, "done."},
        {Made::SymbolicLink, "AR2600.tis", "wedmorph.log", {"-l", "-d", "AR0100", "AR2600"}, 255, saveTis},
        // A log made a link is not written, and nothing is made where it points.
        {Made::SymbolicLink, "wedmorph.log", "AR2600.tis", {"-l", "AR0100", "AR2600"}, 0, "done."},
        {Made::SymbolicLink, "wedmorph.log", "AR2600HT.bmp", {"-l", "AR0100", "AR2600"}, 0, "done."},
        {Made::SymbolicLink, "wedmorph.log", "ar0100.tis", {"-l", "ar0100", "AR2600"}, 0, "done."},
        {Made::HardLink, "wedmorph.log", "AR0200.tis", {"-l", "AR0100", "AR2600"}, 0, "done."},
    };
    for (const Case& c : cases) {
        // Wine shows a link to a file not yet there as no file at all, which the
        // run then replaces; Windows' own links are reparse points, refused.
        if (program.windows() && c.made == Made::SymbolicLink && c.to == "AR2600.wed") continue;
        std::filesystem::remove_all(root.path() + "program/out");
        for (const std::string& name : test::listDir(dir)) {
            if (name != "wedmorph" && name != "wedmorph.exe") std::filesystem::remove(dir + name);
        }
        test::writeArea(dir, "AR0100", area);
        test::writeArea(dir, "AR0200", area, false);
        root.makeDir("program/out");
        std::map<std::string, std::vector<std::uint8_t>> inputs;
        for (const std::string& name : test::listDir(dir)) {
            if (name.rfind("AR0", 0) == 0) inputs[name] = readBytes(dir + name);  // AR0200 too
        }
        const std::string made = dir + c.name, to = dir + c.to;
        switch (c.made) {
            case Made::Nothing: break;
            case Made::Copy: std::filesystem::copy_file(to, made); break;
            case Made::SymbolicLink: std::filesystem::create_symlink(to, made); break;
            case Made::HardLink: std::filesystem::create_hard_link(to, made); break;
            case Made::Folder: std::filesystem::create_directory(made); break;
        }
        const auto result = run(c.arguments);
        const std::string what = c.name + " -> " + c.to + " " + c.arguments.back();
        EXPECT_EQ(result.status, c.status) << what;
        EXPECT_NE(result.output.find(text(c.message)), std::string::npos) << what << result.output;
        for (const auto& [name, bytes] : inputs) EXPECT_EQ(readBytes(dir + name), bytes) << what << ": " << name;
        for (const std::string& name : test::listDir(dir)) {
            const auto entry = std::filesystem::symlink_status(dir + name);
            const bool empty = is_regular_file(entry) && std::filesystem::is_empty(dir + name);
            EXPECT_FALSE(empty && name != "wedmorph.log") << what << ": " << name;
        }
    }
}

TEST_F(EndToEnd, BitmapsSharedByTwoAreasInOneFolderAreKept) {
    test::writeArea(dir, "AR0100", area);
    const auto bitmap = readBytes(dir + "AR0100HT.bmp");
    const auto result = run({"-d", "AR0100", "AR01009"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find(text("\n\nWarning :\t Cannot handle area _HT.bmp file\n")), std::string::npos);
    EXPECT_EQ(readBytes(dir + "AR0100HT.bmp"), bitmap);
    EXPECT_TRUE(test::fileExists(dir + "AR0100LN.bmp"));
    EXPECT_FALSE(test::fileExists(dir + "AR0100.wed"));
    EXPECT_TRUE(test::fileExists(dir + "AR01009.mos"));

    // A night area (AR0100B) still names the bitmaps of the day area it shares them with.
    const std::string other = root.makeDir("program/other");
    test::writeArea(other, "AR0100A", area);
    test::writeArea(other, "ar0100b", area, false);
    const auto shared = run({"-d", "other/AR0100A", "other/AR2600"});
    EXPECT_EQ(shared.status, 0);
    EXPECT_NE(shared.output.find(text("\nWarning :\t Cannot delete source area _SR.bmp file\n")), std::string::npos);
    for (const char* kind : {"HT", "LM", "LN", "SR"}) {
        EXPECT_EQ(readBytes(other + "AR0100" + kind + ".bmp"), readBytes(other + "AR2600" + kind + ".bmp")) << kind;
    }
    EXPECT_FALSE(test::fileExists(other + "AR0100A.mos"));

    // Where names keep their case, the input's name in another case is another area.
    if (program.windows()) return;
    const std::string cased = root.makeDir("program/cased");
    test::writeArea(cased, "3t0ur8dp", area);
    test::writeArea(cased, "3T0UR8DP", area, false);
    EXPECT_EQ(run({"-d", "cased/3t0ur8dp", "cased/AR2600"}).status, 0);
    EXPECT_TRUE(test::fileExists(cased + "3t0ur8HT.bmp"));
    EXPECT_FALSE(test::fileExists(cased + "3t0ur8dp.wed"));
    // An input WED that is a link to another area's WED: that area keeps its bitmaps.
    test::writeArea(cased, "3T0UR8D2", area, false);
    std::filesystem::remove(cased + "3T0UR8D2.wed");
    std::filesystem::create_symlink(cased + "3T0UR8DP.wed", cased + "3T0UR8D2.wed");
    EXPECT_EQ(run({"-d", "cased/3T0UR8D2", "cased/AR2700"}).status, 0);
    EXPECT_TRUE(test::fileExists(cased + "3T0UR8DP.wed") && test::fileExists(cased + "3t0ur8HT.bmp"));
}

// Two "-d" runs in one folder, one converting AR0100 to AR0200 while the
// other converts AR0200 to AR0400, started up to 12 ms apart either way:
// whatever the timing, no signal ends a run, every area left is whole and
// exactly what its conversion gives, and the tileset is never lost.
TEST_F(EndToEnd, TwoRunsInOneFolderLoseNothing) {
    const auto first = test::referenceConversion(area.wed, area.tis, "AR0200", false);
    const auto second = test::referenceConversion(first.wed, first.tis, "AR0400", false);
    const struct {
        const char* name;
        const std::vector<std::uint8_t>& wed;
        const std::vector<std::uint8_t>& tis;
    } areas[] = {{"AR0100", area.wed, area.tis}, {"AR0200", first.wed, first.tis}, {"AR0400", second.wed, second.tis}};
    const std::string toSecond = "cd '" + dir + "' && " + program.command({"-s", "-d", "AR0100", "AR0200"}).line;
    const std::string toThird = "cd '" + dir + "' && " + program.command({"-s", "-d", "AR0200", "AR0400"}).line;
    const int pairs = emulated() ? 6 : 200;  // a start under an emulator costs a second
    for (int pair = 0; pair < pairs; ++pair) {
        for (const std::string& name : test::listDir(dir)) {
            if (name != "wedmorph" && name != "wedmorph.exe") std::filesystem::remove(dir + name);
        }
        test::writeArea(dir, "AR0100", area);
        const bool secondFirst = pair % 2 == 0;
        const pid_t one = startCommand(secondFirst ? toSecond : toThird);
        ::usleep(static_cast<useconds_t>(pair * 7 % 13) * 1000);
        const pid_t other = startCommand(secondFirst ? toThird : toSecond);
        const int statusOne = waitForCommand(one), statusOther = waitForCommand(other);
        const std::string what = "pair " + std::to_string(pair);
        for (int status : {statusOne, statusOther}) EXPECT_TRUE(status == 0 || status == 255) << what << ": " << status;
        int whole = 0;
        for (const auto& a : areas) {
            const bool hasWed = test::fileExists(dir + a.name + ".wed"), hasTis = test::fileExists(dir + a.name + ".tis");
            EXPECT_EQ(hasWed, hasTis) << what << ": " << a.name;
            if (!hasWed || !hasTis) continue;
            ++whole;
            EXPECT_EQ(readBytes(dir + a.name + ".wed"), a.wed) << what << ": " << a.name;
            EXPECT_EQ(readBytes(dir + a.name + ".tis"), a.tis) << what << ": " << a.name;
        }
        EXPECT_GE(whole, 1) << what << ": the tileset is nowhere";
        if (HasFailure()) return;
    }
}

// A console that goes away (a pipe into `head`) never ends a run.
// A run killed at any moment leaves each output name old or new, never a
// file in part, and a new WED only in a whole new area; the same command
// again finishes the area and takes away what the killed run left.
TEST_F(EndToEnd, RunKilledAnywhereLeavesTheAreaOldOrNewAndTheSameCommandFinishesIt) {
    areagen::SampleOptions options;
    options.width = 60;
    options.height = 40;
    const areagen::SampleArea sample = areagen::makeSampleArea(options);
    const test::AreaFiles input{areagen::buildWed(sample.wed), areagen::buildTis(sample.tiles, false)};
    const auto converted = test::referenceConversion(input.wed, input.tis, "AR2600", false);
    const std::string line = "cd '" + dir + "' && exec " + program.command({"-s", "-d", "AR0100", "AR2600"}).line;
    const int kills = emulated() ? 3 : 12;
    std::chrono::microseconds whole{0};
    for (int k = -1; k < kills; ++k) {  // the first run, whole, takes the time to spread the kills over
        for (const std::string& name : test::listDir(dir)) {
            if (name != "wedmorph" && name != "wedmorph.exe") std::filesystem::remove(dir + name);
        }
        test::writeArea(dir, "AR0100", input);
        test::writeArea(dir, "AR2600", area);
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = startCommand(line);
        if (k < 0) {
            ASSERT_EQ(waitForCommand(pid), 0);
            whole = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
            continue;
        }
        std::this_thread::sleep_for(whole * k / kills);
        ::kill(pid, SIGKILL);
        waitForCommand(pid);
        const std::string what = "killed at " + std::to_string(k) + "/" + std::to_string(kills);
        const auto wed = readBytes(dir + "AR2600.wed"), tis = readBytes(dir + "AR2600.tis");
        EXPECT_TRUE(wed == area.wed || (wed == converted.wed && tis == converted.tis)) << what;
        EXPECT_TRUE(tis == area.tis || tis == converted.tis) << what;
        const bool inputLeft = test::fileExists(dir + "AR0100.wed");
        EXPECT_EQ(waitForCommand(startCommand(line)) == 0, inputLeft) << what;
        EXPECT_EQ(readBytes(dir + "AR2600.tis"), converted.tis) << what;
        for (const std::string& name : test::listDir(dir)) EXPECT_FALSE(name.ends_with("~")) << what << ": " << name;
    }
}

TEST_F(EndToEnd, ConsoleThatGoesAwayNeverEndsTheRun) {
    areagen::SampleOptions options;
    options.width = 40;
    options.height = 30;
    ASSERT_TRUE(areagen::writeSampleArea(dir, "AR0100", options));
    test::ProgramRunner::Command command = program.command({"-d", "AR0100", "AR2600"});
    command.line = "{ " + command.line + "; echo $? > '" + root.path() + "status'; } | head -c 10";
    test::ProgramRunner::runCommand(command);
    EXPECT_EQ(test::readText(root.path() + "status"), "0\n");
    EXPECT_TRUE(test::fileExists(dir + "AR2600.tis"));
    EXPECT_FALSE(test::fileExists(dir + "AR0100.tis"));
}

// Ctrl-C (under Wine, the console event it becomes) and SIGTERM, sent once
// the run has made its temporaries, cancel it before its commit; a hang-up
// never ends a run. Wine ends the program on SIGTERM and SIGHUP: they are
// sent natively only.
TEST_F(EndToEnd, InterruptionCancelsTheRunBeforeItsCommit) {
    areagen::SampleOptions options;
    options.width = 128;  // 60 MB of tiles: still being written when the signal comes
    options.height = 96;
    ASSERT_TRUE(areagen::writeSampleArea(dir, "AR0100", options));
    test::writeArea(dir, "AR2600", area);
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const std::string& name : test::listDir(dir)) files[name] = readBytes(dir + name);
    const std::string line = "cd '" + dir + "' && exec " + program.command({"-d", "AR0100", "AR2600"}).line;
    // Last, a console that no longer reads (a pipe nobody empties) holds the
    // run in a write: the interruption still ends it.
    const std::string stalled = root.path() + "stalled";
    ASSERT_EQ(::mkfifo(stalled.c_str(), 0600), 0);
    const int unread = ::open(stalled.c_str(), O_RDWR);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, -SIGTERM}) {
        if (program.windows() && signal != SIGINT) continue;
        for (const auto& [name, bytes] : files) test::writeBytes(dir + name, bytes);
        const pid_t run = startCommand(line, signal < 0 ? stalled : root.path() + "output");
        for (int n = 0; n < 300000 && !test::fileExists(dir + "AR2600.ti~"); ++n) ::usleep(100);
        if (signal < 0) ::usleep(300000);  // the progress lines fill the pipe
        ::kill(run, std::abs(signal));
        const int status = waitForCommand(run);
        const std::string output = test::readText(root.path() + "output");
        for (const std::string& name : test::listDir(dir)) EXPECT_FALSE(name.ends_with("~")) << signal << ": " << name;
        EXPECT_EQ(status, signal == SIGHUP ? 0 : 255) << signal << output;
        if (signal == SIGHUP) continue;  // a complete run: its sources are gone
        EXPECT_TRUE(signal < 0 || output.find(text("\nError :\t Run interrupted, output area left as it was\n\n\n")) !=
                                      std::string::npos) << signal << output;
        for (const auto& [name, bytes] : files) EXPECT_EQ(readBytes(dir + name), bytes) << signal << ": " << name;
    }
    ::close(unread);
}

// On a full copy-on-write disk the WED copy shares its blocks with the input
// and its first changed byte needs a new block: a write that fails, reported,
// never a signal. Needs root and btrfs tools to make such a disk.
TEST_F(EndToEnd, FullCopyOnWriteDiskFailsWithAMessage) {
    const std::string image = root.path() + "disk.img", mounted = root.makeDir("disk");
    if (::geteuid() != 0 ||
        std::system(("truncate -s 160M '" + image + "' && mkfs.btrfs -q '" + image + "' >/dev/null 2>&1 && mount -o loop '" +
                     image + "' '" + mounted + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "no copy-on-write file system can be mounted here (needs root, a loop device and mkfs.btrfs)";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { std::system(("umount '" + path + "'").c_str()); }
    } unmount{mounted};
    test::ProgramRunner onDisk(mounted);
    areagen::SampleOptions options;
    options.width = 24;
    options.height = 16;
    ASSERT_TRUE(areagen::writeSampleArea(mounted, "AR0100", options));
    const test::AreaFiles in{readBytes(mounted + "AR0100.wed"), readBytes(mounted + "AR0100.tis")};
    std::system(("dd if=/dev/zero of='" + mounted + "filler' bs=1M >/dev/null 2>&1; sync").c_str());
    const auto result = onDisk.run({"-d", "AR0100", "AR2600"});
    EXPECT_EQ(result.status, 255) << result.output;
    EXPECT_NE(result.output.find("Error :\t "), std::string::npos) << result.output;
    EXPECT_EQ(readBytes(mounted + "AR0100.wed"), in.wed);
    EXPECT_EQ(readBytes(mounted + "AR0100.tis"), in.tis);
}

// exFAT under FUSE gives `game` and `GAME` two identities: only the resolved
// paths tell that the output folder is the input's. Needs root, /dev/fuse, a
// loop device, mkfs.exfat and exfat-fuse.
TEST_F(EndToEnd, InputFolderSpelledOtherwiseOnExfatUnderFuseIsRefused) {
    if (program.windows()) GTEST_SKIP() << "Wine looks folders up on its own, finding every spelling as one";
    const std::string image = root.path() + "exfat.img", mounted = root.makeDir("exfat"), game = mounted + "game/";
    // A crashed daemon leaves a mount that only a lazy unmount takes away.
    struct Unmount {
        std::string path;
        ~Unmount() { std::system(("umount '" + path + "' 2>/dev/null || umount -l '" + path + "' 2>/dev/null").c_str()); }
    } unmount{mounted};
    struct stat lower {}, upper {};
    if (::geteuid() != 0 || ::access("/dev/fuse", W_OK) != 0 ||
        std::system(("(truncate -s 16M '" + image + "' && mkfs.exfat '" + image + "' && mount -t exfat-fuse -o loop '" +
                     image + "' '" + mounted + "' && mkdir -p '" + game + "sub') >/dev/null 2>&1").c_str()) != 0 ||
        ::stat(game.c_str(), &lower) != 0 || ::stat((mounted + "GAME").c_str(), &upper) != 0 ||
        lower.st_ino == upper.st_ino) {
        GTEST_SKIP() << "no exFAT under FUSE giving `game` and `GAME` two identities (needs root, /dev/fuse, a loop "
                        "device, mkfs.exfat and exfat-fuse)";
    }
    test::ProgramRunner onDisk(game);
    for (const auto& [at, arguments] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {game, {"-d", "AR0100", "../GAME/AR0100"}}, {game + "sub/", {"-d", "sub/AR0100", "./SUB/ar0100"}}}) {
        test::writeArea(at, "AR0100", area);
        auto files = [&at = at] {
            std::map<std::string, std::vector<std::uint8_t>> all;
            for (const std::string& name : test::listDir(at)) all[name] = readBytes(at + name);
            return all;
        };
        const auto before = files();
        const auto result = onDisk.run(arguments);
        EXPECT_EQ(result.status, 255) << result.output;
        EXPECT_NE(result.output.find("Cannot create output area WED file"), std::string::npos) << result.output;
        EXPECT_EQ(files(), before) << arguments.back() << ": nothing written, every input as it was";
    }
}

TEST_F(EndToEnd, AreaFilesAreFoundInAnyLetterCase) {
    test::writeBytes(dir + "AR0100.WED", area.wed);
    test::writeBytes(dir + "ar0100.tis", area.tis);
    ASSERT_EQ(run({"-s", "Ar0100", "AR2600"}).status, 0);
    const auto expected = test::referenceConversion(area.wed, area.tis, "AR2600", false);
    EXPECT_EQ(readBytes(dir + "AR2600.tis"), expected.tis);
}

TEST_F(EndToEnd, AreasAreFoundBesideTheProgramWhereverItIsStartedFrom) {
    test::writeArea(dir, "AR0100", area);
    const std::string elsewhere = root.makeDir("elsewhere");
    test::ProgramRunner::Command command = program.command({"-s", "AR0100", "AR2600"});
    command.workingDir = elsewhere;
    EXPECT_EQ(test::ProgramRunner::runCommand(command).status, 0);
    EXPECT_TRUE(test::fileExists(dir + "AR2600.tis"));
    EXPECT_FALSE(test::fileExists(elsewhere + "AR2600.tis"));
}

// A folder too long for the area paths is refused whole, never cut to its
// parent: the parent's area of the same name is left alone.
TEST_F(EndToEnd, ProgramInAFolderTooLongForItsPathsIsRefused) {
    const std::string parent = root.makeDir("p");
    test::writeArea(parent, "AR0100", area);
    const std::string longDir = root.makeDir("p/" + std::string(250, 'x'));
    test::ProgramRunner longProgram(longDir);
    const auto result = longProgram.run({"-l", "-d", "AR0100", "AR2600"});
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.output, text(kUsage + "\nError :\t Area path is too long\n\n\n"));
    expectUnchanged("../p/AR0100", area);
    EXPECT_EQ(test::listDir(parent).size(), 8u) << "the area's seven files and the long folder";
    EXPECT_EQ(test::listDir(longDir).size(), 1u) << "the program alone: no log";
}

TEST_F(EndToEnd, ProgramDirectoryIsThatOfTheRealFileNotOfALinkToIt) {
    if (program.windows()) GTEST_SKIP() << "a Windows program is started by its own path";
    test::writeArea(dir, "AR0100", area);
    const std::string elsewhere = root.makeDir("elsewhere");
    std::filesystem::create_symlink(program.programPath(), elsewhere + "wm");
    const auto result =
        test::ProgramRunner::runCommand({elsewhere, program.launchPrefix() + "./wm -s AR0100 AR2600"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(test::fileExists(dir + "AR2600.tis"));
    EXPECT_FALSE(test::fileExists(elsewhere + "AR2600.tis"));
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
        ASSERT_EQ(test::ProgramRunner::runCommand({nativeDir, line}).status, 0);
    }
    std::vector<std::string> names = test::listDir(nativeDir);
    names.erase(std::remove(names.begin(), names.end(), "wedmorph"), names.end());
    for (const std::string& name : names) {
        EXPECT_EQ(readBytes(dir + name), readBytes(nativeDir + name)) << name;
    }
}

}  // namespace
}  // namespace wedmorph
