#include <gtest/gtest.h>

#include <chrono>
#include <system_error>
#include <thread>

#if !defined(_WIN32)
#include <fcntl.h>

#include "platform/posix/SystemCalls.h"
#endif

#include "driver/RunConversion.h"
#include "support/Areas.h"
#include "support/ReferenceConversion.h"
#include "support/TempDir.h"
#include "support/UsageText.h"
#include "support/TestPlatform.h"

namespace wedmorph {
namespace {

using test::Op;

const std::string& kUsage = test::kUsageScreen;

const std::string kLogHeader =
    "----------------------------------------\nLocal time is: Sun Dec 06 09:05:03 2026\n";

class RunTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::TestPlatform platform;
    test::TestMemory memory;
    test::AreaFiles area = test::smallWaterArea(false);

    void SetUp() override { test::writeArea(dir.path(), "AR0100", area); }

    int run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), dir / "wedmorph");
        return runConversion(arguments, platform, memory);
    }

    // The log as the program meant it: text mode turns "\n" into the system's line end.
    std::string log() {
        std::string text = test::readText(dir / "wedmorph.log");
        if (test::kTextNewline == "\n") return text;
        std::string plain;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, 2, "\r\n") == 0) continue;
            plain += text[i];
        }
        return plain;
    }

    std::string rawLog() { return test::readText(dir / "wedmorph.log"); }

    void expectInputsUnchanged() {
        EXPECT_EQ(test::readBytes(dir / "AR0100.wed"), area.wed);
        EXPECT_EQ(test::readBytes(dir / "AR0100.tis"), area.tis);
        for (const std::string& name : test::companionNames("AR0100")) {
            EXPECT_TRUE(test::fileExists(dir / name)) << name;
        }
    }

    void expectNothingHeld() {
        EXPECT_TRUE(platform.nothingOpen()) << platform.openFiles() << " files, "
                                            << platform.openViews() << " views";
        EXPECT_EQ(memory.held(), 0);
    }

    std::string report(bool header) {
        const std::string d = dir.path();
        return "\n[Source]: " + d + "AR0100.wed, V1.3" + "\n          " + d + "AR0100.tis, no header" +
               "\n[Output]: " + d + "AR2600.wed, V1.3" + "\n          " + d + "AR2600.tis, " +
               (header ? "header" : "no header") + "\n" +
               "\n Basic tiles number: \t\t4\n Doors extra tiles number: \t1"
               "\n Animations extra tiles number: 0";
    }
};

TEST_F(RunTest, NoArgumentsShowsTheUsageScreenAlone) {
    EXPECT_EQ(runConversion({dir / "wedmorph"}, platform, memory), 0);
    EXPECT_EQ(platform.console(), kUsage);
    EXPECT_FALSE(test::fileExists(dir / "wedmorph.log"));
}

TEST_F(RunTest, LogOptionAloneLogsTheEmptyInputError) {
    EXPECT_EQ(run({"-l"}), -1);
    EXPECT_EQ(platform.console(), kUsage + "\nError :\t Empty input area name\n\n\n");
    EXPECT_EQ(log(), kLogHeader + "\nError :\t Empty input area name\n\n");
}

TEST_F(RunTest, ErrorsShowEvenWhenSilent) {
    EXPECT_EQ(run({"-s", "AR3300"}), -1);
    EXPECT_EQ(platform.console(), kUsage + "\nError :\t Empty output area name\n\n\n");
}

TEST_F(RunTest, ChecksOfTheAreasFailAfterTheUsageScreen) {
#if defined(_WIN32)
    const std::string hidden = "HIDDEN";
#else
    const std::string hidden = ".hidden";
#endif
    test::writeText(dir / (hidden + ".wed"), "x");
    test::writeText(dir / (hidden + ".tis"), "x");
    test::setHidden(dir / (hidden + ".wed"));
    test::writeText(dir / "NOTIS.wed", "x");
    dir.makeDir("AR0200.wed");
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"nowhere/AR0100", "AR2600"}, "\nError :\t Invalid input area directory\n\n"},
        {{"AR0100", "nowhere/AR2600"}, "\nError :\t Invalid output area directory\n\n"},
        {{"AR0999", "AR2600"}, "\nError :\t Invalid input area name\n\n"},
        {{hidden, "AR2600"}, "\nError :\t Invalid input area name\n\n"},
        {{"AR0200", "AR2600"}, "\nError :\t Invalid input area name\n\n"},
        {{"NOTIS", "AR2600"}, "\nError :\t Cannot find input area TIS file\n\n"},
        {{"AR0100123", "AR2600"}, "\nError :\t Input area name is longer than 8 characters\n\n"},
        {{"AR0100", "AR2600123"}, "\nError :\t Output area name is longer than 8 characters\n\n"},
        {{std::string(255, 'd') + "/AR0100", "AR2600"}, "\nError :\t Area path is too long\n\n"},
        {{"AR0100", std::string(240, 'd') + "/AR2600"}, "\nError :\t Area path is too long\n\n"},
    };
    for (const Case& c : cases) {
        platform.clearConsole();
        EXPECT_EQ(run(c.arguments), -1) << c.message;
        EXPECT_EQ(platform.console(), kUsage + c.message + "\n");
        expectNothingHeld();
    }
    EXPECT_FALSE(test::fileExists(dir / "AR2600.wed"));
    expectInputsUnchanged();
}

