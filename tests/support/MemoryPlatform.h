// A platform whose file system is a map in memory: folders are a set of
// paths, files byte vectors. Fast and hermetic, for fuzzing the whole run and
// for sweeping thousands of broken inputs. Paths are POSIX-style. The process
// itself (its interruptions, pages and clock) is the real one's.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ForwardingPlatform.h"

namespace wedmorph::test {

class MemoryPlatform final : public ForwardingPlatform {
public:
    MemoryPlatform() : ForwardingPlatform(nativePlatform()) {}

    std::map<std::string, std::vector<std::uint8_t>> files;
    std::set<std::string> folders;  // each with its trailing "/"
    std::string console;
    bool keepConsole = true;

    bool nothingOpen() const { return open_.empty() && views_.empty(); }

    PathStyle pathStyle() const override { return PathStyle::Posix; }
    Result<std::string> ownProgramPath() override { return std::string("/program/wedmorph"); }
    bool isLeadByte(unsigned char) const override { return false; }
    Result<> changeDirectory(const std::string& dir) override;
    void writeConsole(const char* text, std::size_t length) override;
    void writeError(const std::string&, std::error_code) override {}

    bool plainFileExists(const std::string& path) override { return files.count(path) != 0; }
    Result<std::vector<std::string>> listPlainFiles(const std::string& dir) override;
    Result<FileStatus> statusOfPath(const std::string& path) override;
    // Each path here is a name of its own, absolute already: taken as it is.
    Result<std::string> absolutePath(const std::string& path) override { return path; }

    ExistingFile openInput(const std::string& path, InputUse use) override;
    // There is no log: it cannot be opened.
    ExistingFile openForWriting(const std::string& path, WriteOpen how) override;
    Result<FileHandle> createNew(const std::string& path, bool& exists) override;
    void closeFile(FileHandle file) override { open_.erase(file.native); }
    Result<FileStatus> statusOf(FileHandle file) override { return statusOfPath(open_.at(file.native)); }
    Result<> emptyFile(FileHandle file) override;
    Result<> reserveSpace(FileHandle, std::uint64_t) override { return {}; }
    Result<> writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                       std::size_t& written) override;
    Result<> readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                      std::size_t& read) override;
    Result<> copyContents(FileHandle source, FileHandle target) override;
    Result<> flushFile(FileHandle) override { return {}; }
    void startFlush(FileHandle, std::uint64_t, std::uint64_t) override {}
    Result<> flushFolder(const std::string&) override { return {}; }
    Result<> renameHeld(FileHandle file, const std::string& from, const std::string& to) override;
    Result<> copyPermissions(FileHandle, FileHandle) override { return {}; }
    Result<> deleteHeldFile(FileHandle file, const std::string& path) override;

    Result<std::span<const std::uint8_t>> mapFile(FileHandle file) override;
    void unmapFile(std::span<const std::uint8_t> view) override;

private:
    bool folderExists(const std::string& path) const;
    // Each path is a file of its own: one number per path, given when first asked.
    FileIdentity identityOf(const std::string& path);

    std::map<std::string, std::uint64_t> numbers_;
    std::intptr_t next_ = 1;
    std::map<std::intptr_t, std::string> open_;  // handle → path
    std::map<const std::uint8_t*, std::vector<std::uint8_t>> views_;  // copies of the files mapped
};

}  // namespace wedmorph::test
