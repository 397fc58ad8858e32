// The platform services on Linux and macOS, made to behave as the Windows
// ones that area files and mod installers expect: names are found without
// regard to case, dot files are hidden, a file of zero bytes cannot be mapped,
// a file is never copied onto itself, and locks stand in for the sharing
// modes, so that two runs at once never write a file the other one holds.
#include "platform/NameMatch.h"
#include "platform/Platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <new>
#include <unordered_map>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace wedmorph {

namespace {

struct PathSplit {
    std::string dir;   // with its trailing "/", or empty
    std::string name;  // final component
};

PathSplit splitAtLastSlash(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

bool entryExists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

// Folder listings for finding a name in any letter case. A folder is read
// once and its listing serves every lookup until the folder changes: its
// modification time moves, or this process notes a change of its own. A
// listing that is out of date can only make a name be found in another letter
// case than Windows would find it; what a write lands on is checked on the
// file itself, by its identity.
class FolderListings {
public:
    // The first entry in byte order whose name equals `name` ignoring ASCII
    // case; empty when there is none.
    std::string find(const std::string& dir, const std::string& name) {
        const Listing* listing = current(dir);
        if (listing == nullptr) return {};
        auto found = listing->names.find(foldedAscii(name));
        return found == listing->names.end() ? std::string() : found->second;
    }

    // This process has just created `name` in `dir`.
    void noteCreated(const std::string& dir, const std::string& name) {
        auto found = listings_.find(dir);
        if (found == listings_.end()) return;
        struct stat info;
        if (::stat(folderPath(dir), &info) != 0) {
            listings_.erase(found);
            return;
        }
        Listing& listing = found->second;
        std::string& first = listing.names[foldedAscii(name)];
        if (first.empty() || name < first) first = name;
        listing.stamp = stampOf(info);
    }

    // This process has removed an entry of `dir`.
    void forget(const std::string& dir) { listings_.erase(dir); }

private:
    struct Stamp {
        dev_t device;
        ino_t inode;
        timespec modified;
        bool operator==(const Stamp& other) const {
            return device == other.device && inode == other.inode &&
                   modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
        }
    };
    struct Listing {
        Stamp stamp;
        std::unordered_map<std::string, std::string> names;  // folded name → first such entry
    };

    static const char* folderPath(const std::string& dir) { return dir.empty() ? "." : dir.c_str(); }
    static Stamp stampOf(const struct stat& info) { return {info.st_dev, info.st_ino, info.st_mtim}; }

    const Listing* current(const std::string& dir) {
        struct stat info;
        if (::stat(folderPath(dir), &info) != 0) return nullptr;
        auto found = listings_.find(dir);
        if (found != listings_.end() && found->second.stamp == stampOf(info)) return &found->second;
        DIR* folder = ::opendir(folderPath(dir));
        if (folder == nullptr) return nullptr;
        Listing listing{stampOf(info), {}};
        while (const dirent* entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            std::string& first = listing.names[foldedAscii(name)];
            if (first.empty() || name < first) first = name;
        }
        ::closedir(folder);
        return &(listings_[dir] = std::move(listing));
    }

    std::map<std::string, Listing> listings_;
};

FolderListings& folderListings() {
    static FolderListings listings;
    return listings;
}

struct Resolved {
    std::string path;
    bool exists;
};

// The path of an existing entry for `path`: the exact final component when an
// entry has that name, else the first entry in byte order whose name equals it
// ignoring ASCII case, else `path` unchanged. Directory components stay as typed.
Resolved resolve(const std::string& path) {
    if (entryExists(path)) return {path, true};
    const PathSplit split = splitAtLastSlash(path);
    if (split.name.empty()) return {path, false};
    const std::string found = folderListings().find(split.dir, split.name);
    return found.empty() ? Resolved{path, false} : Resolved{split.dir + found, true};
}

std::string resolveExisting(const std::string& path) { return resolve(path).path; }

bool isPlainFile(const std::string& dir, std::string_view name) {
    if (name.empty() || name.front() == '.') return false;
    struct stat info;
    std::string full = dir + std::string(name);
    return ::stat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// "*" and "?" cannot stand in a Windows file name: only the file search takes them.
bool nameHasWildcard(const std::string& path) {
    return hasWildcard(splitAtLastSlash(path).name);
}

FileIdentity identityOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), true};
}

