// What the program tells its user: the console (standard output) and, with
// "-l", the log file that collects the runs one after another.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

namespace wedmorph {

class Platform;

#if defined(__GNUC__)
#define WEDMORPH_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define WEDMORPH_PRINTF(fmt, args)
#endif

class Reporter {
public:
    Reporter(Platform& platform, bool silent) : platform_(platform), silent_(silent) {}
    ~Reporter() { closeLog(); }
    Reporter(const Reporter&) = delete;
    Reporter& operator=(const Reporter&) = delete;

    bool silent() const { return silent_; }

    // Opens the log for appending and writes its two header lines; a log that
    // cannot be opened is left out without a word.
    void openLog(const std::string& logPath);
    void closeLog();

    void report(const char* format, ...) WEDMORPH_PRINTF(2, 3);
    void reportConsole(const char* format, ...) WEDMORPH_PRINTF(2, 3);
    void reportLog(const char* format, ...) WEDMORPH_PRINTF(2, 3);
    void consoleLine(const std::string& text);
    void warn(const std::string& text);
    void fail(const std::string& text);

private:
    void toConsole(const std::string& text);
    void toLog(const std::string& text);

    Platform& platform_;
    bool silent_;
    std::FILE* log_ = nullptr;
};

// "Mon Dec 07 09:05:03 2026\n": the log header's time text.
std::string formatLogTime(const std::tm& local);

}  // namespace wedmorph
