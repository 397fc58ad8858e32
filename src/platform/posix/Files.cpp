// Files on POSIX. Advisory locks that never wait stand in for Windows'
// sharing modes: a shared lock while a run reads a file, an exclusive one
// while it writes it. A file system without such locks leaves its files
// unlocked rather than refusing every run.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/posix/PosixPlatform.h"
#include "platform/posix/SystemCalls.h"

namespace wedmorph {

namespace {

using posix::descriptorOf;
using posix::systemCalls;

// An open never waits on a pipe or a device, nor makes a terminal the
// process's own; reads and writes wait again once the file is known to be a
// regular one.
constexpr int kOpenFlags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

bool clearNonBlocking(int fd) {
    const int status = systemCalls().fcntl(fd, F_GETFL, 0);
    return status >= 0 && systemCalls().fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == 0;
}

bool isRegular(int fd) {
    struct stat info;
    return systemCalls().fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// False only when another holder has the file: any other failure means a file
// system without locks.
bool lockFile(int fd, int how) {
    return posix::retryAfterSignal(systemCalls().flock, fd, how | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

// The file for a run to use: locked as `how` says and blocking again; closed
// when it cannot be, `inUse` when another holder has it.
int usable(int fd, int how, bool& inUse) {
    inUse = !lockFile(fd, how);
    if (!inUse && clearNonBlocking(fd)) return fd;
    systemCalls().close(fd);
    return -1;
}

#if defined(__linux__)
// Whether the error of a kernel copy means only that it cannot copy between
// these two files.
bool kernelCannotCopy(int error) {
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP ||
           error == ENOTSUP;
}
#endif

// Whether the error of a folder's fsync means a file system that cannot flush
// a folder.
bool folderCannotFlush(int error) { return error == EINVAL || error == EOPNOTSUPP || error == ENOTSUP; }

bool fsyncRetried(int fd) { return posix::retryAfterSignal(systemCalls().fsync, fd) == 0; }

}  // namespace

ExistingFile PosixPlatform::openInput(const std::string& path, InputUse use) {
    // A file to be deleted is held exclusively, as Windows' DELETE access
    // holds it: no other run reads what this one is about to take away.
    ExistingFile found;
    if (posix::nameHasWildcard(path)) return found;
    const Resolved entry = resolve(path);
    found.path = entry.path;
    found.missing = !entry.exists;
    const int fd = systemCalls().open(entry.path.c_str(), O_RDONLY | kOpenFlags, 0);
    if (fd < 0) return found;
    if (!isRegular(fd)) {
        systemCalls().close(fd);
        return found;
    }
    found.file = {usable(fd, use == InputUse::ReadThenDelete ? LOCK_EX : LOCK_SH, found.inUse)};
    return found;
}

ExistingFile PosixPlatform::openExisting(const std::string& path, FinalLink link) {
    ExistingFile found;
    if (posix::nameHasWildcard(path)) return found;
    const Resolved entry = resolve(path);
    found.path = entry.path;
    if (!entry.exists) {
        found.missing = true;
        return found;
    }
    int flags = O_RDWR | kOpenFlags;
    if (link == FinalLink::Refuse) {
        flags |= O_NOFOLLOW;
    } else {
        // A link stays a link: the file it finally leads to is the one
        // replaced, under its own name in its own folder.
        struct stat info;
        if (systemCalls().lstat(entry.path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
            char* real = systemCalls().realpath(entry.path.c_str(), nullptr);
            if (real == nullptr) return found;
            found.path = real;
            std::free(real);
        }
    }
    const int fd = systemCalls().open(found.path.c_str(), flags, 0);
    if (fd < 0) {
        // Gone since the lookup: nothing has the name any more.
        found.missing = errno == ENOENT;
        return found;
    }
    if (!isRegular(fd)) {
        systemCalls().close(fd);
        return found;
    }
    found.file = {usable(fd, LOCK_EX, found.inUse)};
    return found;
}

FileHandle PosixPlatform::createNew(const std::string& path, bool& exists) {
    exists = false;
    if (posix::nameHasWildcard(path)) return {};
    // Another run may take the new file for one left behind and remove it
    // between its creation and its lock: the name must still lead to the
    // locked file, else it is made again.
    for (int tries = 0; tries < 8; ++tries) {
        if (resolve(path).exists) {
            exists = true;
            return {};
        }
        const int fd = systemCalls().open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | kOpenFlags, 0666);
        if (fd < 0) {
            exists = errno == EEXIST;
            return {};
        }
        const posix::PathSplit split = posix::splitAtLastSlash(path);
        listings_.noteCreated(split.dir, split.name);
        if (!lockFile(fd, LOCK_EX)) {
            // Taken by another run in that instant.
            systemCalls().close(fd);
            exists = true;
            return {};
        }
        if (nameLeadsTo(path, fd) && clearNonBlocking(fd)) return {fd};
        systemCalls().close(fd);
        listings_.forget(split.dir);
    }
    return {};
}

FileHandle PosixPlatform::openLog(const std::string& path) {
    // No lock: two runs may append to one log. A log someone made a link,
    // symbolic or hard, may be another area's file under another name: it is
    // left alone, and nothing is created where a dangling link points.
    const Resolved target = resolve(path);
    const int fd = systemCalls().open(target.path.c_str(),
                                      O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | kOpenFlags, 0666);
    if (fd < 0) return {};
    if (!target.exists) {
        const posix::PathSplit split = posix::splitAtLastSlash(target.path);
        listings_.noteCreated(split.dir, split.name);
    }
    struct stat info;
    if (systemCalls().fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
        !clearNonBlocking(fd)) {
        systemCalls().close(fd);
        return {};
    }
    return {fd};
}

void PosixPlatform::closeFile(FileHandle file) {
    // Never again on EINTR: the descriptor is gone whatever close says, and
    // its number may already belong to another thread's file.
    systemCalls().close(descriptorOf(file));
}

FileStatus PosixPlatform::statusOf(FileHandle file) {
    struct stat info;
    if (systemCalls().fstat(descriptorOf(file), &info) != 0) return {};
    return posix::statusFrom(info);
}

bool PosixPlatform::emptyFile(FileHandle file) {
    // A file that holds nothing is left alone: truncating a new file makes
    // some file systems (ext4) write it out when it is closed.
    struct stat info;
    if (systemCalls().fstat(descriptorOf(file), &info) != 0) return false;
    return info.st_size == 0 || systemCalls().ftruncate(descriptorOf(file), 0) == 0;
}

Reservation PosixPlatform::reserveSpace(FileHandle file, std::uint64_t size) {
#if defined(__linux__)
    // The blocks alone (FALLOC_FL_KEEP_SIZE): the size grows with the writes.
    // Never posix_fallocate, which writes zeros where the file system cannot
    // reserve: twice the writes for nothing.
    if (size == 0) return Reservation::Made;
    if (posix::retryAfterSignal(systemCalls().fallocate, descriptorOf(file), FALLOC_FL_KEEP_SIZE, off_t{0},
                                static_cast<off_t>(size)) == 0) {
        return Reservation::Made;
    }
    return errno == ENOSPC || errno == EDQUOT ? Reservation::NoSpace : Reservation::NotMade;
#else
    (void)file;
    (void)size;
    return Reservation::NotMade;
#endif
}

bool PosixPlatform::writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                              std::size_t& written) {
    // Up to IOV_MAX pieces a call, going on from where a call stopped short.
    written = 0;
    constexpr std::size_t kMostPieces = IOV_MAX;
    iovec vectors[kMostPieces];
    std::size_t next = 0;  // the first piece not wholly written
    std::size_t done = 0;  // bytes of it already written
    for (;;) {
        while (next < pieces.size() && done == pieces[next].size()) {
            ++next;
            done = 0;
        }
        if (next == pieces.size()) return true;
        int count = 0;
        for (std::size_t p = next; p < pieces.size() && count < static_cast<int>(kMostPieces); ++p) {
            const std::size_t skip = p == next ? done : 0;
            vectors[count++] = {const_cast<std::uint8_t*>(pieces[p].data()) + skip, pieces[p].size() - skip};
        }
        const ssize_t n = posix::retryAfterSignal(systemCalls().pwritev, descriptorOf(file),
                                                  static_cast<const iovec*>(vectors), count,
                                                  static_cast<off_t>(offset + written));
        if (n < 0) return false;
        if (n == 0) return true;
        written += static_cast<std::size_t>(n);
        for (std::size_t left = static_cast<std::size_t>(n); left > 0;) {
            const std::size_t take = std::min(left, pieces[next].size() - done);
            left -= take;
            done += take;
            if (done == pieces[next].size()) {
                ++next;
                done = 0;
            }
        }
    }
}

bool PosixPlatform::readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                             std::size_t& read) {
    read = 0;
    while (read < into.size()) {
        const ssize_t n = posix::retryAfterSignal(systemCalls().pread, descriptorOf(file),
                                                  static_cast<void*>(into.data() + read), into.size() - read,
                                                  static_cast<off_t>(offset + read));
        if (n < 0) return false;
        if (n == 0) break;
        read += static_cast<std::size_t>(n);
    }
    return true;
}

bool PosixPlatform::appendLog(FileHandle log, std::string_view text) {
    // POSIX has no text mode: "\n" is written as it is.
    while (!text.empty()) {
        const ssize_t n = posix::retryAfterSignal(systemCalls().write, descriptorOf(log),
                                                  static_cast<const void*>(text.data()), text.size());
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool PosixPlatform::copyThroughBuffer(int from, int to, std::uint64_t offset) {
    const auto read = [from](std::uint64_t at, std::uint8_t* data, std::size_t size) -> std::int64_t {
        return posix::retryAfterSignal(systemCalls().pread, from, static_cast<void*>(data), size,
                                       static_cast<off_t>(at));
    };
    const auto write = [this, to](std::uint64_t at, const std::uint8_t* data, std::size_t size) {
        const WritePiece piece(data, size);
        std::size_t written = 0;
        return writeFile({to}, at, {&piece, 1}, written) && written == size;
    };
    return bufferedCopy(read, write, offset);
}

bool PosixPlatform::copyContents(FileHandle source, FileHandle target) {
    // The bytes alone: a new target keeps the mode it was created with, so a
    // read-only source never makes a copy that the next run cannot replace.
    if (!emptyFile(target)) return false;
    const int from = descriptorOf(source);
    const int to = descriptorOf(target);
#if defined(__linux__)
    // In the kernel, at explicit offsets: neither descriptor's position moves.
    struct stat info;
    if (systemCalls().fstat(from, &info) != 0) return false;
    loff_t fromAt = 0;
    loff_t toAt = 0;
    while (fromAt < info.st_size) {
        const ssize_t n = posix::retryAfterSignal(systemCalls().copy_file_range, from, &fromAt, to, &toAt,
                                                  static_cast<std::size_t>(info.st_size - fromAt), 0u);
        if (n > 0) continue;
        if (n < 0 && !kernelCannotCopy(errno)) return false;
        // Nothing copied where bytes remain: some file systems answer so
        // rather than with an error. The buffer finds the true end.
        return copyThroughBuffer(from, to, static_cast<std::uint64_t>(fromAt));
    }
    return true;
#elif defined(__APPLE__)
    return systemCalls().fcopyfile(from, to, nullptr, COPYFILE_DATA) == 0;
#else
    return copyThroughBuffer(from, to, 0);
#endif
}

bool PosixPlatform::flushFile(FileHandle file) {
    const int fd = descriptorOf(file);
#if defined(__APPLE__)
    // fsync leaves the bytes in the drive's cache on macOS; F_FULLFSYNC
    // does not, where the file system takes it.
    if (posix::retryAfterSignal(systemCalls().fcntl, fd, F_FULLFSYNC, 0) == 0) return true;
    if (errno != ENOTSUP && errno != EINVAL) return false;
#endif
    return fsyncRetried(fd);
}

bool PosixPlatform::flushFolder(const std::string& dir) {
    const int fd = systemCalls().open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool flushed = fsyncRetried(fd) || folderCannotFlush(errno);
    systemCalls().close(fd);
    return flushed;
}

bool PosixPlatform::nameLeadsTo(const std::string& path, int fd) {
    struct stat named;
    struct stat held;
    return systemCalls().stat(path.c_str(), &named) == 0 && systemCalls().fstat(fd, &held) == 0 &&
           posix::identityOf(named) == posix::identityOf(held);
}

bool PosixPlatform::renameHeld(FileHandle file, const std::string& from, const std::string& to) {
    if (posix::nameHasWildcard(from) || posix::nameHasWildcard(to)) return false;
    if (!nameLeadsTo(from, descriptorOf(file))) return false;
    if (systemCalls().rename(from.c_str(), to.c_str()) != 0) return false;
    listings_.forget(posix::splitAtLastSlash(to).dir);
    return true;
}

bool PosixPlatform::copyPermissions(FileHandle from, FileHandle to) {
    struct stat info;
    if (systemCalls().fstat(descriptorOf(from), &info) != 0) return false;
    return posix::retryAfterSignal(systemCalls().fchmod, descriptorOf(to),
                                   static_cast<mode_t>(info.st_mode & 07777)) == 0;
}

bool PosixPlatform::deleteHeldFile(FileHandle file, const std::string& path) {
    if (posix::nameHasWildcard(path)) return false;
    const int fd = descriptorOf(file);
    // The shared lock made exclusive: no other run holds the file. A failed
    // upgrade can drop the shared lock; the file is then simply kept.
    if (!lockFile(fd, LOCK_EX)) return false;
    const std::string found = resolve(path).path;
    if (!nameLeadsTo(found, fd)) return false;
    if (systemCalls().unlink(found.c_str()) != 0) return false;
    listings_.forget(posix::splitAtLastSlash(found).dir);
    return true;
}

}  // namespace wedmorph
