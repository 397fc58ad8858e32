// The whole of a file as bytes: the one reader of the tools, the benchmark
// and the tests. Header-only, so that a tool that links nothing of areagen
// (wedmorph-view) reads files the same way.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace wedmorph::areagen {

// Nothing when the file cannot be opened or a read fails.
inline std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return std::nullopt;
    return bytes;
}

}  // namespace wedmorph::areagen
