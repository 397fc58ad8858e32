// The program's entry: reads the command line, checks the areas, and runs the
// conversion steps in their fixed order, reporting as it goes.
#pragma once

#include <string>
#include <vector>

#include "memory/TileMemory.h"
#include "platform/Platform.h"

namespace wedmorph {

struct ConversionOptions {
    bool silent = false;        // "-s"
    bool saveHeader = false;    // "-h"
    bool deleteSource = false;  // "-d"
    bool writeLog = false;      // "-l"
};

// `arguments[0]` is the full path of the running program's file, as the
// platform gives it (empty when it cannot tell); the area directories are
// taken relative to its directory. Returns the exit status:
// 0 for a complete run or the usage screen alone, -1 for any fatal error.
// The tile buffers come from `memory`, or from the platform's pages when none is given.
int runConversion(const std::vector<std::string>& arguments, Platform& platform);
int runConversion(const std::vector<std::string>& arguments, Platform& platform,
                  TileMemory& memory);

}  // namespace wedmorph
