// Runs the built program as a user does: copied into a program directory of
// its own (areas are found beside it), with the arguments given, capturing
// standard output and standard error apart.
//
// WEDMORPH_EXE names the program to test and WEDMORPH_LAUNCHER a command to
// start it through (an emulator, say); both come from the environment.
#pragma once

#include <string>
#include <vector>

namespace wedmorph::testing {

struct ProgramResult {
    int status = -1;  // as a POSIX shell sees it: 0 to 255
    std::string output;
    std::string errors;
};

class ProgramRunner {
public:
    // Copies the program into `programDir`.
    explicit ProgramRunner(const std::string& programDir);

    ProgramResult run(const std::vector<std::string>& arguments) const;

    // Runs a shell command line in `workingDir`.
    static ProgramResult runCommand(const std::string& workingDir, const std::string& command);

    const std::string& programPath() const { return programPath_; }
    // Whether the program under test is a Windows build.
    bool windows() const { return windows_; }
    // The program's line end on the console and in the log.
    std::string newline() const { return windows_ ? "\r\n" : "\n"; }
    // A path as the program prints it.
    std::string shown(const std::string& path) const;

private:
    std::string programDir_;
    std::string programPath_;
    std::string launcher_;
    bool windows_ = false;
};

// `text` with every "\n" written as `newline`.
std::string withNewlines(const std::string& text, const std::string& newline);

}  // namespace wedmorph::testing
