// Broken inputs, failing operations and hostile names: every run ends in a
// complete conversion or a clear error, holds nothing afterwards, and leaves
// the input files as they were unless "-d" asked for them after a complete run.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "areagen/SampleArea.h"
#include "driver/RunConversion.h"
#include "formats/Wed.h"
#include "support/Areas.h"
#include "support/MemoryPlatform.h"
#include "support/ReferenceConversion.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace wedmorph {
namespace {

using test::MemoryPlatform;
using test::Op;

// A small area with an overlay, doors and an animated cell.
test::AreaFiles smallArea() {
    areagen::SampleOptions options;
    options.width = 3;
    options.height = 2;
    options.seed = 5;
    options.overlayPercent = 70;
    options.doorCells = 2;
    options.animatedCells = 1;
    const areagen::SampleArea area = areagen::makeSampleArea(options);
    return {areagen::buildWed(area.wed), areagen::buildTis(area.tiles, true)};
}

struct SweepRun {
    int status;
    MemoryPlatform platform;
};

SweepRun convertInMemory(const std::vector<std::uint8_t>& wed, const std::vector<std::uint8_t>& tis) {
    SweepRun run{0, {}};
    run.platform.folders = {"/program/"};
    run.platform.files["/program/AR0100.wed"] = wed;
    run.platform.files["/program/AR0100.tis"] = tis;
    run.status = runConversion({"/program/wedmorph", "-d", "-h", "AR0100", "AR2600"}, run.platform);
    return run;
}

// What a complete run must write; cut inputs that keep the same whole tiles
// give the same output, so it is worked out once for each.
const test::ReferenceOutput& expectedFor(const std::vector<std::uint8_t>& wed,
                                            const std::vector<std::uint8_t>& tis) {
    static std::map<std::pair<std::size_t, std::size_t>, test::ReferenceOutput> known;
    const std::size_t tiles = tis.size() < 24 ? 0 : (tis.size() - 24) / 5120 + 1;
    auto [at, added] = known.try_emplace({wed.size(), tiles});
    if (added) at->second = test::referenceConversion(wed, tis, "AR2600", true);
    return at->second;
}

void expectCompleteOrRefused(const SweepRun& run, const std::vector<std::uint8_t>& wed,
                             const std::vector<std::uint8_t>& tis, const std::string& error,
                             const std::string& what) {
    EXPECT_TRUE(run.platform.nothingOpen()) << what;
    const auto& files = run.platform.files;
    if (error.empty()) {
        ASSERT_EQ(run.status, 0) << what << run.platform.console;
        const auto& expected = expectedFor(wed, tis);
        EXPECT_EQ(files.at("/program/AR2600.wed"), expected.wed) << what;
        EXPECT_EQ(files.at("/program/AR2600.tis"), expected.tis) << what;
        EXPECT_EQ(files.count("/program/AR0100.wed"), 0u) << what;
    } else {
        ASSERT_EQ(run.status, -1) << what;
        EXPECT_EQ(run.platform.console, error + "\n") << what;
        EXPECT_EQ(files.at("/program/AR0100.wed"), wed) << what;
        EXPECT_EQ(files.at("/program/AR0100.tis"), tis) << what;
    }
}

TEST(TruncationSweep, EveryCutOfTheWed) {
    const test::AreaFiles area = smallArea();
    const std::uint32_t table = area.wed[16];
    const std::uint32_t tilemap = area.wed[table + 16] | area.wed[table + 17] << 8;
    const std::size_t tilemapEnd = tilemap + 10 * 6;
    for (std::size_t length = 0; length <= area.wed.size(); ++length) {
        const std::vector<std::uint8_t> wed(area.wed.begin(), area.wed.begin() + static_cast<long>(length));
        const SweepRun run = convertInMemory(wed, area.tis);
        std::string error;
        if (length == 0) {
            error = "\nError :\t Cannot map input area WED file\n\n";
        } else if (length < tilemapEnd) {
            error = "\nError :\t Invalid input area WED file\n\n";
        }
        expectCompleteOrRefused(run, wed, area.tis, error, "WED of " + std::to_string(length) + " bytes");
    }
}

TEST(TruncationSweep, EveryCutOfTheTis) {
    const test::AreaFiles area = smallArea();
    // A tile for each of the 3 x 2 cells, and every door tile a cell names.
    const WedImage wed{area.wed};
    const std::size_t needed = static_cast<std::size_t>(
        std::max(6, takeTileCensus(wed, *checkWedLayout(wed)).highestSecondaryTile + 1));
    for (std::size_t length = 0; length <= area.tis.size(); ++length) {
        const std::vector<std::uint8_t> tis(area.tis.begin(), area.tis.begin() + static_cast<long>(length));
        const SweepRun run = convertInMemory(area.wed, tis);
        std::string error;
        if (length == 0) {
            error = "\nError :\t Cannot map input area TIS file\n\n";
        } else if (length >= 3 && length < 24) {
            error = "\nError :\t Invalid input area TIS file\n\n";
        } else if (length < 24 + needed * 5120) {
            error = "\nError :\t Input area TIS file holds fewer tiles than its WED uses\n\n";
        }
        expectCompleteOrRefused(run, area.wed, tis, error, "TIS of " + std::to_string(length) + " bytes");
        if (HasFailure()) return;
    }
}

// Each platform operation of a full run with "-d" and "-l" over an existing
// area fails in turn, at each of its calls; or Ctrl-C comes just before the
// call, which cancels the run up to its first rename and no later.
class FaultSweep : public ::testing::Test {
protected:
    test::TempDir dir;
    test::AreaFiles area = test::smallWaterArea(true);
    test::AreaFiles old = test::smallWaterArea(false);

