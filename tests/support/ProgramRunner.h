// Runs the built program as a user does: copied into a program directory of
// its own (areas are found beside it), with the arguments given, capturing
// standard output and standard error apart.
//
// WEDMORPH_EXE names the program to test and WEDMORPH_LAUNCHER a command to
// start it through (an emulator, say); both come from the environment.
#pragma once

#include <string>
#include <vector>

namespace wedmorph::test {

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

    struct Command {
        std::string workingDir;
        std::string line;  // a shell command line
    };
    // The command line that starts the program with `arguments`, in its own directory.
    Command command(const std::vector<std::string>& arguments) const;
    static ProgramResult runCommand(const Command& command);

    const std::string& programPath() const { return programPath_; }
    // The command the program is started through, followed by a space; empty when it starts itself.
    std::string launchPrefix() const { return launcher_.empty() ? "" : launcher_ + " "; }
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

}  // namespace wedmorph::test
