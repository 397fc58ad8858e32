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
using posix::lastError;
using posix::systemCalls;

// An open never waits on a pipe or a device, nor makes a terminal the
// process's own; reads and writes wait again once the file is known to be a
// regular one.
constexpr int kOpenFlags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

ExistingFile failed(ExistingFile& found, std::error_code error) {
    found.error = error;
    return found;
}

Result<> clearNonBlocking(int fd) {
    const int status = systemCalls().fcntl(fd, F_GETFL, 0);
    if (status < 0 || systemCalls().fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) return lastError();
    return {};
}

// Fails only when another holder has the file: any other failure means a
// file system without locks.
Result<> lockFile(int fd, int how) {
    if (posix::retryAfterSignal(systemCalls().flock, fd, how | LOCK_NB) == 0 || errno != EWOULDBLOCK) return {};
    return lastError();
}

// Whether `fd` is a regular file, whose status goes into `info`.
Result<> regularFile(int fd, struct stat& info) {
    if (systemCalls().fstat(fd, &info) != 0) return lastError();
    if (!S_ISREG(info.st_mode)) return refused(Refusal::NotRegularFile);
    return {};
}

// Takes `fd` for a run: a regular file, locked as `how` says and blocking
// again. It is closed when it cannot be had, with the reason, and `inUse`
// when another holder has it.
void holdRegular(int fd, int how, ExistingFile& found) {
    struct stat info;
    Result<> usable = regularFile(fd, info);
    if (usable) {
        usable = lockFile(fd, how);
        found.inUse = !usable;
    }
    if (usable) usable = clearNonBlocking(fd);
    if (usable) {
        found.file = {fd};
        return;
    }
    found.error = usable.error();
    systemCalls().close(fd);
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

Result<> fsyncRetried(int fd) {
    if (posix::retryAfterSignal(systemCalls().fsync, fd) == 0) return {};
    return lastError();
}

}  // namespace

ExistingFile PosixPlatform::openInput(const std::string& path, InputUse use) {
    // A file to be deleted is held exclusively, as Windows' DELETE access
    // holds it: no other run reads what this one is about to take away.
    ExistingFile found;
    if (posix::nameHasWildcard(path)) return failed(found, refused(Refusal::WildcardName));
    const Resolved entry = resolve(path);
    found.path = entry.path;
    found.missing = !entry.exists;
    const int fd = systemCalls().open(entry.path.c_str(), O_RDONLY | kOpenFlags, 0);
    if (fd < 0) return failed(found, lastError());
    holdRegular(fd, use == InputUse::ReadThenDelete ? LOCK_EX : LOCK_SH, found);
    return found;
}

ExistingFile PosixPlatform::openForWriting(const std::string& path, WriteOpen how) {
    if (how == WriteOpen::AppendLog) return openLog(path);
    ExistingFile found;
    if (posix::nameHasWildcard(path)) return failed(found, refused(Refusal::WildcardName));
    const Resolved entry = resolve(path);
    found.path = entry.path;
    if (!entry.exists) {
        found.missing = true;
        return failed(found, {ENOENT, std::system_category()});
    }
    int flags = O_RDWR | kOpenFlags;
    if (how == WriteOpen::ExistingNoLink) {
        flags |= O_NOFOLLOW;
    } else {
        // A link stays a link: the file it finally leads to is the one
        // replaced, under its own name in its own folder.
        struct stat info;
        if (systemCalls().lstat(entry.path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
            char* real = systemCalls().realpath(entry.path.c_str(), nullptr);
            if (real == nullptr) return failed(found, lastError());
            found.path = real;
            std::free(real);
        }
    }
    const int fd = systemCalls().open(found.path.c_str(), flags, 0);
    if (fd < 0) {
        // Gone since the lookup: nothing has the name any more.
        found.missing = errno == ENOENT;
        return failed(found, lastError());
    }
    holdRegular(fd, LOCK_EX, found);
    return found;
}

Result<FileHandle> PosixPlatform::createNew(const std::string& path, bool& exists) {
    exists = false;
    if (posix::nameHasWildcard(path)) return refused(Refusal::WildcardName);
    // Another run may take the new file for one left behind and remove it
    // between its creation and its lock: the name must still lead to the
    // locked file, else it is made again.
    std::error_code last;
    for (int tries = 0; tries < 8; ++tries) {
        if (resolve(path).exists) {
            exists = true;
            return std::error_code(EEXIST, std::system_category());
        }
        const int fd = systemCalls().open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | kOpenFlags, 0666);
        if (fd < 0) {
            exists = errno == EEXIST;
            return lastError();
        }
        const posix::PathSplit split = posix::splitAtLastSlash(path);
        listings_.noteCreated(split.dir, split.name);
        if (const Result<> locked = lockFile(fd, LOCK_EX); !locked) {
            // Taken by another run in that instant.
            systemCalls().close(fd);
            exists = true;
            return locked.error();
        }
        Result<> ready = nameLeadsTo(path, fd);
        if (ready) ready = clearNonBlocking(fd);
        if (ready) return FileHandle{fd};
        last = ready.error();
        systemCalls().close(fd);
        listings_.forget(split.dir);
    }
    return last;
}

