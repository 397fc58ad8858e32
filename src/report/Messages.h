// Every fixed text the program shows, byte for byte.
#pragma once

namespace wedmorph::messages {

inline constexpr const char* kUsage[] = {
    "\n[*** BG1->BG2 Area Fileset Converter ***]",
    "wedmorph, a converter of area tilesets: version 1.0\n",
    "Usage :\t wedmorph [options] input_area_name output_area_name\n\n",
    "Options :   -s \t silent mode",
    "            -h \t save TIS header (for \\override\\ use)",
    "            -d \t delete input area tileset after conversion",
    "            -l \t write logf file (wedmorph.log)",
    "\n\nExamples :   wedmorph -h AR3300 myfolder1\\AR6700",
    "             wedmorph -l myfolder1\\AR3300 myfolder2\\AR6700 -s -h -d",
    ("\n\nThis program handles area's .wed, .tis, .mos and .bmp's.\n"
     "For a complete area conversion .are and .bcs should be provided separately."),
};

inline constexpr const char* kEmptyInput = "\nError :\t Empty input area name\n\n";
inline constexpr const char* kEmptyOutput = "\nError :\t Empty output area name\n\n";
inline constexpr const char* kInputNameTooLong =
    "\nError :\t Input area name is longer than 8 characters\n\n";
inline constexpr const char* kOutputNameTooLong =
    "\nError :\t Output area name is longer than 8 characters\n\n";
inline constexpr const char* kPathTooLong = "\nError :\t Area path is too long\n\n";
inline constexpr const char* kInvalidInputDir = "\nError :\t Invalid input area directory\n\n";
inline constexpr const char* kInvalidOutputDir = "\nError :\t Invalid output area directory\n\n";
inline constexpr const char* kInvalidInputName = "\nError :\t Invalid input area name\n\n";
inline constexpr const char* kNoInputTis = "\nError :\t Cannot find input area TIS file\n\n";
inline constexpr const char* kOpenInputWed = "\nError :\t Cannot open input area WED file\n\n";
inline constexpr const char* kMapInputWed = "\nError :\t Cannot map input area WED file\n\n";
inline constexpr const char* kOpenInputTis = "\nError :\t Cannot open input area TIS file\n\n";
inline constexpr const char* kMapInputTis = "\nError :\t Cannot map input area TIS file\n\n";
inline constexpr const char* kInvalidInputWed = "\nError :\t Invalid input area WED file\n\n";
inline constexpr const char* kInvalidInputTis = "\nError :\t Invalid input area TIS file\n\n";
inline constexpr const char* kPvrzInputTis =
    "\nError :\t Input area TIS file holds PVRZ tile references, not palette tiles\n\n";
inline constexpr const char* kTooFewInputTiles =
    "\nError :\t Input area TIS file holds fewer tiles than its WED uses\n\n";
inline constexpr const char* kNoProgramDir = "\nError :\t Cannot find the program's own directory\n\n";
inline constexpr const char* kCreateOutputWed = "\nError :\t Cannot create output area WED file\n\n";
inline constexpr const char* kNoMemory = "\nError :\t Not enough memory\n\n";
inline constexpr const char* kTooManyTiles =
    "\nError :\t Too many tiles for output area WED file (more than 32767)\n\n";
inline constexpr const char* kWriteOutputWed = "\nError :\t Cannot write output area WED file\n\n";
inline constexpr const char* kSaveOutputTis = "\nError :\t Cannot save output area TIS file\n\n";
inline constexpr const char* kWriteOutputTis = "\nError :\t Cannot write output area TIS file\n\n";
inline constexpr const char* kAreaFilesInUse =
    "\nError :\t Area files are in use by another program, nothing written\n\n";
inline constexpr const char* kOutputsChanged =
    "\nError :\t Output area files were changed during the run, input area kept\n\n";
inline constexpr const char* kRunInterrupted =
    "\nError :\t Run interrupted, output area left as it was\n\n";

// Before the system's reason for the failure that ended a run, on standard
// error: the file it concerns.
inline constexpr const char* kSystemReason = "wedmorph: %s: ";

inline constexpr const char* kLogRule = "----------------------------------------\n";
inline constexpr const char* kLogTime = "Local time is: %s";

inline constexpr const char* kSourceWed = "\n[Source]: %s, %s";
inline constexpr const char* kSourceTis = "\n          %s, %s";
inline constexpr const char* kOutputWed = "\n[Output]: %s, %s";
inline constexpr const char* kOutputTis = "\n          %s, %s\n";
inline constexpr const char* kNoHeader = "no header";
inline constexpr const char* kHeader = "header";

inline constexpr const char* kBasicTiles = "\n Basic tiles number: \t\t%d";
inline constexpr const char* kDoorTiles = "\n Doors extra tiles number: \t%d";
inline constexpr const char* kAnimationTiles = "\n Animations extra tiles number: %d";
inline constexpr const char* kOverlayedDoorTiles = "\n Overlayed doors tiles number:  %d\n";

inline constexpr const char* kProgress = "\rTiles processed: %4d of %d";
inline constexpr const char* kConsoleSummary =
    "\rTiles processed: %4d of %d done.\nExtra %d overlay tiles added.\n\n";
inline constexpr const char* kLogSummary =
    "\nTiles processed: %d done.\nExtra %d overlay tiles added.\n"
    "----------------------------------------\n\n";

inline constexpr const char* kCopyMos = "\n\nWarning :\t Cannot handle area MOS file";
inline constexpr const char* kCopyHt = "\n\nWarning :\t Cannot handle area _HT.bmp file";
inline constexpr const char* kCopyLm = "\n\nWarning :\t Cannot handle area _LM.bmp file";
inline constexpr const char* kCopySr = "\n\nWarning :\t Cannot handle area _SR.bmp file";

inline constexpr const char* kDeleteWed = "\nWarning :\t Cannot delete source area WED file";
inline constexpr const char* kDeleteTis = "\nWarning :\t Cannot delete source area TIS file";
inline constexpr const char* kDeleteMos = "\nWarning :\t Cannot delete source area MOS file";
inline constexpr const char* kDeleteHt = "\nWarning :\t Cannot delete source area _HT.bmp file";
inline constexpr const char* kDeleteLm = "\nWarning :\t Cannot delete source area _LM.bmp file";
inline constexpr const char* kDeleteSr = "\nWarning :\t Cannot delete source area _SR.bmp file";

// The companions' warnings, in the order of kCompanionKinds (MOS, HT, LM, LN,
// SR); the LN bitmap's failures are never reported.
inline constexpr const char* kCompanionCopyWarnings[] = {kCopyMos, kCopyHt, kCopyLm, nullptr, kCopySr};
inline constexpr const char* kCompanionDeleteWarnings[] = {kDeleteMos, kDeleteHt, kDeleteLm, nullptr,
                                                           kDeleteSr};

}  // namespace wedmorph::messages
