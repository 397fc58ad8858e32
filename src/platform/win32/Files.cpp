// Files on Windows. The sharing modes are the locks: an input shares reading
// only, so no other run writes or deletes it while this one reads it; an
// output shares nothing, so no other run opens it at all.
#include <vector>

#include "platform/win32/Win32Platform.h"

namespace wedmorph {

namespace {

// ReadFile and WriteFile take a 32-bit length.
constexpr DWORD kMostPerCall = DWORD{1} << 30;

// A position for ReadFile or WriteFile: on a handle opened without
// FILE_FLAG_OVERLAPPED the call still completes before it returns, at this
// offset, whatever the file pointer says.
OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

// Writes `length` bytes at `offset`; `written` receives how many went out. A
// short write stops with true.
bool writeAt(HANDLE file, std::uint64_t offset, const std::uint8_t* data, std::size_t length,
             std::size_t& written) {
    written = 0;
    while (written < length) {
        const std::size_t left = length - written;
        const DWORD piece = left > kMostPerCall ? kMostPerCall : static_cast<DWORD>(left);
        OVERLAPPED position = at(offset + written);
        DWORD done = 0;
        if (!::WriteFile(file, data + written, piece, &done, &position)) return false;
        written += done;
        if (done < piece) break;
    }
    return true;
}

// Marks the file that `file` holds for deletion when its last handle closes.
// It is that file that goes, whatever its name leads to by then.
bool deleteOnClose(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                        static_cast<DWORD>(sizeof disposition)) != 0;
}

// Why the open that has just failed did: nothing has the name, or another
// handle holds the file without sharing what was asked.
void noteFailure(ExistingFile& found) {
    const DWORD error = ::GetLastError();
    found.missing = error == ERROR_FILE_NOT_FOUND;
    found.inUse = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// A file on disk, not a device such as CON or NUL, nor a pipe.
bool onDisk(HANDLE file) { return ::GetFileType(file) == FILE_TYPE_DISK; }

// `file`, or no file when it is not on disk.
FileHandle diskOnly(HANDLE file) {
    if (file == INVALID_HANDLE_VALUE) return {};
    if (!onDisk(file)) {
        ::CloseHandle(file);
        return {};
    }
    return win32::toFile(file);
}

}  // namespace

ExistingFile Win32Platform::openInput(const std::string& path, InputUse use) {
    // DELETE access keeps every other run off the file: none shares deletion.
    const DWORD access = use == InputUse::ReadThenDelete ? GENERIC_READ | DELETE : GENERIC_READ;
    ExistingFile found;
    found.path = path;
    HANDLE file = ::CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) noteFailure(found);
    found.file = diskOnly(file);
    return found;
}

ExistingFile Win32Platform::openExisting(const std::string& path, FinalLink) {
    // No sharing: no other run opens the file while this one holds it. A
    // reparse point is opened as itself and refused, never followed.
    ExistingFile found;
    found.path = path;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        noteFailure(found);
        return found;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!onDisk(file) || !::GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        ::CloseHandle(file);
        return found;
    }
    // The name in its own letter case, which a replacement keeps.
    WIN32_FIND_DATAA entry{};
    HANDLE search = ::FindFirstFileA(path.c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        ::FindClose(search);
        const std::size_t slash = path.find_last_of("\\/");
        found.path = path.substr(0, slash == std::string::npos ? 0 : slash + 1) + entry.cFileName;
    }
    found.file = win32::toFile(file);
    return found;
}

FileHandle Win32Platform::createNew(const std::string& path, bool& exists) {
    // DELETE access: the file is renamed or removed through this handle.
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return {};
    }
    exists = false;
    if (!onDisk(file)) {
        ::CloseHandle(file);
        return {};
    }
    return win32::toFile(file);
}

bool Win32Platform::renameHeld(FileHandle file, const std::string&, const std::string& to) {
    // Through the handle, which stays open and unshared: the file is never
    // let go between its writing and its new name. The new name as a full
    // path: a name alone is taken relative to the current directory by some
    // systems (Wine), not to the file's own folder.
    const DWORD needed = ::GetFullPathNameA(to.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return false;
    std::string full(needed, '\0');
    const DWORD length = ::GetFullPathNameA(to.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return false;
    full.resize(length);
    const int wide = ::MultiByteToWideChar(CP_ACP, 0, full.data(), static_cast<int>(full.size()), nullptr, 0);
    if (wide <= 0) return false;
    std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + sizeof(WCHAR) * static_cast<std::size_t>(wide));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(sizeof(WCHAR) * static_cast<std::size_t>(wide));
    ::MultiByteToWideChar(CP_ACP, 0, full.data(), static_cast<int>(full.size()), rename->FileName, wide);
    // Another program (a virus scanner) may open the old file in that very
    // instant: its turn is short.
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        if (::SetFileInformationByHandle(win32::toHandle(file), FileRenameInfo, rename,
                                         static_cast<DWORD>(buffer.size()))) {
            return true;
        }
        const DWORD error = ::GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
            ::GetTickCount64() - start >= 1000) {
            return false;
        }
        ::Sleep(10);
    }
}