    void SetUp() override { test::writeArea(dir.path(), "AR0100", area); }

    std::vector<std::string> arguments() const { return {dir / "wedmorph", "-d", "-l", "AR0100", "AR2600"}; }

    void restoreInputs() {
        test::writeArea(dir.path(), "AR0100", area);
        for (const std::string& name : test::listDir(dir.path())) {
            if (name.rfind("AR2600", 0) == 0) std::remove((dir / name).c_str());
        }
        test::writeArea(dir.path(), "AR2600", old, false);
        for (const std::string& name : test::companionNames("AR2600")) test::writeText(dir / name, "old");
    }
};

TEST_F(FaultSweep, EveryOperationFailingAtEveryCall) {
    restoreInputs();
    test::TestPlatform clean;
    ASSERT_EQ(runConversion(arguments(), clean), 0);
    const auto expected = test::referenceConversion(area.wed, area.tis, "AR2600", false);
    const Op ops[] = {Op::ChangeDirectory, Op::FindFile,   Op::List,   Op::OpenInput, Op::OpenOutput,
                      Op::Create,          Op::OpenLog,    Op::Identify, Op::Map,     Op::Empty,
                      Op::Reserve,         Op::Read,       Op::Write,  Op::ShortWrite, Op::Copy,  Op::Flush,
                      Op::Permissions,     Op::Rename,     Op::Delete};
    int runs = 0;
    for (Op op : ops) {
        const int calls = std::max(clean.calls(op), 1);
        for (int each = 0; each < 2 * calls; ++each) {
            const int call = each / 2 + 1;
            const bool interrupting = each % 2 == 1;
            restoreInputs();
            std::remove((dir / "wedmorph.log").c_str());
            test::TestPlatform faulty;
            test::TestMemory memory;
            bool cancelling = false;  // Ctrl-C came before the commit
            if (interrupting) {
                faulty.beforeCall = [&](Op now, const std::string&) {
                    if (now != op || faulty.calls(op) != call - 1) return;
                    cancelling = faulty.calls(Op::Rename) == 0 && op != Op::Rename;
                    faulty.interrupt();
                };
            } else {
                faulty.failOn(op, call);
            }
            const int status = runConversion(arguments(), faulty, memory);
            const std::string what =
                (interrupting ? "Ctrl-C before " : "") + std::string(test::opName(op)) + " #" + std::to_string(call);
            ++runs;
            EXPECT_TRUE(faulty.nothingOpen()) << what;
            EXPECT_TRUE(!faulty.journal().empty() && faulty.journal().back() == "settled") << what << ": not settled last";
            EXPECT_EQ(memory.held(), 0) << what;
            // Only the failure that ended the run is reported, with the code its call gave.
            EXPECT_LE(faulty.errors().size(), status == -1 ? 1u : 0u) << what;
            for (const auto& [text, code] : faulty.errors()) EXPECT_EQ(code, test::TestPlatform::kInjected) << what;
            const std::string& console = faulty.console();
            for (const std::string& name : test::listDir(dir.path())) {
                EXPECT_FALSE(name.ends_with("~")) << what << ": a temporary left behind, " << name;
            }
            if (status == -1) {
                // Names not yet renamed are as they were; the WED is renamed
                // last, so a new WED stands only in a whole new area.
                const auto tis = test::readBytes(dir / "AR2600.tis");
                EXPECT_TRUE(tis == old.tis || tis == expected.tis) << what;
                if (test::readBytes(dir / "AR2600.wed") != old.wed) {
                    EXPECT_EQ(tis, expected.tis) << what;
                }
                if (op == Op::Flush && call < clean.calls(op)) {
                    EXPECT_EQ(tis, old.tis) << what;
                }
                if (op == Op::Rename) {
                    EXPECT_NE(console.find("Cannot write output area"), std::string::npos) << what;
                }
                EXPECT_NE(console.find("\nError :\t "), std::string::npos) << what;
                if (interrupting) {
                    EXPECT_TRUE(cancelling) << what;
                    EXPECT_TRUE(console.ends_with("\nError :\t Run interrupted, output area left as it was\n\n\n")) << what;
                    EXPECT_NE(test::readText(dir / "wedmorph.log").find("Run interrupted"), std::string::npos) << what;
                    EXPECT_EQ(tis, old.tis) << what;
                    EXPECT_EQ(test::readBytes(dir / "AR2600.wed"), old.wed) << what;
                    for (const std::string& name : test::companionNames("AR2600")) EXPECT_EQ(test::readText(dir / name), "old");
                }
                for (const std::string& done : faulty.journal()) {
                    EXPECT_NE(done.rfind("delete " + dir.path() + "AR0100", 0), 0u) << what << ": " << done;
                }
                EXPECT_EQ(test::readBytes(dir / "AR0100.wed"), area.wed) << what;
                EXPECT_EQ(test::readBytes(dir / "AR0100.tis"), area.tis) << what;
                for (const std::string& name : test::companionNames("AR0100")) {
                    EXPECT_TRUE(test::fileExists(dir / name)) << what << " " << name;
                }
            } else {
                ASSERT_EQ(status, 0) << what;
                EXPECT_FALSE(cancelling) << what << ": Ctrl-C before the commit was let through";
                EXPECT_NE(console.find("done."), std::string::npos) << what;
                // A failure that did not end the run was a warning, or concerned
                // the LN bitmap or the log, which are silent by design, or the
                // last change of folder, back to the program's, which only
                // leaves the areas' folders, or an identity not had, which can
                // only make the run keep more.
                const bool silentByDesign =
                    op == Op::OpenLog || op == Op::Identify ||
                    clean.callPath(op, call).ends_with("LN.bmp") || clean.callPath(op, call).ends_with("LN.bm~") ||
                    (op == Op::ChangeDirectory && call == clean.calls(op));
                if (!silentByDesign && !interrupting) {
                    EXPECT_NE(console.find("Warning :\t"), std::string::npos) << what;
                }
                EXPECT_EQ(test::readBytes(dir / "AR2600.tis"), expected.tis) << what;
            }
        }
    }
    EXPECT_GT(runs, 25);
}

TEST_F(FaultSweep, EveryAllocationFailing) {
    test::TestMemory counting;
    test::TestPlatform clean;
    ASSERT_EQ(runConversion(arguments(), clean, counting), 0);
    for (int failing = 1; failing <= counting.allocations(); ++failing) {
        restoreInputs();
        test::TestPlatform faulty;
        test::TestMemory memory;
        memory.failAt(failing);
        EXPECT_EQ(runConversion(arguments(), faulty, memory), -1);
        EXPECT_NE(faulty.console().find("\nError :\t Not enough memory\n\n"), std::string::npos);
        EXPECT_TRUE(faulty.nothingOpen());
        EXPECT_EQ(memory.held(), 0);
        EXPECT_EQ(test::readBytes(dir / "AR0100.tis"), area.tis);
    }
}

// Two runs on shared files, the second one made whole at each moment of the
// first (before each call of each operation): whichever cannot have the files
// fails and changes nothing, every run that exits 0 leaves its area whole, and
// no area is left in part.
TEST_F(FaultSweep, RunsSharingFilesExcludeEachOther) {
    const std::vector<std::string> races[][2] = {
        {{"-d", "AR0200", "AR0400"}, {"-d", "AR0100", "AR0200"}},  // one writes what the other deletes
        {{"-d", "AR0100", "AR0200"}, {"-d", "AR0100", "AR0300"}},  // both convert one input
        {{"-d", "AR0200", "AR0400"}, {"AR0100", "AR0200"}},        // a run without -d writes a -d run's input
        {{"AR0100", "AR0200"}, {"-d", "AR0200", "AR0400"}},
    };
    const auto command = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), dir / "wedmorph");
        return arguments;
    };
    const auto snapshot = [&] {
        std::map<std::string, std::vector<std::uint8_t>> files;
        for (const std::string& name : test::listDir(dir.path())) files[name] = test::readBytes(dir / name);
        return files;
    };
    const auto setUpAreas = [&] {
        for (const std::string& name : test::listDir(dir.path())) std::remove((dir / name).c_str());
        test::writeArea(dir.path(), "AR0100", area);
        test::writeArea(dir.path(), "AR0200", old);
    };
    for (const auto& race : races) {
        const std::vector<std::string>& first = race[0];
        const std::vector<std::string>& second = race[1];
        setUpAreas();
        test::TestPlatform clean;
        ASSERT_EQ(runConversion(command(first), clean), 0);
        for (Op op : {Op::OpenInput, Op::Map, Op::OpenOutput, Op::Create, Op::Copy, Op::Write, Op::Rename,
                      Op::Delete}) {
            for (int call = 1; call <= clean.calls(op); ++call) {
                setUpAreas();
                const std::string what = first.back() + " then " + second.back() + " before " +
                                         test::opName(op) + " #" + std::to_string(call);
                test::TestPlatform outer, inner;
                int secondStatus = 1;
                outer.beforeCall = [&](Op now, const std::string&) {
                    if (now != op || outer.calls(op) + 1 != call) return;
                    const auto before = snapshot();
                    secondStatus = runConversion(command(second), inner);
                    if (secondStatus != 0) {
                        EXPECT_EQ(snapshot(), before) << what << ": the second run";
                    }
                };
                const int firstStatus = runConversion(command(first), outer);
                ASSERT_NE(secondStatus, 1) << what;
                EXPECT_TRUE(firstStatus == 0 || secondStatus == 0) << what << outer.console() << inner.console();
                for (const std::string name : {"AR0100", "AR0200", "AR0300", "AR0400"}) {
                    std::vector<std::string> files = test::companionNames(name);
                    files.insert(files.end(), {name + ".wed", name + ".tis"});
                    const auto present = std::count_if(files.begin(), files.end(),
                                                       [&](const std::string& f) { return test::fileExists(dir / f); });
                    EXPECT_TRUE(present == 0 || present == 7) << what << " " << name;
                }
                for (const std::string& name : test::listDir(dir.path())) EXPECT_FALSE(name.ends_with("~")) << what;
                EXPECT_TRUE(outer.nothingOpen() && inner.nothingOpen()) << what;
            }
        }
    }
}

