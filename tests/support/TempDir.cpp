#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>

#include "areagen/FileBytes.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace wedmorph::test {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() /
                             ("wedmorph-test-" + std::to_string(stamp) + "-" +
                              std::to_string(counter++));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.string() + "/";
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code error;
    fs::remove_all(path_, error);
}

std::string TempDir::makeDir(const std::string& name) const {
    fs::create_directories(path_ + name);
    return path_ + name + "/";
}

bool fileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    return areagen::readFileBytes(path).value_or(std::vector<std::uint8_t>{});
}

std::string readText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::vector<std::string> listDir(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void setHidden([[maybe_unused]] const std::string& path) {
#if defined(_WIN32)
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
#endif
}

std::string withNewlines(const std::string& text, const std::string& newline) {
    if (newline == "\n") return text;
    std::string result;
    for (char c : text) {
        if (c == '\n') {
            result += newline;
        } else {
            result += c;
        }
    }
    return result;
}

}  // namespace wedmorph::test