TEST_F(RunTest, OpeningAndMappingFailuresReleaseWhatIsHeld) {
    struct Case {
        Op op;
        std::string path;  // the file whose operation fails
        std::string message;
    };
    const std::string writeWed = "\nError :\t Cannot write output area WED file\n\n";
    const std::string writeTis = "\nError :\t Cannot write output area TIS file\n\n";
    const std::vector<Case> cases = {
        {Op::OpenInput, "AR0100.wed", "\nError :\t Cannot open input area WED file\n\n"},
        {Op::Identify, "AR0100.wed", "\nError :\t Cannot open input area WED file\n\n"},
        {Op::Map, "AR0100.wed", "\nError :\t Cannot map input area WED file\n\n"},
        {Op::OpenInput, "AR0100.tis", "\nError :\t Cannot open input area TIS file\n\n"},
        {Op::Map, "AR0100.tis", "\nError :\t Cannot map input area TIS file\n\n"},
        {Op::OpenOutput, "AR2600.wed", "\nError :\t Cannot create output area WED file\n\n"},
        {Op::OpenOutput, "AR2600.tis", "\nError :\t Cannot save output area TIS file\n\n"},
        {Op::Copy, "AR0100.wed", writeWed},
        {Op::Write, "AR2600.wed", writeWed},
        {Op::Flush, "AR2600.wed", writeWed},
        {Op::Reserve, "AR2600.tis", writeTis},
        {Op::Read, "AR0100.tis", writeTis},
        {Op::Write, "AR2600.tis", writeTis},
        {Op::ShortWrite, "AR2600.tis", writeTis},
        {Op::Flush, "AR2600.tis", writeTis},
    };
    for (const Case& c : cases) {
        test::TestPlatform faulty;
        faulty.failOnPath(c.op, c.path);
        test::TestMemory counted;
        const int status = runConversion({dir / "wedmorph", "-s", "-d", "-h", "-l", "AR0100", "AR2600"},
                                         faulty, counted);
        const std::string what = std::string(test::opName(c.op)) + " " + c.path;
        EXPECT_EQ(status, -1) << what;
        EXPECT_EQ(faulty.console(), c.message + "\n") << what;
        // The reason concerns the failing file, or for the copy the output WED; a short write has none.
        const std::string reported = c.op == Op::Copy ? "AR2600.wed" : c.path;
        const std::vector<std::pair<std::string, std::error_code>> reason = {
            {"wedmorph: " + dir / reported + ": ", test::TestPlatform::kInjected}};
        EXPECT_EQ(faulty.errors(), c.op == Op::ShortWrite ? decltype(reason){} : reason) << what;
        EXPECT_TRUE(faulty.nothingOpen()) << what;
        EXPECT_EQ(counted.held(), 0) << what;
        expectInputsUnchanged();
        // A failed run leaves none of the files it created.
        for (const char* output : {"AR2600.wed", "AR2600.tis", "AR2600.mos", "AR2600SR.bmp"}) {
            EXPECT_FALSE(test::fileExists(dir / output)) << what << " " << output;
        }
        const std::string logText = log();
        EXPECT_EQ(logText.substr(logText.size() - c.message.size()), c.message) << what;
    }
    // Both outputs unwritable: the WED's failure is told, after the pass's progress.
    test::TestPlatform both;
    both.failOn(Op::Write);
    EXPECT_EQ(runConversion({dir / "wedmorph", "AR0100", "AR2600"}, both), -1);
    EXPECT_TRUE(both.console().ends_with(writeWed + "\n"));
    EXPECT_NE(both.console().find("\rTiles processed:"), std::string::npos);
}

