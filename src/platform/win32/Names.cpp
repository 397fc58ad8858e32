// Names on Windows: the file search, which finds names in any letter case and
// is the one place where "*" and "?" match, and what a name leads to.
#include "platform/win32/Win32Platform.h"

namespace wedmorph {

namespace {

constexpr DWORD kNotPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Calls `found` with each plain file that a search for `pattern` finds, until
// it returns false. A search that finds nothing has not failed.
template <typename Found>
Result<> searchPlainFiles(const std::string& pattern, Found found) {
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return {};
        return win32::lastError();
    }
    do {
        if ((entry.dwFileAttributes & kNotPlain) == 0 && !found(entry)) break;
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return {};
}

}  // namespace

namespace win32 {

Result<FileStatus> statusOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle, &info)) return lastError();
    FileStatus status;
    status.identity = {info.dwVolumeSerialNumber,
                       (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, true};
    status.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    status.links = info.nNumberOfLinks;
    return status;
}

}  // namespace win32

bool Win32Platform::plainFileExists(const std::string& path) {
    // A search that fails finds nothing.
    bool exists = false;
    (void)searchPlainFiles(path, [&](const WIN32_FIND_DATAA&) {
        exists = true;
        return false;
    });
    return exists;
}

Result<std::vector<std::string>> Win32Platform::listPlainFiles(const std::string& dir) {
    std::vector<std::string> names;
    const Result<> searched = searchPlainFiles(dir + "*", [&](const WIN32_FIND_DATAA& entry) {
        names.emplace_back(entry.cFileName);
        return true;
    });
    if (!searched) return searched.error();
    return names;
}

Result<FileStatus> Win32Platform::statusOfPath(const std::string& path) {
    // No access asked, and every kind shared: the name is looked at even while
    // another run holds the file, and backup semantics open a folder too.
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle = ::CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return win32::lastError();
    Result<FileStatus> status = win32::statusOfHandle(handle);
    ::CloseHandle(handle);
    return status;
}

Result<std::string> Win32Platform::absolutePath(const std::string& path) {
    // The system's own rules take "." and ".." away and read "/" as "\".
    // Links stay: a folder reached through one still has the folder's
    // identity, which callers compare as well.
    const DWORD needed = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return win32::lastError();
    std::string absolute(needed, '\0');
    const DWORD length = ::GetFullPathNameA(path.c_str(), needed, absolute.data(), nullptr);
    if (length == 0) return win32::lastError();
    // Changed between the two calls: longer now.
    if (length >= needed) return std::error_code(ERROR_INSUFFICIENT_BUFFER, std::system_category());
    absolute.resize(length);
    return absolute;
}

}  // namespace wedmorph
