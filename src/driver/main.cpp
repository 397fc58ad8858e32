#include <cstdio>
#include <string>
#include <vector>

#include "driver/RunConversion.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
    // Before any file is opened: from here on an interruption cancels the
    // run at its next step instead of ending it wherever it is.
    wedmorph::nativePlatform().catchInterruptions();
    wedmorph::Platform& platform = wedmorph::nativePlatform();
    std::vector<std::string> arguments(argv, argv + argc);
    if (arguments.empty()) arguments.emplace_back();
    // The area directories hang off the program's real location, never off
    // argument 0 as it was typed: a run without it stops.
    arguments[0] = *platform.ownProgramPath();
    const int status = wedmorph::runConversion(arguments, platform);
    std::fflush(stdout);
    return status;
}