// A run that a system call's failure ends gives, silent or not, the system's
// own code for it on standard error, with the file it concerns.
TEST_F(RunTest, RunEndedByAFailingSystemCallReportsTheSystemsCode) {
    test::writeArea(dir.path(), "AR2600", area, false);
    std::vector<std::pair<std::string, std::error_code>> reported;
    const auto runFailing = [&](const std::string& file, int code) {
        EXPECT_EQ(run({"-s", "AR0100", "AR2600"}), -1) << code;
        reported.emplace_back("wedmorph: " + dir / file + ": ", std::error_code(code, std::system_category()));
        EXPECT_EQ(platform.errors(), reported);
        expectNothingHeld();
    };
    {
        // Held by another run, for real.
        const FileHandle other = nativePlatform().openForWriting(dir / "AR2600.wed", WriteOpen::Existing).file;
#if defined(_WIN32)
        runFailing("AR2600.wed", 32);  // ERROR_SHARING_VIOLATION
#else
        runFailing("AR2600.wed", EWOULDBLOCK);
#endif
        nativePlatform().closeFile(other);
    }
#if !defined(_WIN32)
    {
        static const auto realOpen = posix::systemCalls().open;
        const posix::ScopedSystemCall readOnly(&posix::SystemCalls::open, [](const char* path, int flags, mode_t mode) {
            if (!std::string_view(path).ends_with("AR2600.wed") || (flags & O_ACCMODE) == O_RDONLY) {
                return realOpen(path, flags, mode);
            }
            errno = EROFS;
            return -1;
        });
        runFailing("AR2600.wed", EROFS);
    }
#endif
#if defined(__linux__)
    const posix::ScopedSystemCall full(&posix::SystemCalls::fallocate, [](int, int, off_t, off_t) {
        errno = ENOSPC;
        return -1;
    });
    runFailing("AR2600.tis", ENOSPC);
#endif
    EXPECT_EQ(test::readBytes(dir / "AR2600.wed"), area.wed);
}

TEST_F(RunTest, EveryFailedAllocationEndsTheRunCleanly) {
    for (int failing = 1; failing <= 3; ++failing) {
        test::TestPlatform faulty;
        test::TestMemory counted;
        counted.failAt(failing);
        EXPECT_EQ(runConversion({dir / "wedmorph", "-s", "-d", "AR0100", "AR2600"}, faulty, counted), -1);
        EXPECT_EQ(faulty.console(), "\nError :\t Not enough memory\n\n\n");
        EXPECT_TRUE(faulty.nothingOpen());
        EXPECT_EQ(counted.held(), 0);
        expectInputsUnchanged();
    }
}

// Inputs that cannot be right are refused before any report line and before
// anything is written, and "-d" deletes nothing.
TEST_F(RunTest, MalformedInputsAreRefusedBeforeAnyReport) {
    auto withTileLength = [](std::vector<std::uint8_t> tis, std::uint32_t length, std::size_t size) {
        tis.resize(size);
        for (int i = 0; i < 4; ++i) tis[12 + i] = static_cast<std::uint8_t>(length >> (8 * i));
        return tis;
    };
    const test::AreaFiles headed = test::smallWaterArea(true);
    std::vector<std::uint8_t> cutWed = area.wed;
    cutWed.resize(100);  // cuts into the overlay table
    const std::string invalidWed = "\nError :\t Invalid input area WED file\n\n";
    const std::string invalidTis = "\nError :\t Invalid input area TIS file\n\n";
    const struct {
        std::string name;
        std::vector<std::uint8_t> wed, tis;
        std::string message;
    } cases[] = {
        {"CUTWED", cutWed, area.tis, invalidWed},
        {"ZEROWED", std::vector<std::uint8_t>(area.wed.size(), 0), area.tis, invalidWed},
        {"CUTTIS", area.wed, {'T', 'I', 'S', ' ', 'V', '1'}, invalidTis},
        {"PVRZ", area.wed, withTileLength(headed.tis, 12, 24 + 4 * 12),
         "\nError :\t Input area TIS file holds PVRZ tile references, not palette tiles\n\n"},
        {"TILELEN", area.wed, withTileLength(headed.tis, 4096, headed.tis.size()), invalidTis},
        {"FEWTILES", area.wed, std::vector<std::uint8_t>(area.tis.begin(), area.tis.begin() + 3 * 5120),
         "\nError :\t Input area TIS file holds fewer tiles than its WED uses\n\n"},
        // A tile for each cell, but not the door tile (4) that a cell names.
        {"FEWDOOR", area.wed, std::vector<std::uint8_t>(area.tis.begin(), area.tis.begin() + 4 * 5120),
         "\nError :\t Input area TIS file holds fewer tiles than its WED uses\n\n"},
    };
    for (const auto& c : cases) {
        test::writeArea(dir.path(), c.name, {c.wed, c.tis});
        platform.clearConsole();
        EXPECT_EQ(run({"-d", c.name, "AR2600"}), -1) << c.name;
        EXPECT_EQ(platform.console(), c.message + "\n") << c.name;
        EXPECT_EQ(test::readBytes(dir / (c.name + ".wed")), c.wed) << c.name;
        EXPECT_EQ(test::readBytes(dir / (c.name + ".tis")), c.tis) << c.name;
        EXPECT_FALSE(test::fileExists(dir / "AR2600.wed")) << c.name;
        expectNothingHeld();
    }
}

