// A platform that hands every call to another one: the base of a platform
// that changes a few calls (fails them, counts them, keeps files in memory)
// and leaves the rest to the platform it wraps.
#pragma once

#include "platform/Platform.h"

namespace wedmorph {

class ForwardingPlatform : public Platform {
public:
    explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

    PathStyle pathStyle() const override { return inner_.pathStyle(); }
    std::string ownProgramPath() override { return inner_.ownProgramPath(); }
    bool isLeadByte(unsigned char byte) const override { return inner_.isLeadByte(byte); }
    bool changeDirectory(const std::string& dir) override { return inner_.changeDirectory(dir); }
    void writeConsole(const char* text, std::size_t length) override { inner_.writeConsole(text, length); }
    std::tm localTimeNow() override { return inner_.localTimeNow(); }
    void* allocatePages(std::size_t bytes) override { return inner_.allocatePages(bytes); }
    void releasePages(void* block, std::size_t bytes) override { inner_.releasePages(block, bytes); }

    void catchInterruptions() override { inner_.catchInterruptions(); }
    bool interrupted() override { return inner_.interrupted(); }
    void startThreadShielded(const std::function<void()>& start) override { inner_.startThreadShielded(start); }
    void runSettled() override { inner_.runSettled(); }

    bool plainFileExists(const std::string& path) override { return inner_.plainFileExists(path); }
    std::vector<std::string> listPlainFiles(const std::string& dir) override { return inner_.listPlainFiles(dir); }
    FileStatus statusOfPath(const std::string& path) override { return inner_.statusOfPath(path); }
    std::string absolutePath(const std::string& path) override { return inner_.absolutePath(path); }

    ExistingFile openInput(const std::string& path, InputUse use) override { return inner_.openInput(path, use); }
    ExistingFile openExisting(const std::string& path, FinalLink link) override {
        return inner_.openExisting(path, link);
    }
    FileHandle createNew(const std::string& path, bool& exists) override { return inner_.createNew(path, exists); }
    FileHandle openLog(const std::string& path) override { return inner_.openLog(path); }
    void closeFile(FileHandle file) override { inner_.closeFile(file); }
    FileStatus statusOf(FileHandle file) override { return inner_.statusOf(file); }
    bool emptyFile(FileHandle file) override { return inner_.emptyFile(file); }
    Reservation reserveSpace(FileHandle file, std::uint64_t size) override { return inner_.reserveSpace(file, size); }
    bool writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                   std::size_t& written) override {
        return inner_.writeFile(file, offset, pieces, written);
    }
    bool readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                  std::size_t& read) override {
        return inner_.readFile(file, offset, into, read);
    }
    bool appendLog(FileHandle log, std::string_view text) override { return inner_.appendLog(log, text); }
    bool copyContents(FileHandle source, FileHandle target) override { return inner_.copyContents(source, target); }
    bool flushFile(FileHandle file) override { return inner_.flushFile(file); }
    bool flushFolder(const std::string& dir) override { return inner_.flushFolder(dir); }
    bool renameHeld(FileHandle file, const std::string& from, const std::string& to) override {
        return inner_.renameHeld(file, from, to);
    }
    bool copyPermissions(FileHandle from, FileHandle to) override { return inner_.copyPermissions(from, to); }
    bool deleteHeldFile(FileHandle file, const std::string& path) override {
        return inner_.deleteHeldFile(file, path);
    }

    std::span<const std::uint8_t> mapFile(FileHandle file) override { return inner_.mapFile(file); }
    void unmapFile(std::span<const std::uint8_t> view) override { inner_.unmapFile(view); }

protected:
    Platform& inner() const { return inner_; }

private:
    Platform& inner_;
};

}  // namespace wedmorph
