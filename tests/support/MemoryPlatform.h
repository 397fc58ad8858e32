// A platform whose file system is a map in memory: folders are a set of
// paths, files byte vectors. Fast and hermetic, for fuzzing the whole run and
// for sweeping thousands of broken inputs. Paths are POSIX-style.
#pragma once

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace wedmorph::test {

class MemoryPlatform final : public Platform {
public:
    std::map<std::string, std::vector<std::uint8_t>> files;
    std::set<std::string> folders;  // each with its trailing "/"
    std::string console;
    bool keepConsole = true;

    bool nothingOpen() const { return open_.empty() && mappings_.empty() && views_.empty(); }

    PathStyle pathStyle() const override { return PathStyle::Posix; }
    std::string ownProgramPath() override { return "/program/wedmorph"; }
    bool isLeadByte(unsigned char) const override { return false; }
    bool changeDirectory(const std::string& dir) override;
    bool plainFileExists(const std::string& path) override { return files.count(path) != 0; }
    FileHandle openForReading(const std::string& path) override { return open(path, false); }
    FileHandle openForUpdate(const std::string& path, KeptFiles kept) override;
    FileHandle createForWriting(const std::string& path, KeptFiles kept) override;
    void closeFile(FileHandle file) override { open_.erase(file.native); }
    FileIdentity identifyFile(FileHandle file) override { return identityOf(open_.at(file.native)); }
    FileIdentity identifyPath(const std::string& path) override;
    std::uint32_t fileSize(FileHandle file) override;
    MappingHandle createMapping(FileHandle file, Access access) override;
    std::uint8_t* mapView(MappingHandle mapping, Access access) override;
    void unmapView(std::uint8_t* view) override;
    void closeMapping(MappingHandle mapping) override { mappings_.erase(mapping.native); }
    bool writeFile(FileHandle file, std::span<const WritePiece> pieces,
                   std::size_t& written) override;
    FileIdentity copyFile(const std::string& source, const std::string& target,
                          KeptFiles kept) override;
    bool deleteFile(const std::string& path) override { return files.erase(path) != 0; }
    void* allocatePages(std::size_t bytes) override { return std::calloc(1, bytes); }
    void releasePages(void* block, std::size_t) override { std::free(block); }
    void writeConsole(const char* text, std::size_t length) override;
    std::FILE* openAppendText(const std::string&) override { return nullptr; }
    std::tm localTimeNow() override { return {}; }

private:
    struct View {
        std::string path;
        bool writable;
        std::vector<std::uint8_t> bytes;  // a copy, written back when a writable view goes
    };
    FileHandle open(const std::string& path, bool writable);
    bool folderExists(const std::string& path) const;
    // Each path is a file of its own: one number per path, given when first asked.
    FileIdentity identityOf(const std::string& path);

    std::map<std::string, std::uint64_t> numbers_;
    std::intptr_t next_ = 1;
    std::map<std::intptr_t, std::string> open_;      // handle → path
    std::map<std::intptr_t, std::string> mappings_;  // handle → path
    std::map<std::uint8_t*, View> views_;
};

}  // namespace wedmorph::test