TEST_F(RunTest, EmptyInputFilesCannotBeMapped) {
    test::writeText(dir / "EMPTYW.wed", "");
    test::writeBytes(dir / "EMPTYW.tis", area.tis);
    test::writeBytes(dir / "EMPTYT.wed", area.wed);
    test::writeText(dir / "EMPTYT.tis", "");
    EXPECT_EQ(run({"EMPTYW", "AR2600"}), -1);
    EXPECT_EQ(platform.console(), "\nError :\t Cannot map input area WED file\n\n\n");
    platform.clearConsole();
    EXPECT_EQ(run({"EMPTYT", "AR2600"}), -1);
    EXPECT_EQ(platform.console(), "\nError :\t Cannot map input area TIS file\n\n\n");
    expectNothingHeld();
}

TEST_F(RunTest, CompleteRunReportsAndWritesTheConvertedArea) {
    EXPECT_EQ(run({"-h", "-l", "AR0100", "AR2600"}), 0);
    const std::string progress =
        "\rTiles processed:    1 of 4\rTiles processed:    2 of 4"
        "\rTiles processed:    3 of 4\rTiles processed:    4 of 4";
    EXPECT_EQ(platform.console(), report(true) + "\n" + progress +
                                      "\rTiles processed:    4 of 4 done.\nExtra 1 overlay tiles added.\n\n");
    EXPECT_EQ(log(), kLogHeader + report(true) + "\n Overlayed doors tiles number:  1\n" +
                         "\nTiles processed: 4 done.\nExtra 1 overlay tiles added.\n"
                         "----------------------------------------\n\n");
    const auto expected = test::referenceConversion(area.wed, area.tis, "AR2600", true);
    EXPECT_EQ(test::readBytes(dir / "AR2600.wed"), expected.wed);
    EXPECT_EQ(test::readBytes(dir / "AR2600.tis"), expected.tis);
    EXPECT_EQ(test::readBytes(dir / "AR2600.tis").size(), 30744u);
    expectInputsUnchanged();
    expectNothingHeld();
}

TEST_F(RunTest, SilentRunWithLogKeepsTheConsoleEmpty) {
    EXPECT_EQ(run({"AR0100", "-s", "AR2600", "-l"}), 0);
    EXPECT_EQ(platform.console(), "");
    EXPECT_NE(log().find("Extra 1 overlay tiles added."), std::string::npos);
    EXPECT_EQ(test::readBytes(dir / "AR2600.tis").size(), 30720u);
}

TEST_F(RunTest, LogIsAppendedAfterEarlierRuns) {
    test::writeText(dir / "wedmorph.log", "earlier run");
    EXPECT_EQ(run({"-l", "-s", "AR0100", "AR2600"}), 0);
    EXPECT_EQ(rawLog().rfind("earlier run" + test::withNewlines(kLogHeader, test::kTextNewline), 0), 0u);
}

TEST_F(RunTest, LogThatCannotBeOpenedIsLeftOut) {
    platform.failOn(Op::OpenLog);
    EXPECT_EQ(run({"-l", "AR0100", "AR2600"}), 0);
    EXPECT_FALSE(test::fileExists(dir / "wedmorph.log"));
    EXPECT_NE(platform.console().find("Extra 1 overlay tiles added."), std::string::npos);
}

TEST_F(RunTest, OptionsCountWhereverTheyStandAndAThirdAreaIsIgnored) {
    EXPECT_EQ(run({"AR0100", "AR2600", "AR9999", "-s", "-h", "-d"}), 0);
    EXPECT_EQ(platform.console(), "");
    EXPECT_EQ(test::readBytes(dir / "AR2600.tis").size(), 30744u);
    EXPECT_FALSE(test::fileExists(dir / "AR0100.wed"));
    EXPECT_FALSE(test::fileExists(dir / "AR9999.wed"));
}

