// The platform services on Windows: the Win32 calls themselves, with the
// access, sharing and creation flags the run depends on.
#include "platform/Platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>

namespace wedmorph {

namespace {

HANDLE toHandle(std::intptr_t native) { return reinterpret_cast<HANDLE>(native); }
std::intptr_t fromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

FileHandle openWith(const std::string& path, DWORD access, DWORD share, DWORD creation) {
    HANDLE handle = ::CreateFileA(path.c_str(), access, share, nullptr, creation,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    return {fromHandle(handle)};
}

// Whether two paths name one file (hard links and other spellings included).
bool sameFile(const std::string& a, const std::string& b) {
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE first = ::CreateFileA(a.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (first == INVALID_HANDLE_VALUE) return false;
    HANDLE second = ::CreateFileA(b.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    bool same = false;
    if (second != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION one, two;
        same = ::GetFileInformationByHandle(first, &one) &&
               ::GetFileInformationByHandle(second, &two) &&
               one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
               one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
        ::CloseHandle(second);
    }
    ::CloseHandle(first);
    return same;
}

class Win32Platform final : public Platform {
public:
    PathStyle pathStyle() const override { return PathStyle::Windows; }

    std::string ownProgramPath() override {
        char buffer[MAX_PATH + 1];
        DWORD length = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return {};
        return std::string(buffer, length);
    }

    bool isLeadByte(unsigned char byte) const override { return ::IsDBCSLeadByte(byte) != 0; }

    bool changeDirectory(const std::string& dir) override {
        return ::SetCurrentDirectoryA(dir.c_str()) != 0;
    }

    bool plainFileExists(const std::string& path) override {
        WIN32_FIND_DATAA entry;
        HANDLE search = ::FindFirstFileA(path.c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) return false;
        constexpr DWORD kSkipped =
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        bool found = false;
        do {
            if ((entry.dwFileAttributes & kSkipped) == 0) {
                found = true;
                break;
            }
        } while (::FindNextFileA(search, &entry));
        ::FindClose(search);
        return found;
    }

    FileHandle openForReading(const std::string& path) override {
        return openWith(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    }

    FileHandle openForUpdate(const std::string& path) override {
        return openWith(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        OPEN_EXISTING);
    }

    FileHandle createForWriting(const std::string& path) override {
        return openWith(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        CREATE_ALWAYS);
    }

    void closeFile(FileHandle file) override { ::CloseHandle(toHandle(file.native)); }

    std::uint32_t fileSize(FileHandle file) override {
        DWORD size = ::GetFileSize(toHandle(file.native), nullptr);
        return size == INVALID_FILE_SIZE ? 0 : size;
    }

    MappingHandle createMapping(FileHandle file, Access access) override {
        DWORD protection = access == Access::ReadWrite ? PAGE_READWRITE : PAGE_READONLY;
        HANDLE mapping =
            ::CreateFileMappingA(toHandle(file.native), nullptr, protection, 0, 0, nullptr);
        if (mapping == nullptr) return {};
        return {fromHandle(mapping)};
    }

    std::uint8_t* mapView(MappingHandle mapping, Access access) override {
        DWORD desired = access == Access::ReadWrite ? FILE_MAP_WRITE : FILE_MAP_READ;
        return static_cast<std::uint8_t*>(
            ::MapViewOfFile(toHandle(mapping.native), desired, 0, 0, 0));
    }

    void unmapView(std::uint8_t* view) override { ::UnmapViewOfFile(view); }

    void closeMapping(MappingHandle mapping) override { ::CloseHandle(toHandle(mapping.native)); }

    bool writeFile(FileHandle file, const std::uint8_t* data, std::size_t length,
                   std::size_t& written) override {
        // WriteFile takes a 32-bit length; larger blocks go out in pieces.
        written = 0;
        while (written < length) {
            std::size_t left = length - written;
            DWORD piece = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
            DWORD done = 0;
            if (!::WriteFile(toHandle(file.native), data + written, piece, &done, nullptr)) {
                return false;
            }
            written += done;
            if (done < piece) break;
        }
        return true;
    }

    bool copyFile(const std::string& source, const std::string& target) override {
        // CopyFileA refuses a file onto itself only through its sharing modes;
        // say no before it gets there.
        if (sameFile(source, target)) return false;
        return ::CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
    }

    bool deleteFile(const std::string& path) override {
        return ::DeleteFileA(path.c_str()) != 0;
    }

    void* allocatePages(std::size_t bytes) override {
        return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    }

    void releasePages(void* block, std::size_t) override { ::VirtualFree(block, 0, MEM_RELEASE); }

    void writeConsole(const char* text, std::size_t length) override {
        std::fwrite(text, 1, length, stdout);
    }

    std::FILE* openAppendText(const std::string& path) override {
        return std::fopen(path.c_str(), "a+t");
    }

    std::tm localTimeNow() override {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        ::localtime_s(&local, &now);
        return local;
    }
};

}  // namespace

Platform& nativePlatform() {
    static Win32Platform platform;
    return platform;
}

}  // namespace wedmorph
