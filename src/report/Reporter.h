// What the program tells its user: the console (standard output) and, with
// "-l", the log file that collects the runs one after another.
#pragma once

#include <ctime>
#include <string>
#include <system_error>

#include "platform/FileOwners.h"

namespace wedmorph {

#if defined(__GNUC__)
#define WEDMORPH_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define WEDMORPH_PRINTF(fmt, args)
#endif

class Reporter {
public:
    Reporter(Platform& platform, bool silent) : platform_(platform), silent_(silent) {}
    Reporter(const Reporter&) = delete;
    Reporter& operator=(const Reporter&) = delete;

    // Takes the log, opened for appending, and writes its two header lines; a
    // log that could not be opened (none held) is left out without a word.
    void startLog(OwnedFile log);

    void report(const char* format, ...) WEDMORPH_PRINTF(2, 3);
    void reportConsole(const char* format, ...) WEDMORPH_PRINTF(2, 3);
    void reportLog(const char* format, ...) WEDMORPH_PRINTF(2, 3);
    void consoleLine(const std::string& text);
    void warn(const std::string& text);
    void fail(const std::string& text);
    // The system's reason for the failure that ended the run, on standard
    // error, silent or not: "wedmorph: PATH: REASON".
    void systemReason(const std::string& path, std::error_code error);

private:
    void toConsole(const std::string& text);
    void toLog(const std::string& text);

    Platform& platform_;
    bool silent_;
    OwnedFile log_;
};

// "Mon Dec 07 09:05:03 2026\n": the log header's time text.
std::string formatLogTime(const std::tm& local);

}  // namespace wedmorph