TEST_F(RunTest, LookalikeOptionsAreAreaArguments) {
    EXPECT_EQ(run({"-x", "AR0100"}), -1);
    EXPECT_EQ(platform.console(), kUsage + "\nError :\t Invalid input area name\n\n\n");
    for (const std::string& op : platform.journal()) EXPECT_EQ(op.find("-x"), std::string::npos);
}

TEST_F(RunTest, CompanionsAreCopiedUnderTheOutputNames) {
    EXPECT_EQ(run({"-s", "AR0100", "AR260012"}), 0);
    const std::vector<std::string> in = test::companionNames("AR0100");
    const std::vector<std::string> out = {"AR260012.mos", "AR2600HT.bmp", "AR2600LM.bmp", "AR2600LN.bmp",
                                          "AR2600SR.bmp"};
    for (std::size_t k = 0; k < in.size(); ++k) {
        EXPECT_EQ(test::readBytes(dir / out[k]), test::readBytes(dir / in[k])) << out[k];
    }
}

TEST_F(RunTest, MissingCompanionsAreWarnedInOrderAndLnIsSilent) {
    for (const std::string& name : test::companionNames("AR0100")) std::remove((dir / name).c_str());
    EXPECT_EQ(run({"-l", "-d", "AR0100", "AR2600"}), 0);
    const std::string copies =
        "\n\nWarning :\t Cannot handle area MOS file\n"
        "\n\nWarning :\t Cannot handle area _HT.bmp file\n"
        "\n\nWarning :\t Cannot handle area _LM.bmp file\n"
        "\n\nWarning :\t Cannot handle area _SR.bmp file\n";
    const std::string deletions =
        "\nWarning :\t Cannot delete source area MOS file\n"
        "\nWarning :\t Cannot delete source area _HT.bmp file\n"
        "\nWarning :\t Cannot delete source area _LM.bmp file\n"
        "\nWarning :\t Cannot delete source area _SR.bmp file\n";
    const std::string& console = platform.console();
    const std::size_t copiesAt = console.find(copies);
    const std::size_t deletionsAt = console.find(deletions);
    ASSERT_NE(copiesAt, std::string::npos) << console;
    ASSERT_NE(deletionsAt, std::string::npos) << console;
    EXPECT_LT(copiesAt, console.find("Tiles processed"));
    EXPECT_LT(deletionsAt, console.find("done."));
    // In the log the warnings stand as they are, without the console's newline.
    EXPECT_NE(log().find("\n\nWarning :\t Cannot handle area MOS file\n\nWarning :\t Cannot handle area _HT.bmp file"),
              std::string::npos);
}

TEST_F(RunTest, DeletionRemovesTheSourcesAfterACompleteRun) {
    std::vector<Op> calls;
    platform.beforeCall = [&](Op op, const std::string&) { calls.push_back(op); };
    EXPECT_EQ(run({"-s", "-d", "AR0100", "AR2600"}), 0);
    // What the deletions need is known before the first flush, and nothing
    // but the deletions follows the last check of the outputs.
    const auto firstFlush = std::find(calls.begin(), calls.end(), Op::Flush);
    EXPECT_LT(std::find(calls.begin(), calls.end(), Op::List), firstFlush);
    const auto firstDelete = std::find(calls.begin(), calls.end(), Op::Delete);
    ASSERT_NE(firstDelete, calls.end());
    EXPECT_EQ(*std::prev(firstDelete), Op::Identify);
    EXPECT_TRUE(std::all_of(firstDelete, calls.end(), [](Op op) { return op == Op::Delete; }));
    EXPECT_EQ(test::listDir(dir.path()),
              (std::vector<std::string>{"AR2600.mos", "AR2600.tis", "AR2600.wed", "AR2600HT.bmp",
                                        "AR2600LM.bmp", "AR2600LN.bmp", "AR2600SR.bmp"}));
    // Deletion comes after the output TIS has taken its name.
    const auto& journal = platform.journal();
    const auto renamed = std::find(journal.begin(), journal.end(),
                                   "rename " + (dir / "AR2600.ti~") + " -> " + (dir / "AR2600.tis"));
    const auto deleted = std::find(journal.begin(), journal.end(), "delete " + (dir / "AR0100.wed"));
    EXPECT_LT(renamed, deleted);
}

