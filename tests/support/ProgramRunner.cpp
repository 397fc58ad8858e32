#include "support/ProgramRunner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace wedmorph::test {

namespace {

std::string environment(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) {
        if (c == '\'') {
            result += "'\\''";
        } else {
            result += c;
        }
    }
    return result + "'";
}

}  // namespace

ProgramRunner::ProgramRunner(const std::string& programDir) : programDir_(programDir) {
    const std::string source = environment("WEDMORPH_EXE", WEDMORPH_DEFAULT_EXE);
    launcher_ = environment("WEDMORPH_LAUNCHER", "");
    windows_ = source.size() > 4 && source.compare(source.size() - 4, 4, ".exe") == 0;
    programPath_ = programDir_ + (windows_ ? "wedmorph.exe" : "wedmorph");
    fs::copy_file(source, programPath_, fs::copy_options::overwrite_existing);
}

std::string ProgramRunner::shown(const std::string& path) const {
    if (!windows_) return path;
    // Wine shows the root of the Unix file system as drive Z.
    std::string shownPath = "Z:" + path;
    for (char& c : shownPath) {
        if (c == '/') c = '\\';
    }
    return shownPath;
}

ProgramRunner::Command ProgramRunner::command(const std::vector<std::string>& arguments) const {
    std::string line = launchPrefix() + quoted(programPath_);
    for (const std::string& argument : arguments) {
        line += ' ';
        line += quoted(argument);
    }
    return {programDir_, line};
}

ProgramResult ProgramRunner::run(const std::vector<std::string>& arguments) const {
    return runCommand(command(arguments));
}

ProgramResult ProgramRunner::runCommand(const Command& command) {
    // Kept outside the working directory, so that it never shows among the area files.
    static int counter = 0;
    const std::string errorsFile =
        (fs::temp_directory_path() /
         ("wedmorph-stderr-" + std::to_string(::getpid()) + "-" + std::to_string(++counter)))
            .string();
    const std::string line = "cd " + quoted(command.workingDir) + " && " + command.line + " 2>" +
                             quoted(errorsFile) + " </dev/null";
    ProgramResult result;
    std::FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot start " + line);
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.errors = readText(errorsFile);
    std::error_code ignored;
    fs::remove(errorsFile, ignored);
    return result;
}

}  // namespace wedmorph::test
