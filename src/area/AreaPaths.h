// Every path of a run: the program's directory, the input and output areas,
// their files and companions, and the log.
#pragma once

#include <cstddef>
#include <functional>
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

struct AreaPaths {
    std::string programDir;
    std::string inputDir;
    std::string outputDir;
    std::string inputName;
    std::string outputName;
    std::string inputPrefix;
    std::string outputPrefix;
    std::string inputWedPath;
    std::string inputTisPath;
    std::string outputWedPath;
    std::string outputTisPath;
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

void buildInputWedPath(AreaPaths& paths);
void buildInputTisPath(AreaPaths& paths);
void buildOutputPaths(AreaPaths& paths);
std::string buildLogPath(const AreaPaths& paths);

std::string companionSourcePath(const AreaPaths& paths, const CompanionKind& kind);
std::string companionTargetPath(const AreaPaths& paths, const CompanionKind& kind);

// The longest of the WED, TIS and companion paths of both areas.
std::size_t longestAreaFilePath(const AreaPaths& paths);

}  // namespace wedmorph
