// Read-only views of whole files, and memory straight from the system.
#include "platform/win32/Win32Platform.h"

namespace wedmorph {

Result<std::span<const std::uint8_t>> Win32Platform::mapFile(FileHandle file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(win32::toHandle(file), &size)) return win32::lastError();
    if (size.QuadPart <= 0) return refused(Refusal::EmptyFile);
    const auto bytes = static_cast<std::uint64_t>(size.QuadPart);
    // A 32-bit process cannot view a file of 4 GiB or more.
    if (bytes != static_cast<std::size_t>(bytes)) return std::make_error_code(std::errc::file_too_large);
    HANDLE mapping =
        ::CreateFileMappingA(win32::toHandle(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) return win32::lastError();
    const void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    const std::error_code error = view == nullptr ? win32::lastError() : std::error_code();
    // The view keeps the section alive by itself: the view is the one thing
    // left to release.
    ::CloseHandle(mapping);
    if (view == nullptr) return error;
    return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(view), static_cast<std::size_t>(bytes));
}

void Win32Platform::unmapFile(std::span<const std::uint8_t> view) {
    ::UnmapViewOfFile(view.data());
}

Result<void*> Win32Platform::allocatePages(std::size_t bytes) {
    void* block = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (block == nullptr) return win32::lastError();
    return block;
}

void Win32Platform::releasePages(void* block, std::size_t) { ::VirtualFree(block, 0, MEM_RELEASE); }

}  // namespace wedmorph
