#include "platform/posix/SystemCalls.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace wedmorph::posix {

SystemCalls& systemCalls() {
    static SystemCalls calls = {
        .open = [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
        .close = ::close,
        .pread = ::pread,
        .write = ::write,
        .pwritev = ::pwritev,
        .fstat = ::fstat,
        .ftruncate = ::ftruncate,
        .flock = ::flock,
        .mmap = ::mmap,
        .munmap = ::munmap,
        .unlink = ::unlink,
        .rename = ::rename,
        .fchmod = ::fchmod,
#if defined(__linux__)
        .copy_file_range = ::copy_file_range,
        .fallocate = ::fallocate,
        .sync_file_range = ::sync_file_range,
#endif
        .fsync = ::fsync,
        .stat = ::stat,
        .lstat = ::lstat,
        .fcntl = [](int fd, int command, int argument) { return ::fcntl(fd, command, argument); },
        .opendir = ::opendir,
        .readdir = ::readdir,
        .closedir = ::closedir,
        .readlink = ::readlink,
        .realpath = ::realpath,
        .madvise = ::madvise,
        .chdir = ::chdir,
#if defined(__APPLE__)
        .fcopyfile = ::fcopyfile,
#endif
    };
    return calls;
}

}  // namespace wedmorph::posix
