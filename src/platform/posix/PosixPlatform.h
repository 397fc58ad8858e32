// The platform on Linux and macOS, made to behave as the Windows one that area
// files and mod installers expect: names are found without regard to case,
// dot files are hidden, a file of zero bytes cannot be mapped, and advisory
// locks stand in for the sharing modes, so that two runs at once never write
// a file the other one holds. Every call on files, folders or memory goes
// through systemCalls(), so that a test can make any of them fail. Only the
// calls about the process itself are made directly, as no file's fate hangs
// on them: the signal handlers and mask, the clock, and macOS's
// _NSGetExecutablePath, which asks the loader, not the file system. Only the
// files of this folder include this header.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/SharedPlatform.h"

namespace wedmorph {

namespace posix {

struct PathSplit {
    std::string dir;   // with its trailing "/", or empty
    std::string name;  // final component
};

PathSplit splitAtLastSlash(const std::string& path);

// "*" and "?" cannot stand in a Windows file name: only the file search takes them.
bool nameHasWildcard(const std::string& path);

FileIdentity identityOf(const struct stat& info);
FileStatus statusFrom(const struct stat& info);

inline int descriptorOf(FileHandle file) { return static_cast<int>(file.native); }

// The reason the system call just made failed: read before anything else
// can change errno.
inline std::error_code lastError() { return {errno, std::system_category()}; }

// Folder listings for finding a name in any letter case. A folder is read
// once and its listing serves every lookup until the folder changes: its
// device, inode or modification time moves, or this process notes a change of
// its own. A listing that is out of date can only make a name be found in
// another letter case than Windows would find it; what a write lands on is
// checked on the file itself, by its identity.
class FolderListings {
public:
    // The first entry in byte order whose name equals `name` ignoring ASCII
    // case; empty when there is none.
    std::string find(const std::string& dir, const std::string& name);
    // This process has just created `name` in `dir`.
    void noteCreated(const std::string& dir, const std::string& name);
    // This process has removed an entry of `dir`.
    void forget(const std::string& dir) { listings_.erase(dir); }

private:
    struct Stamp {
        dev_t device;
        ino_t inode;
        timespec modified;
        bool operator==(const Stamp& other) const;
    };
    struct Listing {
        Stamp stamp;
        std::unordered_map<std::string, std::string> names;  // folded name -> first such entry
    };

    static Stamp stampOf(const struct stat& info);
    const Listing* current(const std::string& dir);

    std::map<std::string, Listing> listings_;
};

}  // namespace posix

class PosixPlatform final : public SharedPlatform {
public:
    PosixPlatform();

    PathStyle pathStyle() const override { return PathStyle::Posix; }
    Result<std::string> ownProgramPath() override;
    bool isLeadByte(unsigned char) const override { return false; }
    Result<> changeDirectory(const std::string& dir) override;
    Result<void*> allocatePages(std::size_t bytes) override;
    void releasePages(void* block, std::size_t bytes) override;

    void catchInterruptions() override;
    bool interrupted() override;
    void runSettled() override;

    bool plainFileExists(const std::string& path) override;
    Result<std::vector<std::string>> listPlainFiles(const std::string& dir) override;
    Result<FileStatus> statusOfPath(const std::string& path) override;
    Result<std::string> absolutePath(const std::string& path) override;

    ExistingFile openInput(const std::string& path, InputUse use) override;
    ExistingFile openForWriting(const std::string& path, WriteOpen how) override;
    Result<FileHandle> createNew(const std::string& path, bool& exists) override;
    void closeFile(FileHandle file) override;
    Result<FileStatus> statusOf(FileHandle file) override;
    Result<> emptyFile(FileHandle file) override;
    Result<> reserveSpace(FileHandle file, std::uint64_t size) override;
    Result<> writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                       std::size_t& written) override;
    Result<> readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                      std::size_t& read) override;
    Result<> copyContents(FileHandle source, FileHandle target) override;
    Result<> flushFile(FileHandle file) override;
    void startFlush(FileHandle file, std::uint64_t offset, std::uint64_t length) override;
    Result<> flushFolder(const std::string& dir) override;
    Result<> renameHeld(FileHandle file, const std::string& from, const std::string& to) override;
    Result<> copyPermissions(FileHandle from, FileHandle to) override;
    Result<> deleteHeldFile(FileHandle file, const std::string& path) override;

    Result<std::span<const std::uint8_t>> mapFile(FileHandle file) override;
    void unmapFile(std::span<const std::uint8_t> view) override;

private:
    std::tm localTimeOf(std::time_t when) override;
    void consoleFellShort() override;

    struct Resolved {
        std::string path;
        bool exists;
    };

    // The path of an existing entry for `path`: the exact final component when
    // an entry has that name, else the first entry in byte order whose name
    // equals it ignoring ASCII case, else `path` unchanged. Folder components
    // stay as typed.
    Resolved resolve(const std::string& path);
    // Whether the name `path` (as found) leads to the file `fd` holds.
    Result<> nameLeadsTo(const std::string& path, int fd);
    // Copies through the buffer from `offset` on, where the kernel cannot copy.
    Result<> copyThroughBuffer(int from, int to, std::uint64_t offset);
    // Opens the log for appending, as WriteOpen::AppendLog says.
    ExistingFile openLog(const std::string& path);
    // Writes the pieces at the end of a log, each as it is.
    Result<> append(int fd, std::span<const WritePiece> pieces, std::size_t& written);

    posix::FolderListings listings_;
};

}  // namespace wedmorph
