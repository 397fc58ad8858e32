#include "area/AreaPaths.h"

#include <algorithm>
#include <vector>

namespace wedmorph {

namespace {

// A path is taken up to one byte past the longest one the run accepts.
constexpr std::size_t kSplitInputLimit = kMaxPathLength + 1;
constexpr std::size_t kPieceCapacity = 255;

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Start offsets of the characters of `text`: a lead byte and the byte after
// it make one character.
std::vector<std::size_t> characterStarts(const std::string& text, const LeadBytePredicate& isLeadByte) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size();) {
        starts.push_back(i);
        const bool wide = isLeadByte &&
                          isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
        i += wide ? 2 : 1;
    }
    return starts;
}

// text[begin, end) cut to `capacity` bytes without splitting a double-byte character.
std::string cutToCapacity(const std::string& text, std::size_t begin, std::size_t end,
                          std::size_t capacity, const std::vector<std::size_t>& starts) {
    if (end - begin <= capacity) return text.substr(begin, end - begin);
    std::size_t limit = begin + capacity;
    std::size_t cut = begin;
    for (std::size_t start : starts) {
        if (start < begin) continue;
        if (start > limit) break;
        cut = start;
    }
    // `cut` is the last character start at or before the limit: the bytes
    // before it are whole characters.
    return text.substr(begin, cut - begin);
}

std::string withPosixSeparators(std::string piece) {
    std::replace(piece.begin(), piece.end(), '\\', '/');
    return piece;
}

}  // namespace

PathPieces splitPath(const std::string& original, const LeadBytePredicate& isLeadByte) {
    const std::string path = original.substr(0, kSplitInputLimit);
    const std::vector<std::size_t> starts = characterStarts(path, isLeadByte);

    PathPieces pieces;
    std::size_t afterDrive = 0;
    if (starts.size() >= 2 && starts[1] == 1 && path[1] == ':') afterDrive = 2;

    // The final component starts after the last separator; its extension at
    // its last dot.
    std::size_t componentStart = afterDrive;
    std::size_t lastDot = std::string::npos;
    for (std::size_t start : starts) {
        // Only character starts are visited, so the second byte of a
        // double-byte character is never taken for a separator or a dot.
        if (start < afterDrive) continue;
        if (isSeparator(path[start])) {
            componentStart = start + 1;
            lastDot = std::string::npos;
        } else if (path[start] == '.') {
            lastDot = start;
        }
    }

    const std::string component = path.substr(componentStart);
    std::size_t nameEnd = path.size();
    std::size_t extensionStart = path.size();
    if (component == "." || component == "..") {
        componentStart = path.size();
    } else if (lastDot != std::string::npos) {
        nameEnd = lastDot;
        extensionStart = lastDot;
    }

    pieces.drive = path.substr(0, afterDrive);
    pieces.directory = cutToCapacity(path, afterDrive, componentStart, kPieceCapacity, starts);
    pieces.name = cutToCapacity(path, componentStart, nameEnd, kPieceCapacity, starts);
    pieces.extension = cutToCapacity(path, extensionStart, path.size(), kPieceCapacity, starts);
    return pieces;
}

void setProgramDir(AreaPaths& paths, const std::string& programPath, const PathRules& rules) {
    // The program's folder is taken whole, never cut to the capacity of a
    // piece: a folder too long for the area paths is refused by the length
    // checks, where a cut one would name another folder. The path comes from
    // the system and is taken as it is (a POSIX folder name may hold a backslash).
    const std::vector<std::size_t> starts = characterStarts(programPath, rules.isLeadByte);
    std::size_t end = 0;
    if (starts.size() >= 2 && starts[1] == 1 && programPath[1] == ':') end = 2;
    for (std::size_t start : starts) {
        if (isSeparator(programPath[start])) end = start + 1;
    }
    paths.programDir = programPath.substr(0, end);
    if (paths.programDir.empty() || !isSeparator(paths.programDir.back())) {
        paths.programDir += rules.style == PathStyle::Posix ? '/' : '\\';
    }
    paths.input.dir = paths.programDir;
    paths.output.dir = paths.programDir;
}

void takeAreaArgument(AreaPaths& paths, const std::string& argument, AreaSide side,
                      const PathRules& rules) {
    const PathPieces pieces = splitPath(argument, rules.isLeadByte);
    const std::string directory =
        rules.style == PathStyle::Posix ? withPosixSeparators(pieces.directory) : pieces.directory;
    AreaFilePaths& area = side == AreaSide::Input ? paths.input : paths.output;
    area.dir += directory;
    area.name = pieces.name;
    area.prefix = pieces.name.substr(0, kBitmapPrefixLength);
}

namespace {

void nameAreaFiles(AreaFilePaths& area) {
    area.wed = area.dir + area.name + ".wed";
    area.tis = area.dir + area.name + ".tis";
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        const CompanionKind& kind = kCompanionKinds[n];
        area.companions[n] = area.dir + (kind.byPrefix ? area.prefix : area.name) + kind.suffix;
    }
}

std::size_t longestFilePath(const AreaFilePaths& area) {
    std::size_t longest = std::max(area.wed.size(), area.tis.size());
    for (const std::string& companion : area.companions) longest = std::max(longest, companion.size());
    return longest;
}

}  // namespace

AreaPaths buildAreaPaths(const std::string& programPath, const std::optional<std::string>& input,
                         const std::optional<std::string>& output, const PathRules& rules) {
    AreaPaths paths;
    setProgramDir(paths, programPath, rules);
    if (input) takeAreaArgument(paths, *input, AreaSide::Input, rules);
    if (output) takeAreaArgument(paths, *output, AreaSide::Output, rules);
    nameAreaFiles(paths.input);
    nameAreaFiles(paths.output);
    paths.logPath = paths.programDir + "wedmorph.log";
    return paths;
}

std::size_t longestAreaFilePath(const AreaPaths& paths) {
    return std::max(longestFilePath(paths.input), longestFilePath(paths.output));
}

}  // namespace wedmorph
