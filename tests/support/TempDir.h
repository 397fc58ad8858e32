// A fresh directory under the system's temporary folder, removed with all it
// holds when the test ends. `path()` ends with a separator.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace wedmorph::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }
    // Creates a subdirectory and returns its path with a trailing separator.
    std::string makeDir(const std::string& name) const;

private:
    std::string path_;
};

bool fileExists(const std::string& path);
std::vector<std::uint8_t> readBytes(const std::string& path);
std::string readText(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void writeText(const std::string& path, const std::string& text);
// Names in a directory, sorted.
std::vector<std::string> listDir(const std::string& dir);

// Marks a file hidden the way this system does: on Windows with the file
// attribute (POSIX names hidden files with a leading dot instead).
void setHidden(const std::string& path);

// The line end that a stream in text mode writes on this system.
#if defined(_WIN32)
inline const std::string kTextNewline = "\r\n";
#else
inline const std::string kTextNewline = "\n";
#endif

// `text` with every "\n" written as `newline`.
std::string withNewlines(const std::string& text, const std::string& newline);

}  // namespace wedmorph::test
