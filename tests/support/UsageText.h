// The usage screen as the console shows it, each of its texts followed by a newline.
#pragma once

#include <string>

namespace wedmorph::test {

inline const std::string kUsageScreen =
    "\n[*** BG1->BG2 Area Fileset Converter ***]\n"
    "wedmorph, a converter of area tilesets: version 1.0\n\n"
    "Usage :\t wedmorph [options] input_area_name output_area_name\n\n\n"
    "Options :   -s \t silent mode\n"
    "            -h \t save TIS header (for \\override\\ use)\n"
    "            -d \t delete input area tileset after conversion\n"
    "            -l \t write logf file (wedmorph.log)\n"
    "\n\nExamples :   wedmorph -h AR3300 myfolder1\\AR6700\n"
    "             wedmorph -l myfolder1\\AR3300 myfolder2\\AR6700 -s -h -d\n"
    "\n\nThis program handles area's .wed, .tis, .mos and .bmp's.\n"
    "For a complete area conversion .are and .bcs should be provided separately.\n";

}  // namespace wedmorph::test
