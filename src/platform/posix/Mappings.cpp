// Mappings and pages on POSIX.
#include <sys/mman.h>

#include <cstdint>
#include <limits>

#include "platform/posix/PosixPlatform.h"
#include "platform/posix/SystemCalls.h"

namespace wedmorph {

namespace {

constexpr std::size_t kReadAheadWhole = std::size_t{8} << 20;

}  // namespace

Result<std::span<const std::uint8_t>> PosixPlatform::mapFile(FileHandle file) {
    struct stat info;
    if (posix::systemCalls().fstat(posix::descriptorOf(file), &info) != 0) return posix::lastError();
    if (info.st_size <= 0) return refused(Refusal::EmptyFile);
    if (static_cast<std::uint64_t>(info.st_size) > std::numeric_limits<std::size_t>::max()) {
        return std::make_error_code(std::errc::file_too_large);
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    // Pages are brought in as they are first touched: of a TIS only its
    // header is looked at through the view, as its tiles are read into memory.
    void* view = posix::systemCalls().mmap(nullptr, size, PROT_READ, MAP_SHARED, posix::descriptorOf(file), 0);
    if (view == MAP_FAILED) return posix::lastError();
    // A file not in the page cache would be read a fault, and a request to
    // the disk, at a time as the view is first touched. A file of a few
    // megabytes (a WED, which is read whole; a small TIS, whose tiles are
    // read soon after) is asked for whole at once, so that the disk reads
    // ahead while the run checks the area; a large TIS is left to the
    // reads' own read-ahead (asking for its first megabytes too made the
    // runs slower). Only advice.
    if (size <= kReadAheadWhole) (void)posix::systemCalls().madvise(view, size, MADV_WILLNEED);
    return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(view), size);
}

void PosixPlatform::unmapFile(std::span<const std::uint8_t> view) {
    posix::systemCalls().munmap(const_cast<std::uint8_t*>(view.data()), view.size());
}

namespace {

// A block of a megabyte or more (the room that tiles are read into and made
// in, the chunk that a run's small blocks are carved from, the copy of a
// large WED) is touched over hundreds of pages, and the first touch of each
// plain page is a fault: 4 KiB pages cost a fault apiece, which on a virtual
// machine costs ten microseconds and more (3.7 ms for the 1.3 MB room),
// while a 2 MiB large page is one fault and its zeroing (0.2 ms). Such a
// block takes whole 2 MiB-aligned large pages where the system gives them;
// smaller ones take plain pages, faulted in as they are first used.
constexpr std::size_t kLargePage = std::size_t{2} << 20;

bool takesLargePages(std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
    return bytes >= (std::size_t{1} << 20);
#else
    (void)bytes;
    return false;  // no large pages to ask for
#endif
}

// What a block of `bytes` maps: whole large pages, or its own size.
std::size_t pagesTaken(std::size_t bytes) {
    return takesLargePages(bytes) ? (bytes + kLargePage - 1) / kLargePage * kLargePage : bytes;
}

}  // namespace

Result<void*> PosixPlatform::allocatePages(std::size_t bytes) {
    if (!takesLargePages(bytes)) {
        void* block = posix::systemCalls().mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                                                MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED) return posix::lastError();
        return block;
    }
    // One large page more than the block, so that it can start on a boundary;
    // what lies before and after it is given back.
    if (bytes > std::numeric_limits<std::size_t>::max() - 2 * kLargePage) {
        return std::make_error_code(std::errc::not_enough_memory);
    }
    const std::size_t taken = pagesTaken(bytes);
    void* area = posix::systemCalls().mmap(nullptr, taken + kLargePage, PROT_READ | PROT_WRITE,
                                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) return posix::lastError();
    const auto start = reinterpret_cast<std::uintptr_t>(area);
    const std::uintptr_t aligned = (start + kLargePage - 1) & ~std::uintptr_t{kLargePage - 1};
    if (aligned > start) posix::systemCalls().munmap(area, aligned - start);
    if (const std::size_t after = kLargePage - (aligned - start); after > 0) {
        posix::systemCalls().munmap(reinterpret_cast<void*>(aligned + taken), after);
    }
    void* block = reinterpret_cast<void*>(aligned);
#if defined(MADV_HUGEPAGE)
    // Advice only: where the system has no large pages, the block is plain pages.
    (void)posix::systemCalls().madvise(block, taken, MADV_HUGEPAGE);
#endif
    return block;
}

void PosixPlatform::releasePages(void* block, std::size_t bytes) {
    posix::systemCalls().munmap(block, pagesTaken(bytes));
}

}  // namespace wedmorph
