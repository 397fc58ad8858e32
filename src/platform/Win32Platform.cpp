// The platform services on Windows: the Win32 calls themselves, with the
// access, sharing and creation flags the run depends on.
#include "platform/Platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <new>

namespace wedmorph {

namespace {

HANDLE toHandle(std::intptr_t native) { return reinterpret_cast<HANDLE>(native); }
std::intptr_t fromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

FileIdentity identityOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle, &info)) return {};
    return {info.dwVolumeSerialNumber,
            (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, true};
}

// Opens a file on disk (not a device such as CON or NUL, not a pipe) that is
// none of `kept`. Nothing is emptied here: a caller that writes empties the
// file only after these checks.
HANDLE openChecked(const std::string& path, DWORD access, DWORD share, DWORD creation,
                   KeptFiles kept = {}, const FileIdentity* alsoKept = nullptr) {
    HANDLE handle = ::CreateFileA(path.c_str(), access, share, nullptr, creation,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return handle;
    const FileIdentity identity = identityOf(handle);
    if (::GetFileType(handle) != FILE_TYPE_DISK || isKept(kept, identity) ||
        (alsoKept != nullptr && identity.known && *alsoKept == identity)) {
        ::CloseHandle(handle);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

FileHandle toFile(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) return {};
    return {fromHandle(handle)};
}

bool emptyFile(HANDLE handle) {
    LARGE_INTEGER start{};
    return ::SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle);
}

bool writeAll(HANDLE handle, const std::uint8_t* data, std::size_t length, std::size_t& written) {
    // WriteFile takes a 32-bit length; larger blocks go out in pieces.
    written = 0;
    while (written < length) {
        const std::size_t left = length - written;
        const DWORD piece = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD done = 0;
        if (!::WriteFile(handle, data + written, piece, &done, nullptr)) return false;
        written += done;
        if (done < piece) break;
    }
    return true;
}

bool copyContents(HANDLE from, HANDLE to) {
    static constexpr DWORD kChunk = DWORD{1} << 20;
    static std::uint8_t* buffer = new (std::nothrow) std::uint8_t[kChunk];
    if (buffer == nullptr) return false;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(from, buffer, kChunk, &read, nullptr)) return false;
        if (read == 0) return true;
        std::size_t written = 0;
        if (!writeAll(to, buffer, read, written) || written != read) return false;
    }
}

class Win32Platform final : public Platform {
public:
    PathStyle pathStyle() const override { return PathStyle::Windows; }

    std::string ownProgramPath() override {
        // Taken in full: a folder path that is too long is refused by the run,
        // never cut to a shorter one that names another folder. A path that
        // fills the buffer may have been cut, so the buffer grows until it does not.
        std::string buffer(MAX_PATH + 1, '\0');
        for (;;) {
            const DWORD size = static_cast<DWORD>(buffer.size());
            const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), size);
            if (length == 0) return {};
            if (length < size - 1) {
                buffer.resize(length);
                return buffer;
            }
            if (buffer.size() > 65536) return {};
            buffer.resize(buffer.size() * 2);
        }
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
        return toFile(openChecked(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    }

    FileHandle openForUpdate(const std::string& path, KeptFiles kept) override {
        return toFile(openChecked(path, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, kept));
    }

    FileHandle createForWriting(const std::string& path, KeptFiles kept) override {
        // Opened as it stands and emptied after the checks, where CREATE_ALWAYS
        // would empty a kept file before anything could be checked.
        HANDLE handle = openChecked(path, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS, kept);
        if (handle == INVALID_HANDLE_VALUE) return {};
        if (!emptyFile(handle)) {
            ::CloseHandle(handle);
            return {};
        }
        return toFile(handle);
    }

    FileIdentity identifyFile(FileHandle file) override {
        return identityOf(toHandle(file.native));
    }

    FileIdentity identifyPath(const std::string& path) override {
        constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        HANDLE handle = ::CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return {};
        const FileIdentity identity = identityOf(handle);
        ::CloseHandle(handle);
        return identity;
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

    bool writeFile(FileHandle file, std::span<const WritePiece> pieces,
                   std::size_t& written) override {
        // One WriteFile per piece: WriteFileGather wants page-sized pieces and
        // an unbuffered file.
        written = 0;
        for (const WritePiece& piece : pieces) {
            std::size_t done = 0;
            const bool ok = writeAll(toHandle(file.native), piece.data, piece.length, done);
            written += done;
            if (!ok) return false;
            if (done < piece.length) break;
        }
        return true;
    }

    FileIdentity copyFile(const std::string& source, const std::string& target,
                          KeptFiles kept) override {
        // By hand rather than CopyFileA: the target is checked before it is
        // emptied, and the copy takes the bytes without the source's
        // attributes, so a read-only source never makes a read-only copy.
        HANDLE from = openChecked(source, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        if (from == INVALID_HANDLE_VALUE) return {};
        const FileIdentity sourceIdentity = identityOf(from);
        HANDLE to = openChecked(target, GENERIC_WRITE, 0, OPEN_ALWAYS, kept, &sourceIdentity);
        const FileIdentity copy = to != INVALID_HANDLE_VALUE ? identityOf(to) : FileIdentity{};
        bool ok = to != INVALID_HANDLE_VALUE && emptyFile(to) && copyContents(from, to);
        if (to != INVALID_HANDLE_VALUE) ok = ::CloseHandle(to) && ok;
        ::CloseHandle(from);
        return ok ? copy : FileIdentity{};
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