// With "-d", the outputs must still be where the run put them before any
// source goes: an output TIS replaced under the run keeps the whole input
// area; a companion copy replaced keeps that companion's source alone.
TEST_F(RunTest, OutputsChangedUnderTheRunKeepTheirSources) {
#if defined(_WIN32)
    GTEST_SKIP() << "an output held without sharing cannot be renamed under the run";
#endif
    // The bitmap is written over in place, the same size: only its change time tells.
    for (const std::string changed : {"AR2600.tis", "AR2600.mos", "AR2600SR.bmp"}) {
        test::writeArea(dir.path(), "AR0100", area);
        test::TestPlatform changing;
        changing.beforeCall = [&](Op op, const std::string& path) {
            if (op != Op::Flush || path != dir.path()) return;  // the folder, after the renames
            if (changed.ends_with(".bmp")) {
                // Past the file system clock's tick, which may be coarse (a few ms).
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                test::writeBytes(dir / changed, std::vector<std::uint8_t>(test::readBytes(dir / changed).size()));
                return;
            }
            std::rename((dir / changed).c_str(), (dir / "moved").c_str());
            test::writeText(dir / changed, "another file");
        };
        const int status = runConversion({dir / "wedmorph", "-d", "AR0100", "AR2600"}, changing, memory);
        if (changed.ends_with(".tis")) {
            EXPECT_EQ(status, -1);
            EXPECT_NE(changing.console().find(
                          "\nError :\t Output area files were changed during the run, input area kept\n\n"),
                      std::string::npos);
            expectInputsUnchanged();
        } else {
            EXPECT_EQ(status, 0);
            const std::string kept = changed.ends_with(".mos") ? "AR0100.mos" : "AR0100SR.bmp";
            EXPECT_NE(changing.console().find(changed.ends_with(".mos")
                                                  ? "\nWarning :\t Cannot delete source area MOS file\n"
                                                  : "\nWarning :\t Cannot delete source area _SR.bmp file\n"),
                      std::string::npos);
            EXPECT_TRUE(test::fileExists(dir / kept));
            EXPECT_FALSE(test::fileExists(dir / "AR0100.wed"));
        }
        EXPECT_TRUE(changing.nothingOpen());
    }
}

// Without the program's own folder there is nowhere to work: the run stops
// and writes no log.
TEST_F(RunTest, ProgramFolderThatCannotBeFoundStopsTheRun) {
    EXPECT_EQ(runConversion({"", "-l", "AR0100", "AR2600"}, platform, memory), -1);
    EXPECT_EQ(platform.console(), kUsage + "\nError :\t Cannot find the program's own directory\n\n\n");
    EXPECT_FALSE(test::fileExists(dir / "wedmorph.log"));
    expectInputsUnchanged();
}

TEST_F(RunTest, FailedDeletionsAreWarningsOnly) {
    platform.failOn(Op::Delete);
    EXPECT_EQ(run({"-d", "AR0100", "AR2600"}), 0);
    const std::string& console = platform.console();
    EXPECT_NE(console.find("\nWarning :\t Cannot delete source area WED file\n"
                           "\nWarning :\t Cannot delete source area TIS file\n"
                           "\nWarning :\t Cannot delete source area MOS file\n"
                           "\nWarning :\t Cannot delete source area _HT.bmp file\n"
                           "\nWarning :\t Cannot delete source area _LM.bmp file\n"
                           "\nWarning :\t Cannot delete source area _SR.bmp file\n"),
              std::string::npos);
    expectInputsUnchanged();
}

TEST_F(RunTest, CompanionWhoseCopyFailedKeepsItsSource) {
    platform.failOnPath(Op::Copy, "AR0100HT.bmp");
    platform.failOnPath(Op::Copy, "AR0100LN.bmp");
    EXPECT_EQ(run({"-d", "AR0100", "AR2600"}), 0);
    EXPECT_TRUE(test::fileExists(dir / "AR0100HT.bmp"));
    EXPECT_TRUE(test::fileExists(dir / "AR0100LN.bmp"));
    EXPECT_FALSE(test::fileExists(dir / "AR0100LM.bmp"));
    const std::string& console = platform.console();
    EXPECT_NE(console.find("\n\nWarning :\t Cannot handle area _HT.bmp file\n"), std::string::npos);
    EXPECT_NE(console.find("\nWarning :\t Cannot delete source area _HT.bmp file\n"), std::string::npos);
}

}  // namespace
}  // namespace wedmorph
