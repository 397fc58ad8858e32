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
    Result<std::string> ownProgramPath() override { return inner_.ownProgramPath(); }
    bool isLeadByte(unsigned char byte) const override { return inner_.isLeadByte(byte); }
    Result<> changeDirectory(const std::string& dir) override { return inner_.changeDirectory(dir); }
    void writeConsole(const char* text, std::size_t length) override { inner_.writeConsole(text, length); }
    void writeError(const std::string& text, std::error_code error) override { inner_.writeError(text, error); }
    std::tm localTimeNow() override { return inner_.localTimeNow(); }
    Result<void*> allocatePages(std::size_t bytes) override { return inner_.allocatePages(bytes); }
    void releasePages(void* block, std::size_t bytes) override { inner_.releasePages(block, bytes); }

    void catchInterruptions() override { inner_.catchInterruptions(); }
    bool interrupted() override { return inner_.interrupted(); }
    void runSettled() override { inner_.runSettled(); }

    bool plainFileExists(const std::string& path) override { return inner_.plainFileExists(path); }
    Result<std::vector<std::string>> listPlainFiles(const std::string& dir) override {
        return inner_.listPlainFiles(dir);
    }
    Result<FileStatus> statusOfPath(const std::string& path) override { return inner_.statusOfPath(path); }
    Result<std::string> absolutePath(const std::string& path) override { return inner_.absolutePath(path); }

    ExistingFile openInput(const std::string& path, InputUse use) override { return inner_.openInput(path, use); }
    ExistingFile openForWriting(const std::string& path, WriteOpen how) override {
        return inner_.openForWriting(path, how);
    }
    Result<FileHandle> createNew(const std::string& path, bool& exists) override {
        return inner_.createNew(path, exists);
    }
    void closeFile(FileHandle file) override { inner_.closeFile(file); }
    Result<FileStatus> statusOf(FileHandle file) override { return inner_.statusOf(file); }
    Result<> emptyFile(FileHandle file) override { return inner_.emptyFile(file); }
    Result<> reserveSpace(FileHandle file, std::uint64_t size) override { return inner_.reserveSpace(file, size); }
    Result<> writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                       std::size_t& written) override {
        return inner_.writeFile(file, offset, pieces, written);
    }
    Result<> readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                      std::size_t& read) override {
        return inner_.readFile(file, offset, into, read);
    }
    Result<> copyContents(FileHandle source, FileHandle target) override {
        return inner_.copyContents(source, target);
    }
    Result<> flushFile(FileHandle file) override { return inner_.flushFile(file); }
    void startFlush(FileHandle file, std::uint64_t offset, std::uint64_t length) override {
        inner_.startFlush(file, offset, length);
    }
    Result<> flushFolder(const std::string& dir) override { return inner_.flushFolder(dir); }
    Result<> renameHeld(FileHandle file, const std::string& from, const std::string& to) override {
        return inner_.renameHeld(file, from, to);
    }
    Result<> copyPermissions(FileHandle from, FileHandle to) override {
        return inner_.copyPermissions(from, to);
    }
    Result<> deleteHeldFile(FileHandle file, const std::string& path) override {
        return inner_.deleteHeldFile(file, path);
    }

    Result<std::span<const std::uint8_t>> mapFile(FileHandle file) override {
        return inner_.mapFile(file);
    }
    void unmapFile(std::span<const std::uint8_t> view) override { inner_.unmapFile(view); }

protected:
    Platform& inner() const { return inner_; }

private:
    Platform& inner_;
};

}  // namespace wedmorph
