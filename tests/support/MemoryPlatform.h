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
    std::string ownProgramPath() override { return "/program/wedmorph"; }
    bool isLeadByte(unsigned char) const override { return false; }
    bool changeDirectory(const std::string& dir) override;
    void writeConsole(const char* text, std::size_t length) override;

    bool plainFileExists(const std::string& path) override { return files.count(path) != 0; }
    std::vector<std::string> listPlainFiles(const std::string& dir) override;
    FileStatus statusOfPath(const std::string& path) override;
    // Each path here is a name of its own, absolute already: taken as it is.
    std::string absolutePath(const std::string& path) override { return path; }

    ExistingFile openInput(const std::string& path, InputUse use) override;
    ExistingFile openExisting(const std::string& path, FinalLink link) override;
    FileHandle createNew(const std::string& path, bool& exists) override;
    FileHandle openLog(const std::string&) override { return {}; }
    void closeFile(FileHandle file) override { open_.erase(file.native); }
    FileStatus statusOf(FileHandle file) override { return statusOfPath(open_.at(file.native)); }
    bool emptyFile(FileHandle file) override;
    Reservation reserveSpace(FileHandle, std::uint64_t) override { return Reservation::Made; }
    bool writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                   std::size_t& written) override;
    bool readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                  std::size_t& read) override;
    bool appendLog(FileHandle, std::string_view) override { return false; }
    bool copyContents(FileHandle source, FileHandle target) override;
    bool flushFile(FileHandle) override { return true; }
    bool flushFolder(const std::string&) override { return true; }
    bool renameHeld(FileHandle file, const std::string& from, const std::string& to) override;
    bool copyPermissions(FileHandle, FileHandle) override { return true; }
    bool deleteHeldFile(FileHandle file, const std::string& path) override;

    std::span<const std::uint8_t> mapFile(FileHandle file) override;
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