FileHandle Win32Platform::openLog(const std::string& path) {
    // Append access alone: every write lands at the end, even with other runs
    // appending to the same log. A log someone made a link may be another
    // area's file under another name: a reparse point is opened as itself and
    // a file with more than one name is refused, both left unwritten. The log
    // is made only where nothing has the name, never with OPEN_ALWAYS: Wine
    // takes a Unix link to a missing file for a missing file, and would make
    // the file it points to.
    constexpr DWORD kAccess = FILE_APPEND_DATA | SYNCHRONIZE;
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    for (int tries = 0; tries < 8; ++tries) {
        bool created = false;
        HANDLE file = ::CreateFileA(path.c_str(), kAccess, kShare, nullptr, OPEN_EXISTING, kFlags, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (::GetLastError() != ERROR_FILE_NOT_FOUND) return {};
            file = ::CreateFileA(path.c_str(), kAccess, kShare, nullptr, CREATE_NEW, kFlags, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                // Made by another run in that instant, or a name Wine shows
                // as missing: looked at again.
                if (::GetLastError() == ERROR_FILE_EXISTS) continue;
                return {};
            }
            created = true;
        }
        BY_HANDLE_FILE_INFORMATION information{};
        if (onDisk(file) && ::GetFileInformationByHandle(file, &information) &&
            (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
            information.nNumberOfLinks == 1) {
            return win32::toFile(file);
        }
        ::CloseHandle(file);
        // An empty log of this run's making is not left behind; one that
        // another run opened meanwhile is shared without deletion and stays.
        if (created) ::DeleteFileA(path.c_str());
        return {};
    }
    return {};
}

bool Win32Platform::readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                             std::size_t& read) {
    read = 0;
    while (read < into.size()) {
        OVERLAPPED position = at(offset + read);
        DWORD done = 0;
        const std::size_t left = into.size() - read;
        const DWORD wanted = left > kMostPerCall ? kMostPerCall : static_cast<DWORD>(left);
        if (!::ReadFile(win32::toHandle(file), into.data() + read, wanted, &done, &position)) {
            // A positional read from the end fails with this error.
            return ::GetLastError() == ERROR_HANDLE_EOF;
        }
        if (done == 0) break;
        read += done;
    }
    return true;
}

bool Win32Platform::appendLog(FileHandle log, std::string_view text) {
    // The log was written by a text stream: "\n" goes out as "\r\n". Gathered
    // in a buffer so that a line goes out whole in one write.
    char lines[4096];
    DWORD used = 0;
    const auto flush = [&] {
        DWORD done = 0;
        const bool ok = ::WriteFile(win32::toHandle(log), lines, used, &done, nullptr) &&
                        done == used;
        used = 0;
        return ok;
    };
    for (const char c : text) {
        if (used + 2 > sizeof lines && !flush()) return false;
        if (c == '\n') lines[used++] = '\r';
        lines[used++] = c;
    }
    return used == 0 || flush();
}

void Win32Platform::closeFile(FileHandle file) { ::CloseHandle(win32::toHandle(file)); }

FileStatus Win32Platform::statusOf(FileHandle file) {
    return win32::statusOfHandle(win32::toHandle(file));
}

bool Win32Platform::emptyFile(FileHandle file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(win32::toHandle(file), &size)) return false;
    if (size.QuadPart == 0) return true;
    const LARGE_INTEGER start{};
    return ::SetFilePointerEx(win32::toHandle(file), start, nullptr, FILE_BEGIN) &&
           ::SetEndOfFile(win32::toHandle(file));
}

Reservation Win32Platform::reserveSpace(FileHandle file, std::uint64_t size) {
    // The allocation alone: the end of file stays where the writes put it.
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    if (::SetFileInformationByHandle(win32::toHandle(file), FileAllocationInfo, &allocation,
                                     static_cast<DWORD>(sizeof allocation))) {
        return Reservation::Made;
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? Reservation::NoSpace
                                                                        : Reservation::NotMade;
}

bool Win32Platform::writeFile(FileHandle file, std::uint64_t offset,
                              std::span<const WritePiece> pieces, std::size_t& written) {
    // One WriteFile per piece: WriteFileGather wants page-sized pieces and an
    // unbuffered file.
    written = 0;
    for (const WritePiece& piece : pieces) {
        std::size_t done = 0;
        const bool ok = writeAt(win32::toHandle(file), offset + written, piece.data(), piece.size(), done);
        written += done;
        if (!ok) return false;
        if (done < piece.size()) break;
    }
    return true;
}

bool Win32Platform::copyContents(FileHandle source, FileHandle target) {
    // By hand rather than CopyFileA: the bytes without the source's
    // attributes, so a read-only source never makes a read-only copy, and
    // into the output this run already holds.
    if (copyBuffer() == nullptr || !emptyFile(target)) return false;
    HANDLE from = win32::toHandle(source);
    HANDLE to = win32::toHandle(target);
    const auto read = [from](std::uint64_t offset, std::uint8_t* data,
                             std::size_t size) -> std::int64_t {
        OVERLAPPED position = at(offset);
        DWORD done = 0;
        const DWORD wanted = size > kMostPerCall ? kMostPerCall : static_cast<DWORD>(size);
        if (!::ReadFile(from, data, wanted, &done, &position)) {
            // A positional read from the end fails with this error.
            return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
        }
        return done;
    };
    const auto write = [to](std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
        std::size_t done = 0;
        return writeAt(to, offset, data, size, done) && done == size;
    };
    return bufferedCopy(read, write);
}

bool Win32Platform::flushFile(FileHandle file) {
    return ::FlushFileBuffers(win32::toHandle(file)) != 0;
}

bool Win32Platform::flushFolder(const std::string&) {
    // NTFS keeps the changes to a folder's entries in its journal, and
    // Windows has no flush for a folder opened as a plain handle: there is
    // nothing more to do.
    return true;
}

bool Win32Platform::deleteHeldFile(FileHandle file, const std::string&) {
    // Through the handle, not the name: the name may lead to another file by
    // now. The file goes when the caller closes the handle, right after.
    return deleteOnClose(win32::toHandle(file));
}

}  // namespace wedmorph
