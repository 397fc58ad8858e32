#include <gtest/gtest.h>

#include "report/Reporter.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace wedmorph {
namespace {

TEST(LogTime, DayOfMonthIsZeroPaddedAndYearRightAligned) {
    std::tm time{};
    time.tm_wday = 3;
    time.tm_mon = 0;
    time.tm_mday = 6;
    time.tm_hour = 7;
    time.tm_min = 8;
    time.tm_sec = 9;
    time.tm_year = 2027 - 1900;
    EXPECT_EQ(formatLogTime(time), "Wed Jan 06 07:08:09 2027\n");
    time.tm_year = 999 - 1900;
    time.tm_mon = 11;
    time.tm_mday = 31;
    time.tm_hour = 23;
    EXPECT_EQ(formatLogTime(time), "Wed Dec 31 23:08:09  999\n");
}

TEST(Reporter, EachOperationReachesItsDestinations) {
    test::TempDir dir;
    test::TestPlatform platform;
    {
        Reporter reporter(platform, false);
        reporter.startLog(OwnedFile(platform, platform.openForWriting(dir / "wedmorph.log", WriteOpen::AppendLog).file));
        reporter.report("a%d", 1);
        reporter.reportConsole("b");
        reporter.reportLog("c");
        reporter.consoleLine("d");
        reporter.warn("\ne");
        reporter.fail("\nf\n\n");
    }
    {
        Reporter reporter(platform, false);  // a run without "-l"
        reporter.report("after");
    }
    EXPECT_EQ(platform.console(), "a1bd\n\ne\n\nf\n\n\nafter");
    EXPECT_EQ(test::readText(dir / "wedmorph.log"),
              test::withNewlines("----------------------------------------\n"
                                    "Local time is: Sun Dec 06 09:05:03 2026\na1c\ne\nf\n\n",
                                    test::kTextNewline));
}

TEST(Reporter, SilentKeepsOnlyErrorsAndConsoleLines) {
    test::TempDir dir;
    test::TestPlatform platform;
    {
        Reporter reporter(platform, true);
        reporter.startLog(OwnedFile(platform, platform.openForWriting(dir / "wedmorph.log", WriteOpen::AppendLog).file));
        reporter.report("a");
        reporter.reportConsole("b");
        reporter.warn("\nw");
        reporter.consoleLine("usage");
        reporter.fail("\nerror");
    }
    EXPECT_EQ(platform.console(), "usage\n\nerror\n");
    const std::string log = test::readText(dir / "wedmorph.log");
    const std::string header = test::withNewlines(
        "----------------------------------------\nLocal time is: Sun Dec 06 09:05:03 2026\n",
        test::kTextNewline);
    EXPECT_EQ(log, header + test::withNewlines("a\nw\nerror", test::kTextNewline));
}

}  // namespace
}  // namespace wedmorph
