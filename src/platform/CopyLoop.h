// The copy of a file's bytes through a buffer, for where the system has no
// copy of its own between the two files. Both systems' platforms use it, each
// with its own positional read and write.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wedmorph {

// Copies the source from `offset` to its end into the target at the same
// offsets, a buffer at a time:
//   read(offset, data, size) -> std::int64_t: reads up to `size` bytes at
//     `offset` into `data`; how many it read, 0 at the end, -1 on error.
//   write(offset, data, size) -> bool: writes all `size` bytes at `offset`.
template <typename ReadAt, typename WriteAllAt>
bool copyInChunks(std::uint8_t* buffer, std::size_t bufferSize, ReadAt&& read, WriteAllAt&& write,
                  std::uint64_t offset = 0) {
    // An empty buffer would read nothing and take it for the end.
    if (buffer == nullptr || bufferSize == 0) return false;
    for (;;) {
        const std::int64_t got = read(offset, buffer, bufferSize);
        if (got < 0) return false;
        if (got == 0) return true;
        const std::size_t length = static_cast<std::size_t>(got);
        if (!write(offset, static_cast<const std::uint8_t*>(buffer), length)) return false;
        offset += length;
    }
}

}  // namespace wedmorph