ExistingFile PosixPlatform::openLog(const std::string& path) {
    // No lock: two runs may append to one log. A log someone made a link,
    // symbolic or hard, may be another area's file under another name: it is
    // left alone, and nothing is created where a dangling link points.
    ExistingFile found;
    const Resolved target = resolve(path);
    found.path = target.path;
    const int fd = systemCalls().open(target.path.c_str(),
                                      O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | kOpenFlags, 0666);
    if (fd < 0) return failed(found, lastError());
    if (!target.exists) {
        const posix::PathSplit split = posix::splitAtLastSlash(target.path);
        listings_.noteCreated(split.dir, split.name);
    }
    struct stat info;
    Result<> usable = regularFile(fd, info);
    if (usable && info.st_nlink != 1) usable = refused(Refusal::MoreThanOneName);
    if (usable) usable = clearNonBlocking(fd);
    if (!usable) {
        systemCalls().close(fd);
        return failed(found, usable.error());
    }
    found.file = {fd};
    return found;
}

void PosixPlatform::closeFile(FileHandle file) {
    // Never again on EINTR: the descriptor is gone whatever close says, and
    // its number may already belong to another thread's file.
    systemCalls().close(descriptorOf(file));
}

Result<FileStatus> PosixPlatform::statusOf(FileHandle file) {
    struct stat info;
    if (systemCalls().fstat(descriptorOf(file), &info) != 0) return lastError();
    return posix::statusFrom(info);
}

Result<> PosixPlatform::emptyFile(FileHandle file) {
    // A file that holds nothing is left alone: truncating a new file makes
    // some file systems (ext4) write it out when it is closed.
    struct stat info;
    if (systemCalls().fstat(descriptorOf(file), &info) != 0) return lastError();
    if (info.st_size == 0 || systemCalls().ftruncate(descriptorOf(file), 0) == 0) return {};
    return lastError();
}

Result<> PosixPlatform::reserveSpace(FileHandle file, std::uint64_t size) {
#if defined(__linux__)
    // The blocks alone (FALLOC_FL_KEEP_SIZE): the size grows with the writes.
    // Never posix_fallocate, which writes zeros where the file system cannot
    // reserve: twice the writes for nothing.
    if (size == 0) return {};
    if (posix::retryAfterSignal(systemCalls().fallocate, descriptorOf(file), FALLOC_FL_KEEP_SIZE, off_t{0},
                                static_cast<off_t>(size)) == 0) {
        return {};
    }
    if (errno == ENOSPC || errno == EDQUOT) return lastError();
    return {};
#else
    (void)file;
    (void)size;
    return {};
#endif
}