class HostileNames : public ::testing::Test {
protected:
    test::TempDir root;
    std::string dir = root.makeDir("program");
    test::TestPlatform platform;
    test::AreaFiles area = test::smallWaterArea(false);

    void SetUp() override { test::writeArea(dir, "AR0100", area); }

    int run(const std::vector<std::string>& areas) {
        std::vector<std::string> arguments = {dir + "wedmorph", "-s", "-d"};
        arguments.insert(arguments.end(), areas.begin(), areas.end());
        platform.clearConsole();
        return runConversion(arguments, platform);
    }

    void expectInputsKept() {
        EXPECT_EQ(test::readBytes(dir + "AR0100.wed"), area.wed);
        EXPECT_EQ(test::readBytes(dir + "AR0100.tis"), area.tis);
    }
};

TEST_F(HostileNames, WildcardsPassTheCheckButOpenNothing) {
    EXPECT_EQ(run({"AR01*", "AR2600"}), -1);
    EXPECT_EQ(platform.console(), "\nError :\t Cannot open input area WED file\n\n\n");
    EXPECT_EQ(run({"AR0?00", "AR2600"}), -1);
    expectInputsKept();
    EXPECT_EQ(run({"AR0100", "AR26*"}), -1);  // no file name can hold "*"
    EXPECT_EQ(platform.console(), "\nError :\t Cannot create output area WED file\n\n\n");
    expectInputsKept();
}

