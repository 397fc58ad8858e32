// Files on Windows. The sharing modes are the locks: an input shares reading
// only, so no other run writes or deletes it while this one reads it; an
// output shares nothing, so no other run opens it at all.
#include <vector>

#include "platform/win32/Win32Platform.h"

namespace wedmorph {

namespace {

using win32::lastError;

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

// Done, unless `error` says otherwise.
Result<> doneUnless(std::error_code error) {
    if (error) return error;
    return {};
}

ExistingFile failed(ExistingFile& found, std::error_code error) {
    found.error = error;
    return found;
}

// Writes `length` bytes at `offset`; `written` receives how many went out. A
// short write stops with a success.
Result<> writeAt(HANDLE file, std::uint64_t offset, const std::uint8_t* data, std::size_t length,
                 std::size_t& written) {
    written = 0;
    while (written < length) {
        const std::size_t left = length - written;
        const DWORD piece = left > kMostPerCall ? kMostPerCall : static_cast<DWORD>(left);
        OVERLAPPED position = at(offset + written);
        DWORD done = 0;
        if (!::WriteFile(file, data + written, piece, &done, &position)) return lastError();
        written += done;
        if (done < piece) break;
    }
    return {};
}

// Appends the pieces to a log as a text stream does: "\n" goes out as
// "\r\n". Gathered in a buffer so that a line goes out whole in one write.
// `written` counts the bytes of the pieces that went out.
Result<> appendText(HANDLE log, std::span<const WritePiece> pieces, std::size_t& written) {
    char lines[4096];
    DWORD used = 0;
    std::size_t taken = 0;  // the bytes of the pieces in `lines`
    std::error_code error;
    const auto flush = [&] {
        DWORD done = 0;
        if (!::WriteFile(log, lines, used, &done, nullptr)) error = lastError();
        if (error || done != used) return false;
        written += taken;
        used = 0;
        taken = 0;
        return true;
    };
    for (const WritePiece& piece : pieces) {
        for (const std::uint8_t c : piece) {
            if (used + 2 > sizeof lines && !flush()) return doneUnless(error);
            if (c == '\n') lines[used++] = '\r';
            lines[used++] = static_cast<char>(c);
            ++taken;
        }
    }
    if (used != 0) flush();
    return doneUnless(error);
}

// Marks the file that `file` holds for deletion when its last handle closes.
// It is that file that goes, whatever its name leads to by then.
Result<> deleteOnClose(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      static_cast<DWORD>(sizeof disposition))) {
        return lastError();
    }
    return {};
}

// Why the open that has just failed did: nothing has the name, or another
// handle holds the file without sharing what was asked.
void noteFailure(ExistingFile& found) {
    const DWORD error = ::GetLastError();
    found.error = lastError();
    found.missing = error == ERROR_FILE_NOT_FOUND;
    found.inUse = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// A file on disk, not a device such as CON or NUL, nor a pipe. The system
// says FILE_TYPE_UNKNOWN with an error when it cannot tell.
Result<> onDisk(HANDLE file) {
    ::SetLastError(NO_ERROR);
    const DWORD type = ::GetFileType(file);
    if (type == FILE_TYPE_DISK) return {};
    if (type == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR) return lastError();
    return refused(Refusal::NotRegularFile);
}

// The file held by a regular file on disk, not a folder nor a reparse
// point; the reason when it is not.
Result<> plainOnDisk(HANDLE file, BY_HANDLE_FILE_INFORMATION& information) {
    if (const Result<> disk = onDisk(file); !disk) return disk;
    if (!::GetFileInformationByHandle(file, &information)) return lastError();
    if ((information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return refused(Refusal::NotRegularFile);
    }
    return {};
}

}  // namespace

ExistingFile Win32Platform::openInput(const std::string& path, InputUse use) {
    // DELETE access keeps every other run off the file: none shares deletion.
    const DWORD access = use == InputUse::ReadThenDelete ? GENERIC_READ | DELETE : GENERIC_READ;
    ExistingFile found;
    found.path = path;
    HANDLE file = ::CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        noteFailure(found);
        return found;
    }
    if (const Result<> disk = onDisk(file); !disk) {
        ::CloseHandle(file);
        return failed(found, disk.error());
    }
    found.file = win32::toFile(file);
    return found;
}

