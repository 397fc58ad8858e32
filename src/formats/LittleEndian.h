// Little-endian reads and writes at an offset into a byte image. Callers check
// the image's bounds once, where the data enters; these only assert them.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>

namespace wedmorph {

inline std::uint8_t readU8(std::span<const std::uint8_t> bytes, std::size_t offset) {
    assert(offset < bytes.size());
    return bytes[offset];
}

inline std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    assert(offset + 2 <= bytes.size());
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline std::int16_t readI16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::int16_t>(readU16(bytes, offset));
}

inline std::uint32_t readU32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    assert(offset + 4 <= bytes.size());
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

inline void writeU8(std::span<std::uint8_t> bytes, std::size_t offset, std::uint8_t value) {
    assert(offset < bytes.size());
    bytes[offset] = value;
}

inline void writeU16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    assert(offset + 2 <= bytes.size());
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void writeU32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    assert(offset + 4 <= bytes.size());
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace wedmorph
