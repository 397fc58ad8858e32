// Every path of a run: the program's directory, the input and output areas,
// their files and companions, and the log.
#pragma once

#include <cstddef>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "area/CompanionKinds.h"
#include "platform/Platform.h"

namespace wedmorph {

inline constexpr std::size_t kMaxPathLength = 259;
inline constexpr std::size_t kMaxAreaNameLength = 8;
inline constexpr std::size_t kBitmapPrefixLength = 6;

struct PathPieces {
    std::string drive;      // "C:" when the second character is ":"
    std::string directory;  // up to and including the last separator
    std::string name;       // final component without its extension
    std::string extension;  // from the final component's last "." on
};

// Tells whether a byte starts a double-byte character; null treats every byte
// as a character of its own.
using LeadBytePredicate = std::function<bool(unsigned char)>;

PathPieces splitPath(const std::string& path, const LeadBytePredicate& isLeadByte = {});

enum class AreaSide { Input, Output };

// The paths of one area: its folder, its names and its files.
struct AreaFilePaths {
    std::string dir;     // ends with a separator
    std::string name;    // the area name, up to 8 characters
    std::string prefix;  // its first six characters, which name the bitmaps
    std::string wed;
    std::string tis;
    std::array<std::string, kCompanionCount> companions;  // in the order of kCompanionKinds
};

// Every path of a run, built whole before anything is checked.
struct AreaPaths {
    std::string programDir;
    std::string logPath;
    AreaFilePaths input;
    AreaFilePaths output;
};

struct PathRules {
    PathStyle style = PathStyle::Windows;
    LeadBytePredicate isLeadByte = nullptr;
};

// programDir is the program file's drive and directory; both area
// directories start as a copy of it.
void setProgramDir(AreaPaths& paths, const std::string& programPath, const PathRules& rules);

// Appends the argument's directory piece to that side's directory and takes
// its name piece as the area name; drive and extension are dropped.
void takeAreaArgument(AreaPaths& paths, const std::string& argument, AreaSide side,
                      const PathRules& rules);

// Every path of a run from the program's own path and the area arguments
// (an area not given keeps the program's folder and an empty name).
AreaPaths buildAreaPaths(const std::string& programPath, const std::optional<std::string>& input,
                         const std::optional<std::string>& output, const PathRules& rules);

// The longest of the WED, TIS and companion paths of both areas.
std::size_t longestAreaFilePath(const AreaPaths& paths);

}  // namespace wedmorph