TEST_F(HostileNames, EmptyNamesAreRefused) {
    EXPECT_EQ(run({"", "AR2600"}), -1);
    EXPECT_NE(platform.console().find("\nError :\t Invalid input area name\n\n"), std::string::npos);
    EXPECT_EQ(run({"AR0100", ""}), -1);
    EXPECT_NE(platform.console().find("\nError :\t Empty output area name\n\n"), std::string::npos);
    EXPECT_EQ(run({"AR0100", "sub/"}), -1);
    EXPECT_NE(platform.console().find("\nError :\t Empty output area name\n\n"), std::string::npos);
    expectInputsKept();
    EXPECT_EQ(test::listDir(dir).size(), 7u);  // the area's seven files and nothing else
}

TEST_F(HostileNames, DotDotPiecesStayRelativeToTheProgram) {
    const std::string sibling = root.makeDir("sibling");
    EXPECT_EQ(run({"AR0100", "../sibling/AR2600"}), 0);
    EXPECT_TRUE(test::fileExists(sibling + "AR2600.wed"));
    EXPECT_TRUE(test::fileExists(sibling + "AR2600HT.bmp"));
    EXPECT_EQ(test::listDir(root.path()), (std::vector<std::string>{"program", "sibling"}));
}

TEST_F(HostileNames, HighBytesInNamesAreKeptAsTheyAre) {
    const std::string name = "AR\xC9\xFF";
    EXPECT_EQ(run({"AR0100", name}), 0);
    EXPECT_TRUE(test::fileExists(dir + name + ".wed"));
    EXPECT_TRUE(test::fileExists(dir + name + "SR.bmp"));
    const auto wed = test::readBytes(dir + name + ".wed");
    ASSERT_GE(wed.size(), 32u);  // a volume that refuses such names leaves nothing to read
    const std::size_t table = wed[16];
    EXPECT_EQ(std::string(wed.begin() + static_cast<long>(table) + 4, wed.begin() + static_cast<long>(table) + 8), name);
}

TEST_F(HostileNames, LimitsOfNamesAndPaths) {
    EXPECT_EQ(run({"AR0100", "ABCDEFGH"}), 0);  // eight characters: the whole tileset name
    test::writeArea(dir, "AR0100", area);
    EXPECT_EQ(run({"AR0100", "ABCDEFGHI"}), -1);
    EXPECT_NE(platform.console().find("Output area name is longer than 8 characters"), std::string::npos);
    EXPECT_EQ(run({std::string(300, 'x'), "AR2600"}), -1);
    EXPECT_NE(platform.console().find("Input area name is longer than 8 characters"), std::string::npos);
    expectInputsKept();
}

}  // namespace
}  // namespace wedmorph