ExistingFile Win32Platform::openForWriting(const std::string& path, WriteOpen how) {
    if (how == WriteOpen::AppendLog) return openLog(path);
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
    if (const Result<> plain = plainOnDisk(file, information); !plain) {
        ::CloseHandle(file);
        return failed(found, plain.error());
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

Result<FileHandle> Win32Platform::createNew(const std::string& path, bool& exists) {
    // DELETE access: the file is renamed or removed through this handle.
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return lastError();
    }
    exists = false;
    if (const Result<> disk = onDisk(file); !disk) {
        ::CloseHandle(file);
        return disk.error();
    }
    return win32::toFile(file);
}

Result<> Win32Platform::renameHeld(FileHandle file, const std::string&, const std::string& to) {
    // Through the handle, which stays open and unshared: the file is never
    // let go between its writing and its new name. The new name as a full
    // path: a name alone is taken relative to the current directory by some
    // systems (Wine), not to the file's own folder.
    const Result<std::string> full = absolutePath(to);
    if (!full) return full.error();
    const int fullLength = static_cast<int>(full->size());
    const int wide = ::MultiByteToWideChar(CP_ACP, 0, full->data(), fullLength, nullptr, 0);
    if (wide <= 0) return lastError();
    std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + sizeof(WCHAR) * static_cast<std::size_t>(wide));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(sizeof(WCHAR) * static_cast<std::size_t>(wide));
    if (::MultiByteToWideChar(CP_ACP, 0, full->data(), fullLength, rename->FileName, wide) != wide) {
        return lastError();
    }
    // Another program (a virus scanner) may open the old file in that very
    // instant: its turn is short.
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        if (::SetFileInformationByHandle(win32::toHandle(file), FileRenameInfo, rename,
                                         static_cast<DWORD>(buffer.size()))) {
            return {};
        }
        const DWORD error = ::GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
            ::GetTickCount64() - start >= 1000) {
            return lastError();
        }
        ::Sleep(10);
    }
}

ExistingFile Win32Platform::openLog(const std::string& path) {
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
    ExistingFile found;
    found.path = path;
    for (int tries = 0; tries < 8; ++tries) {
        bool created = false;
        HANDLE file = ::CreateFileA(path.c_str(), kAccess, kShare, nullptr, OPEN_EXISTING, kFlags, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (::GetLastError() != ERROR_FILE_NOT_FOUND) return failed(found, lastError());
            file = ::CreateFileA(path.c_str(), kAccess, kShare, nullptr, CREATE_NEW, kFlags, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                // Made by another run in that instant, or a name Wine shows
                // as missing: looked at again.
                found.error = lastError();
                if (::GetLastError() == ERROR_FILE_EXISTS) continue;
                return found;
            }
            created = true;
        }
        BY_HANDLE_FILE_INFORMATION information{};
        Result<> usable = plainOnDisk(file, information);
        if (usable && information.nNumberOfLinks != 1) usable = refused(Refusal::MoreThanOneName);
        if (usable) {
            found.file = win32::toFile(file);
            return found;
        }
        ::CloseHandle(file);
        // An empty log of this run's making is not left behind; one that
        // another run opened meanwhile is shared without deletion and stays,
        // and so does one that cannot be deleted: an empty file is harmless.
        if (created) (void)::DeleteFileA(path.c_str());
        return failed(found, usable.error());
    }
    return found;
}