Result<> PosixPlatform::writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                                  std::size_t& written) {
    written = 0;
    if (offset == kAppend) return append(descriptorOf(file), pieces, written);
    // Up to IOV_MAX pieces a call, going on from where a call stopped short.
    constexpr std::size_t kMostPieces = IOV_MAX;
    iovec vectors[kMostPieces];
    std::size_t next = 0;  // the first piece not wholly written
    std::size_t done = 0;  // bytes of it already written
    for (;;) {
        while (next < pieces.size() && done == pieces[next].size()) {
            ++next;
            done = 0;
        }
        if (next == pieces.size()) return {};
        int count = 0;
        for (std::size_t p = next; p < pieces.size() && count < static_cast<int>(kMostPieces); ++p) {
            const std::size_t skip = p == next ? done : 0;
            vectors[count++] = {const_cast<std::uint8_t*>(pieces[p].data()) + skip, pieces[p].size() - skip};
        }
        const ssize_t n = posix::retryAfterSignal(systemCalls().pwritev, descriptorOf(file),
                                                  static_cast<const iovec*>(vectors), count,
                                                  static_cast<off_t>(offset + written));
        if (n < 0) return lastError();
        if (n == 0) return {};
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

Result<> PosixPlatform::readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                                 std::size_t& read) {
    read = 0;
    while (read < into.size()) {
        const ssize_t n = posix::retryAfterSignal(systemCalls().pread, descriptorOf(file),
                                                  static_cast<void*>(into.data() + read), into.size() - read,
                                                  static_cast<off_t>(offset + read));
        if (n < 0) return lastError();
        if (n == 0) break;
        read += static_cast<std::size_t>(n);
    }
    return {};
}

Result<> PosixPlatform::append(int fd, std::span<const WritePiece> pieces, std::size_t& written) {
    // O_APPEND puts every write at the end. POSIX has no text mode: "\n" is
    // written as it is.
    for (WritePiece piece : pieces) {
        while (!piece.empty()) {
            const ssize_t n = posix::retryAfterSignal(systemCalls().write, fd,
                                                      static_cast<const void*>(piece.data()), piece.size());
            if (n < 0) return lastError();
            if (n == 0) return {};
            written += static_cast<std::size_t>(n);
            piece = piece.subspan(static_cast<std::size_t>(n));
        }
    }
    return {};
}

Result<> PosixPlatform::copyThroughBuffer(int from, int to, std::uint64_t offset) {
    std::error_code error;  // stays empty for a short write, or for no buffer
    const auto read = [from, &error](std::uint64_t at, std::uint8_t* data, std::size_t size) -> std::int64_t {
        const ssize_t n = posix::retryAfterSignal(systemCalls().pread, from, static_cast<void*>(data), size,
                                                  static_cast<off_t>(at));
        if (n < 0) error = lastError();
        return n;
    };
    const auto write = [this, to, &error](std::uint64_t at, const std::uint8_t* data, std::size_t size) {
        const WritePiece piece(data, size);
        std::size_t written = 0;
        const Result<> wrote = writeFile({to}, at, {&piece, 1}, written);
        error = wrote.error();
        return wrote && written == size;
    };
    if (bufferedCopy(read, write, offset)) return {};
    return error;
}

Result<> PosixPlatform::copyContents(FileHandle source, FileHandle target) {
    // The bytes alone: a new target keeps the mode it was created with, so a
    // read-only source never makes a copy that the next run cannot replace.
    if (const Result<> emptied = emptyFile(target); !emptied) return emptied;
    const int from = descriptorOf(source);
    const int to = descriptorOf(target);
#if defined(__linux__)
    // In the kernel, at explicit offsets: neither descriptor's position moves.
    struct stat info;
    if (systemCalls().fstat(from, &info) != 0) return lastError();
    loff_t fromAt = 0;
    loff_t toAt = 0;
    while (fromAt < info.st_size) {
        const ssize_t n = posix::retryAfterSignal(systemCalls().copy_file_range, from, &fromAt, to, &toAt,
                                                  static_cast<std::size_t>(info.st_size - fromAt), 0u);
        if (n > 0) continue;
        if (n < 0 && !kernelCannotCopy(errno)) return lastError();
        // Nothing copied where bytes remain: some file systems answer so
        // rather than with an error. The buffer finds the true end.
        return copyThroughBuffer(from, to, static_cast<std::uint64_t>(fromAt));
    }
    return {};
#elif defined(__APPLE__)
    if (systemCalls().fcopyfile(from, to, nullptr, COPYFILE_DATA) != 0) return lastError();
    return {};
#else
    return copyThroughBuffer(from, to, 0);
#endif
}

Result<> PosixPlatform::flushFile(FileHandle file) {
    const int fd = descriptorOf(file);
#if defined(__APPLE__)
    // fsync leaves the bytes in the drive's cache on macOS; F_FULLFSYNC
    // does not, where the file system takes it.
    if (posix::retryAfterSignal(systemCalls().fcntl, fd, F_FULLFSYNC, 0) == 0) return {};
    if (errno != ENOTSUP && errno != EINVAL) return lastError();
#endif
    return fsyncRetried(fd);
}

void PosixPlatform::startFlush(FileHandle file, std::uint64_t offset, std::uint64_t length) {
#if defined(__linux__)
    (void)systemCalls().sync_file_range(descriptorOf(file), static_cast<loff_t>(offset), static_cast<loff_t>(length),
                                        SYNC_FILE_RANGE_WRITE);
#else
    (void)file, (void)offset, (void)length;
#endif
}

Result<> PosixPlatform::flushFolder(const std::string& dir) {
    const int fd = systemCalls().open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return lastError();
    Result<> flushed = fsyncRetried(fd);
    if (!flushed && folderCannotFlush(flushed.error().value())) flushed = Result<>();
    systemCalls().close(fd);
    return flushed;
}

Result<> PosixPlatform::nameLeadsTo(const std::string& path, int fd) {
    struct stat named;
    struct stat held;
    if (systemCalls().stat(path.c_str(), &named) != 0 || systemCalls().fstat(fd, &held) != 0) return lastError();
    if (posix::identityOf(named) != posix::identityOf(held)) return refused(Refusal::LeadsElsewhere);
    return {};
}

Result<> PosixPlatform::renameHeld(FileHandle file, const std::string& from, const std::string& to) {
    if (posix::nameHasWildcard(from) || posix::nameHasWildcard(to)) return refused(Refusal::WildcardName);
    if (const Result<> same = nameLeadsTo(from, descriptorOf(file)); !same) return same;
    if (systemCalls().rename(from.c_str(), to.c_str()) != 0) return lastError();
    listings_.forget(posix::splitAtLastSlash(to).dir);
    return {};
}

Result<> PosixPlatform::copyPermissions(FileHandle from, FileHandle to) {
    struct stat info;
    if (systemCalls().fstat(descriptorOf(from), &info) != 0) return lastError();
    if (posix::retryAfterSignal(systemCalls().fchmod, descriptorOf(to),
                                static_cast<mode_t>(info.st_mode & 07777)) != 0) {
        return lastError();
    }
    return {};
}

Result<> PosixPlatform::deleteHeldFile(FileHandle file, const std::string& path) {
    if (posix::nameHasWildcard(path)) return refused(Refusal::WildcardName);
    const int fd = descriptorOf(file);
    // The shared lock made exclusive: no other run holds the file. A failed
    // upgrade can drop the shared lock; the file is then simply kept.
    if (const Result<> locked = lockFile(fd, LOCK_EX); !locked) return locked;
    const std::string found = resolve(path).path;
    if (const Result<> same = nameLeadsTo(found, fd); !same) return same;
    if (systemCalls().unlink(found.c_str()) != 0) return lastError();
    listings_.forget(posix::splitAtLastSlash(found).dir);
    return {};
}

}  // namespace wedmorph
