// Mappings and pages on POSIX.
#include <sys/mman.h>

#include <cstdint>
#include <limits>

#include "platform/posix/PosixPlatform.h"
#include "platform/posix/SystemCalls.h"

namespace wedmorph {

Result<std::span<const std::uint8_t>> PosixPlatform::mapFile(FileHandle file) {
    struct stat info;
    if (posix::systemCalls().fstat(posix::descriptorOf(file), &info) != 0) return posix::lastError();
    if (info.st_size <= 0) return refused(Refusal::EmptyFile);
    if (static_cast<std::uint64_t>(info.st_size) > std::numeric_limits<std::size_t>::max()) {
        return std::make_error_code(std::errc::file_too_large);
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    // Pages are brought in as they are first touched: the TIS's tiles are
    // read into memory as they are written, and the view only serves the
    // few bytes of each tile that the conversion looks at.
    void* view = posix::systemCalls().mmap(nullptr, size, PROT_READ, MAP_SHARED, posix::descriptorOf(file), 0);
    if (view == MAP_FAILED) return posix::lastError();
    return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(view), size);
}

void PosixPlatform::unmapFile(std::span<const std::uint8_t> view) {
    posix::systemCalls().munmap(const_cast<std::uint8_t*>(view.data()), view.size());
}

Result<void*> PosixPlatform::allocatePages(std::size_t bytes) {
    // Plain pages, faulted in as they are first used: a run holds no block
    // large enough for a large page to be worth its zeroing.
    void* block = posix::systemCalls().mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return posix::lastError();
    return block;
}

void PosixPlatform::releasePages(void* block, std::size_t bytes) { posix::systemCalls().munmap(block, bytes); }

}  // namespace wedmorph
