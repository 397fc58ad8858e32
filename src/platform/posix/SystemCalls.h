// The POSIX platform's calls on files, folders and memory, in one table that
// a test can change entry by entry: a short write, an interrupted call or a
// file system without locks is then made on demand, with the real call beside
// it for everything else. The few calls left out (PosixPlatform.h names them)
// are about the process, not its files. Only the files of this folder and
// their tests include this header.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <cerrno>
#include <cstddef>
#include <type_traits>

#if defined(__APPLE__)
#include <copyfile.h>
#endif

namespace wedmorph::posix {

struct SystemCalls {
    // open(2) with its mode always given: a pointer cannot be variadic.
    int (*open)(const char* path, int flags, mode_t mode);
    int (*close)(int fd);
    ssize_t (*pread)(int fd, void* buffer, std::size_t length, off_t offset);
    ssize_t (*write)(int fd, const void* data, std::size_t length);
    ssize_t (*pwritev)(int fd, const struct iovec* pieces, int count, off_t offset);
    int (*fstat)(int fd, struct stat* info);
    int (*ftruncate)(int fd, off_t length);
    int (*flock)(int fd, int operation);
    void* (*mmap)(void* address, std::size_t length, int protection, int flags, int fd, off_t offset);
    int (*munmap)(void* address, std::size_t length);
    int (*unlink)(const char* path);
    int (*rename)(const char* from, const char* to);
    int (*fchmod)(int fd, mode_t mode);
#if defined(__linux__)
    ssize_t (*copy_file_range)(int from, loff_t* fromOffset, int to, loff_t* toOffset,
                               std::size_t length, unsigned flags);
    int (*fallocate)(int fd, int mode, off_t offset, off_t length);
    int (*sync_file_range)(int fd, loff_t offset, loff_t length, unsigned flags);
#endif
    int (*fsync)(int fd);
    int (*stat)(const char* path, struct stat* info);
    int (*lstat)(const char* path, struct stat* info);
    // fcntl(2) with one int argument always given, as for open.
    int (*fcntl)(int fd, int command, int argument);
    DIR* (*opendir)(const char* path);
    dirent* (*readdir)(DIR* folder);
    int (*closedir)(DIR* folder);
    ssize_t (*readlink)(const char* path, char* buffer, std::size_t size);
    char* (*realpath)(const char* path, char* resolved);
    int (*madvise)(void* address, std::size_t length, int advice);
    int (*chdir)(const char* path);
#if defined(__APPLE__)
    int (*fcopyfile)(int from, int to, copyfile_state_t state, copyfile_flags_t flags);
#endif
};

// The table in use: the real calls unless a test has put others in.
SystemCalls& systemCalls();

// Makes `call` again for as long as it fails with EINTR: a signal came in
// before it did anything, so nothing of it has to be undone. Every call here
// reports failure as -1. Never for close, whose descriptor is gone whatever
// it says, its number perhaps already another thread's.
template <typename Call, typename... Arguments>
auto retryAfterSignal(Call call, Arguments... arguments) {
    for (;;) {
        const auto result = call(arguments...);
        if (result != -1 || errno != EINTR) return result;
    }
}

// Puts `replacement` in the place of one call for as long as it lives, e.g.
//   ScopedSystemCall failing(&SystemCalls::fsync, [](int) { errno = EIO; return -1; });
template <typename Call>
class ScopedSystemCall {
public:
    ScopedSystemCall(Call SystemCalls::*entry, std::type_identity_t<Call> replacement)
        : entry_(entry), saved_(systemCalls().*entry) {
        systemCalls().*entry = replacement;
    }
    ~ScopedSystemCall() { systemCalls().*entry_ = saved_; }
    ScopedSystemCall(const ScopedSystemCall&) = delete;
    ScopedSystemCall& operator=(const ScopedSystemCall&) = delete;

private:
    Call SystemCalls::*entry_;
    Call saved_;
};

}  // namespace wedmorph::posix