// Windows' sharing modes, emulated with advisory locks that never wait: a
// shared lock while a file is read, an exclusive one while it is written.
// A file system without such locks leaves the file unlocked rather than
// refusing every run.
enum class Lock { Shared, Exclusive };

bool lockFile(int fd, Lock lock) {
    const int how = (lock == Lock::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    for (;;) {
        if (::flock(fd, how) == 0) return true;
        if (errno == EINTR) continue;
        return errno != EWOULDBLOCK;
    }
}

// Reads and writes wait again once the file is known to be a regular one.
bool clearNonBlocking(int fd) {
    const int status = ::fcntl(fd, F_GETFL);
    return status >= 0 && ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == 0;
}

// Opens a regular file, locked, that is none of `kept`, and fills `info` with
// what it is. The open never waits on a pipe or device, and nothing is
// emptied here: a caller that writes empties the file only after these checks.
int openChecked(const std::string& path, int flags, Lock lock, struct stat& info,
                KeptFiles kept = {}, const FileIdentity* alsoKept = nullptr) {
    if (nameHasWildcard(path)) return -1;
    const Resolved target = resolve(path);
    const int fd = ::open(target.path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0) return -1;
    if (!target.exists && (flags & O_CREAT) != 0) {
        const PathSplit split = splitAtLastSlash(target.path);
        folderListings().noteCreated(split.dir, split.name);
    }
    bool usable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (usable) {
        const FileIdentity identity = identityOf(info);
        usable = !isKept(kept, identity) && !(alsoKept != nullptr && *alsoKept == identity);
    }
    if (!usable || !lockFile(fd, lock) || !clearNonBlocking(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Empties a file that holds anything. A new file is left alone: truncating
// it would only make the file system write it out early when it is closed.
bool emptyFile(int fd, const struct stat& info) {
    return info.st_size == 0 || ::ftruncate(fd, 0) == 0;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t length, std::size_t& written) {
    written = 0;
    while (written < length) {
        ssize_t n = ::write(fd, data + written, length - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes the pieces with as few calls as the system takes: up to IOV_MAX
// pieces a call, going on from where a call stopped short.
bool writeGathered(int fd, std::span<const WritePiece> pieces, std::size_t& written) {
    written = 0;
    constexpr std::size_t kMaxPieces = IOV_MAX;
    iovec vectors[kMaxPieces];
    std::size_t next = 0;      // the first piece not wholly written
    std::size_t consumed = 0;  // bytes of it already written
    while (next < pieces.size()) {
        std::size_t count = 0;
        for (std::size_t p = next; p < pieces.size() && count < kMaxPieces; ++p, ++count) {
            const std::size_t skip = p == next ? consumed : 0;
            vectors[count] = {const_cast<std::uint8_t*>(pieces[p].data) + skip, pieces[p].length - skip};
        }
        const ssize_t n = ::writev(fd, vectors, static_cast<int>(count));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        written += static_cast<std::size_t>(n);
        std::size_t left = static_cast<std::size_t>(n);
        while (next < pieces.size() && left >= pieces[next].length - consumed) {
            left -= pieces[next].length - consumed;
            consumed = 0;
            ++next;
        }
        consumed += left;
    }
    return true;
}

// Copies the rest of `from` into `to`: inside the kernel where it can, else
// through one buffer that lives as long as the process.
bool copyContents(int from, int to) {
#if defined(__linux__)
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, std::size_t{1} << 30, 0);
        if (n == 0) return true;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
        break;  // not between these two files: copy through user space
    }
#endif
    static constexpr std::size_t kChunk = std::size_t{1} << 20;
    static std::uint8_t* buffer = new (std::nothrow) std::uint8_t[kChunk];
    if (buffer == nullptr) return false;
    for (;;) {
        const ssize_t n = ::read(from, buffer, kChunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0;
        std::size_t written = 0;
        if (!writeAll(to, buffer, static_cast<std::size_t>(n), written) ||
            written != static_cast<std::size_t>(n)) {
            return false;
        }
    }
}

struct PosixMapping {
    int fd;
    std::size_t size;
};

class PosixPlatform final : public Platform {
public:
    PathStyle pathStyle() const override { return PathStyle::Posix; }

    std::string ownProgramPath() override {
#if defined(__APPLE__)
        uint32_t size = 0;
        _NSGetExecutablePath(nullptr, &size);
        std::string raw(size, '\0');
        if (_NSGetExecutablePath(raw.data(), &size) != 0) return {};
        char resolved[PATH_MAX];
        if (::realpath(raw.c_str(), resolved) == nullptr) return {};
        return resolved;
#else
        // Taken in full: a folder path that is too long is refused by the run,
        // never cut to a shorter one that names another folder.
        std::string buffer(256, '\0');
        for (;;) {
            const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
            if (n <= 0) return {};
            if (static_cast<std::size_t>(n) < buffer.size()) {
                buffer.resize(static_cast<std::size_t>(n));
                return buffer;
            }
            if (buffer.size() >= (std::size_t{1} << 20)) return {};
            buffer.resize(buffer.size() * 2);
        }
#endif
    }

    bool isLeadByte(unsigned char) const override { return false; }

    bool changeDirectory(const std::string& dir) override { return ::chdir(dir.c_str()) == 0; }

    bool plainFileExists(const std::string& path) override {
        PathSplit split = splitAtLastSlash(path);
        if (!hasWildcard(split.name)) {
            PathSplit found = splitAtLastSlash(resolveExisting(path));
            return isPlainFile(found.dir, found.name);
        }
        DIR* dir = ::opendir(split.dir.empty() ? "." : split.dir.c_str());
        if (dir == nullptr) return false;
        bool found = false;
        while (const dirent* entry = ::readdir(dir)) {
            std::string_view candidate(entry->d_name);
            if (matchesWildcardIgnoringCase(split.name, candidate) &&
                isPlainFile(split.dir, candidate)) {
                found = true;
                break;
            }
        }
        ::closedir(dir);
        return found;
    }

    FileHandle openForReading(const std::string& path) override {
        struct stat info;
        return {openChecked(path, O_RDONLY, Lock::Shared, info)};
    }

    FileHandle openForUpdate(const std::string& path, KeptFiles kept) override {
        struct stat info;
        return {openChecked(path, O_RDWR, Lock::Exclusive, info, kept)};
    }

    FileHandle createForWriting(const std::string& path, KeptFiles kept) override {
        struct stat info;
        const int fd = openChecked(path, O_RDWR | O_CREAT, Lock::Exclusive, info, kept);
        if (fd < 0) return {};
        if (!emptyFile(fd, info)) {
            ::close(fd);
            return {};
        }
        return {fd};
    }

    FileIdentity identifyFile(FileHandle file) override {
        struct stat info;
        if (::fstat(static_cast<int>(file.native), &info) != 0) return {};
        return identityOf(info);
    }

    FileIdentity identifyPath(const std::string& path) override {
        if (nameHasWildcard(path)) return {};
        struct stat info;
        if (::stat(resolveExisting(path).c_str(), &info) != 0) return {};
        return identityOf(info);
    }

    void closeFile(FileHandle file) override { ::close(static_cast<int>(file.native)); }

    std::uint32_t fileSize(FileHandle file) override {
        struct stat info;
        if (::fstat(static_cast<int>(file.native), &info) != 0) return 0;
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(info.st_size));
    }

    MappingHandle createMapping(FileHandle file, Access) override {
        struct stat info;
        int fd = static_cast<int>(file.native);
        if (::fstat(fd, &info) != 0 || info.st_size <= 0) return {};
        int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (copy < 0) return {};
        auto* mapping = new (std::nothrow)
            PosixMapping{copy, static_cast<std::size_t>(info.st_size)};
        if (mapping == nullptr) {
            ::close(copy);
            return {};
        }
        return {reinterpret_cast<std::intptr_t>(mapping)};
    }

    std::uint8_t* mapView(MappingHandle handle, Access access) override {
        auto* mapping = reinterpret_cast<PosixMapping*>(handle.native);
        int protection = access == Access::ReadWrite ? PROT_READ | PROT_WRITE : PROT_READ;
        // Every byte of a view is read or written once: map it all at once
        // rather than page by page through faults.
        int flags = MAP_SHARED;
#if defined(MAP_POPULATE)
        flags |= MAP_POPULATE;
#endif
        void* view = ::mmap(nullptr, mapping->size, protection, flags, mapping->fd, 0);
        if (view == MAP_FAILED) return nullptr;
        auto* bytes = static_cast<std::uint8_t*>(view);
        viewSizes_[bytes] = mapping->size;
        return bytes;
    }

    void unmapView(std::uint8_t* view) override {
        auto found = viewSizes_.find(view);
        if (found == viewSizes_.end()) return;
        ::munmap(view, found->second);
        viewSizes_.erase(found);
    }

    void closeMapping(MappingHandle handle) override {
        auto* mapping = reinterpret_cast<PosixMapping*>(handle.native);
        ::close(mapping->fd);
        delete mapping;
    }

    bool writeFile(FileHandle file, std::span<const WritePiece> pieces,
                   std::size_t& written) override {
        return writeGathered(static_cast<int>(file.native), pieces, written);
    }

    FileIdentity copyFile(const std::string& source, const std::string& target,
                          KeptFiles kept) override {
        struct stat sourceInfo, targetInfo;
        const int from = openChecked(source, O_RDONLY, Lock::Shared, sourceInfo);
        if (from < 0) return {};
        const FileIdentity sourceIdentity = identityOf(sourceInfo);
        // A new target gets 0666 less the umask, not the source's mode: a
        // read-only source must not make a copy that the next run cannot replace.
        const int to = openChecked(target, O_WRONLY | O_CREAT, Lock::Exclusive, targetInfo, kept,
                                   &sourceIdentity);
        const FileIdentity copy = to >= 0 ? identityOf(targetInfo) : FileIdentity{};
        bool ok = to >= 0 && emptyFile(to, targetInfo) && copyContents(from, to);
        if (to >= 0) ok = (::close(to) == 0) && ok;
        ::close(from);
        return ok ? copy : FileIdentity{};
    }

    bool deleteFile(const std::string& path) override {
        if (nameHasWildcard(path)) return false;
        const std::string found = resolveExisting(path);
        // Windows does not delete a file that another program holds open; the
        // lock stands in for that. A file that cannot be opened is deleted
        // by name alone, as the folder allows.
        const int fd = ::open(found.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd >= 0 && !lockFile(fd, Lock::Exclusive)) {
            ::close(fd);
            return false;
        }
        const bool deleted = ::unlink(found.c_str()) == 0;
        if (deleted) folderListings().forget(splitAtLastSlash(found).dir);
        if (fd >= 0) ::close(fd);
        return deleted;
    }

    void* allocatePages(std::size_t bytes) override {
        // Plain pages, faulted in as they are first used: a run holds no block
        // large enough for a large page to be worth its zeroing.
        void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return block == MAP_FAILED ? nullptr : block;
    }

    void releasePages(void* block, std::size_t bytes) override { ::munmap(block, bytes); }

    void writeConsole(const char* text, std::size_t length) override {
        std::fwrite(text, 1, length, stdout);
    }

    std::FILE* openAppendText(const std::string& path) override {
        // POSIX streams have no text mode: "\n" is written as it is.
        return std::fopen(resolveExisting(path).c_str(), "a+");
    }

    std::tm localTimeNow() override {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        ::localtime_r(&now, &local);
        return local;
    }

private:
    std::map<std::uint8_t*, std::size_t> viewSizes_;
};

}  // namespace

Platform& nativePlatform() {
    static PosixPlatform platform;
    return platform;
}

}  // namespace wedmorph
