#include "platform/posix/SystemCalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

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
#endif
        .fsync = ::fsync,
        .stat = ::stat,
    };
    return calls;
}

}  // namespace wedmorph::posix