Result<> Win32Platform::readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                                 std::size_t& read) {
    read = 0;
    while (read < into.size()) {
        OVERLAPPED position = at(offset + read);
        DWORD done = 0;
        const std::size_t left = into.size() - read;
        const DWORD wanted = left > kMostPerCall ? kMostPerCall : static_cast<DWORD>(left);
        if (!::ReadFile(win32::toHandle(file), into.data() + read, wanted, &done, &position)) {
            // A positional read from the end fails with this error.
            if (::GetLastError() == ERROR_HANDLE_EOF) break;
            return lastError();
        }
        if (done == 0) break;
        read += done;
    }
    return {};
}

void Win32Platform::closeFile(FileHandle file) { ::CloseHandle(win32::toHandle(file)); }

Result<FileStatus> Win32Platform::statusOf(FileHandle file) {
    return win32::statusOfHandle(win32::toHandle(file));
}

Result<> Win32Platform::emptyFile(FileHandle file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(win32::toHandle(file), &size)) return lastError();
    if (size.QuadPart == 0) return {};
    const LARGE_INTEGER start{};
    if (!::SetFilePointerEx(win32::toHandle(file), start, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(win32::toHandle(file))) {
        return lastError();
    }
    return {};
}

Result<> Win32Platform::reserveSpace(FileHandle file, std::uint64_t size) {
    // The allocation alone: the end of file stays where the writes put it.
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    if (::SetFileInformationByHandle(win32::toHandle(file), FileAllocationInfo, &allocation,
                                     static_cast<DWORD>(sizeof allocation))) {
        return {};
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) return lastError();
    return {};
}

Result<> Win32Platform::writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                                  std::size_t& written) {
    written = 0;
    if (offset == kAppend) return appendText(win32::toHandle(file), pieces, written);
    // One WriteFile per piece: WriteFileGather wants page-sized pieces and an
    // unbuffered file.
    for (const WritePiece& piece : pieces) {
        std::size_t done = 0;
        const Result<> wrote = writeAt(win32::toHandle(file), offset + written, piece.data(), piece.size(), done);
        written += done;
        if (!wrote) return wrote;
        if (done < piece.size()) break;
    }
    return {};
}

Result<> Win32Platform::copyContents(FileHandle source, FileHandle target) {
    // By hand rather than CopyFileA: the bytes without the source's
    // attributes, so a read-only source never makes a read-only copy, and
    // into the output this run already holds.
    if (copyBuffer() == nullptr) return refused(Refusal::Unknown);
    if (const Result<> emptied = emptyFile(target); !emptied) return emptied;
    HANDLE from = win32::toHandle(source);
    HANDLE to = win32::toHandle(target);
    std::error_code error;  // stays empty for a short write
    const auto read = [from, &error](std::uint64_t offset, std::uint8_t* data,
                                     std::size_t size) -> std::int64_t {
        OVERLAPPED position = at(offset);
        DWORD done = 0;
        const DWORD wanted = size > kMostPerCall ? kMostPerCall : static_cast<DWORD>(size);
        if (!::ReadFile(from, data, wanted, &done, &position)) {
            // A positional read from the end fails with this error.
            if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
            error = lastError();
            return -1;
        }
        return done;
    };
    const auto write = [to, &error](std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
        std::size_t done = 0;
        const Result<> wrote = writeAt(to, offset, data, size, done);
        error = wrote.error();
        return wrote && done == size;
    };
    if (bufferedCopy(read, write)) return {};
    return error;
}

Result<> Win32Platform::flushFile(FileHandle file) {
    if (!::FlushFileBuffers(win32::toHandle(file))) return lastError();
    return {};
}

Result<> Win32Platform::flushFolder(const std::string&) {
    // NTFS keeps the changes to a folder's entries in its journal, and
    // Windows has no flush for a folder opened as a plain handle: there is
    // nothing more to do.
    return {};
}

Result<> Win32Platform::deleteHeldFile(FileHandle file, const std::string&) {
    // Through the handle, not the name: the name may lead to another file by
    // now. The file goes when the caller closes the handle, right after.
    return deleteOnClose(win32::toHandle(file));
}

}  // namespace wedmorph
