// Names on POSIX: found in any letter case, as Windows finds them, with dot
// files hidden and "*" and "?" matched in the file search alone.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/NameMatch.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/SystemCalls.h"

namespace wedmorph {

namespace posix {

PathSplit splitAtLastSlash(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

bool nameHasWildcard(const std::string& path) { return hasWildcard(splitAtLastSlash(path).name); }

FileIdentity identityOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), true};
}

FileStatus statusFrom(const struct stat& info) {
#if defined(__APPLE__)
    const timespec changed = info.st_ctimespec;
#else
    const timespec changed = info.st_ctim;
#endif
    return {identityOf(info), static_cast<std::uint64_t>(info.st_size),
            std::int64_t{changed.tv_sec} * 1000000000 + changed.tv_nsec,
            static_cast<std::uint32_t>(info.st_nlink)};
}

namespace {

const char* folderPath(const std::string& dir) { return dir.empty() ? "." : dir.c_str(); }

// A name that stands as typed, a dangling link included.
bool entryExists(const std::string& path) {
    struct stat info;
    return systemCalls().lstat(path.c_str(), &info) == 0;
}

bool isPlainFile(const std::string& dir, std::string_view name) {
    if (name.empty() || name.front() == '.') return false;
    struct stat info;
    const std::string full = dir + std::string(name);
    return systemCalls().stat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Calls `entry` with each name in `dir` until it returns false; a failure
// when the folder cannot be read.
template <typename Entry>
Result<> forEachEntry(const std::string& dir, Entry entry) {
    DIR* folder = systemCalls().opendir(folderPath(dir));
    if (folder == nullptr) return lastError();
    while (const dirent* found = systemCalls().readdir(folder)) {
        if (!entry(std::string_view(found->d_name))) break;
    }
    systemCalls().closedir(folder);
    return {};
}

}  // namespace

bool FolderListings::Stamp::operator==(const Stamp& other) const {
    return device == other.device && inode == other.inode && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
}

FolderListings::Stamp FolderListings::stampOf(const struct stat& info) {
#if defined(__APPLE__)
    return {info.st_dev, info.st_ino, info.st_mtimespec};
#else
    return {info.st_dev, info.st_ino, info.st_mtim};
#endif
}

std::string FolderListings::find(const std::string& dir, const std::string& name) {
    const Listing* listing = current(dir);
    if (listing == nullptr) return {};
    const auto found = listing->names.find(foldedAscii(name));
    return found == listing->names.end() ? std::string() : found->second;
}

void FolderListings::noteCreated(const std::string& dir, const std::string& name) {
    const auto found = listings_.find(dir);
    if (found == listings_.end()) return;
    struct stat info;
    if (systemCalls().stat(folderPath(dir), &info) != 0) {
        listings_.erase(found);
        return;
    }
    Listing& listing = found->second;
    std::string& first = listing.names[foldedAscii(name)];
    if (first.empty() || name < first) first = name;
    listing.stamp = stampOf(info);
}

const FolderListings::Listing* FolderListings::current(const std::string& dir) {
    struct stat info;
    if (systemCalls().stat(folderPath(dir), &info) != 0) return nullptr;
    const auto found = listings_.find(dir);
    if (found != listings_.end() && found->second.stamp == stampOf(info)) return &found->second;
    Listing listing{stampOf(info), {}};
    const Result<> read = forEachEntry(dir, [&](std::string_view name) {
        std::string& first = listing.names[foldedAscii(name)];
        if (first.empty() || name < first) first = name;
        return true;
    });
    if (!read) return nullptr;
    return &(listings_[dir] = std::move(listing));
}

}  // namespace posix

PosixPlatform::Resolved PosixPlatform::resolve(const std::string& path) {
    if (posix::entryExists(path)) return {path, true};
    const posix::PathSplit split = posix::splitAtLastSlash(path);
    if (split.name.empty()) return {path, false};
    const std::string found = listings_.find(split.dir, split.name);
    return found.empty() ? Resolved{path, false} : Resolved{split.dir + found, true};
}

bool PosixPlatform::plainFileExists(const std::string& path) {
    const posix::PathSplit split = posix::splitAtLastSlash(path);
    if (!hasWildcard(split.name)) {
        const posix::PathSplit found = posix::splitAtLastSlash(resolve(path).path);
        return posix::isPlainFile(found.dir, found.name);
    }
    // A folder that cannot be read has nothing to find.
    bool exists = false;
    (void)posix::forEachEntry(split.dir, [&](std::string_view name) {
        exists = matchesWildcardIgnoringCase(split.name, name) && posix::isPlainFile(split.dir, name);
        return !exists;
    });
    return exists;
}

Result<std::vector<std::string>> PosixPlatform::listPlainFiles(const std::string& dir) {
    std::vector<std::string> names;
    const Result<> read = posix::forEachEntry(dir, [&](std::string_view name) {
        if (posix::isPlainFile(dir, name)) names.emplace_back(name);
        return true;
    });
    if (!read) return read.error();
    // In byte order, not in the order the file system keeps: the same folder
    // lists the same on every machine.
    std::sort(names.begin(), names.end());
    return names;
}

Result<FileStatus> PosixPlatform::statusOfPath(const std::string& path) {
    if (posix::nameHasWildcard(path)) return refused(Refusal::WildcardName);
    struct stat info;
    if (posix::systemCalls().stat(resolve(path).path.c_str(), &info) != 0) return posix::lastError();
    return posix::statusFrom(info);
}

Result<std::string> PosixPlatform::absolutePath(const std::string& path) {
    char* real = posix::systemCalls().realpath(path.c_str(), nullptr);
    if (real == nullptr) return posix::lastError();
    std::string absolute = real;
    std::free(real);
    if (!path.empty() && path.back() == '/' && absolute.back() != '/') absolute += '/';
    return absolute;
}

}  // namespace wedmorph
