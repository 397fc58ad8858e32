// Read-only views of whole files, and memory straight from the system.
#include "platform/win32/Win32Platform.h"

namespace wedmorph {

std::span<const std::uint8_t> Win32Platform::mapFile(FileHandle file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(win32::toHandle(file), &size) || size.QuadPart <= 0) return {};
    const auto bytes = static_cast<std::uint64_t>(size.QuadPart);
    // A 32-bit process cannot view a file of 4 GiB or more.
    if (bytes != static_cast<std::size_t>(bytes)) return {};
    HANDLE mapping =
        ::CreateFileMappingA(win32::toHandle(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) return {};
    const void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    // The view keeps the section alive by itself: the view is the one thing
    // left to release.
    ::CloseHandle(mapping);
    if (view == nullptr) return {};
    return {static_cast<const std::uint8_t*>(view), static_cast<std::size_t>(bytes)};
}

void Win32Platform::unmapFile(std::span<const std::uint8_t> view) {
    ::UnmapViewOfFile(view.data());
}

void* Win32Platform::allocatePages(std::size_t bytes) {
    return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void Win32Platform::releasePages(void* block, std::size_t) { ::VirtualFree(block, 0, MEM_RELEASE); }

}  // namespace wedmorph
