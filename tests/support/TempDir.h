// A fresh directory under the system's temporary folder, removed with all it
// holds when the test ends. `path()` ends with a separator.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace wedmorph::testing {

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

}  // namespace wedmorph::testing
