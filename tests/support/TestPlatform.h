// A platform for tests: the real file system underneath, with every operation
// able to fail on demand, a count of what is held open, the console captured
// and the clock fixed.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "memory/TileMemory.h"
#include "platform/ForwardingPlatform.h"

namespace wedmorph::test {

enum class Op {
    ChangeDirectory,
    FindFile,
    List,
    OpenInput,
    OpenOutput,  // an existing output, or a file left by a killed run
    Create,      // a temporary
    OpenLog,
    Identify,
    Map,
    Empty,
    Reserve,  // the disk has no room for the whole file
    Read,
    Write,
    ShortWrite,  // the write reports success but takes only half the bytes
    Copy,
    Flush,
    Delete,
    Rename,
    Permissions,
    AllocatePages,
};

const char* opName(Op op);

class TestPlatform final : public ForwardingPlatform {
public:
    TestPlatform();

    // The `occurrence`-th call (counting from 1) of `op` fails; 0 means every call.
    void failOn(Op op, int occurrence = 0) { failures_[op] = occurrence; }
    // Every call of `op` on a path that ends with `pathEnd` fails. Operations
    // on a handle or a view go by the path of the file they came from.
    void failOnPath(Op op, const std::string& pathEnd) { failingPaths_.emplace_back(op, pathEnd); }
    int calls(Op op) const;
    // Called before each operation, with the path it concerns: a test can
    // change the files under the run at a chosen moment.
    std::function<void(Op op, const std::string& path)> beforeCall;
    // The path that the `call`-th call of `op` (counting from 1) concerned.
    std::string callPath(Op op, int call) const;

    int openFiles() const { return openFiles_; }
    int openViews() const { return openViews_; }
    bool nothingOpen() const { return openFiles_ == 0 && openViews_ == 0 && heldPages_ == 0; }

    const std::string& console() const { return console_; }
    void clearConsole() { console_.clear(); }
    // Operations in the order they were made, as "copy source -> target" and the like.
    const std::vector<std::string>& journal() const { return journal_; }

    std::tm fixedTime{};

    bool changeDirectory(const std::string& dir) override;
    void writeConsole(const char* text, std::size_t length) override;
    std::tm localTimeNow() override { return fixedTime; }
    void* allocatePages(std::size_t bytes) override;
    void releasePages(void* block, std::size_t bytes) override;
    int heldPages() const { return heldPages_; }

    // Raises the interruption flag, as Ctrl-C would; runSettled() then shows
    // in the journal as "settled".
    void interrupt() { interrupted_ = true; }
    bool interrupted() override { return interrupted_ || inner().interrupted(); }
    void runSettled() override;

    bool plainFileExists(const std::string& path) override;
    std::vector<std::string> listPlainFiles(const std::string& dir) override;
    FileStatus statusOfPath(const std::string& path) override;

    ExistingFile openInput(const std::string& path, InputUse use) override;
    ExistingFile openExisting(const std::string& path, FinalLink link) override;
    FileHandle createNew(const std::string& path, bool& exists) override;
    FileHandle openLog(const std::string& path) override;
    void closeFile(FileHandle file) override;
    FileStatus statusOf(FileHandle file) override;
    bool emptyFile(FileHandle file) override;
    Reservation reserveSpace(FileHandle file, std::uint64_t size) override;
    bool writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                   std::size_t& written) override;
    bool readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                  std::size_t& read) override;
    bool copyContents(FileHandle source, FileHandle target) override;
    bool flushFile(FileHandle file) override;
    bool flushFolder(const std::string& dir) override;
    bool renameHeld(FileHandle file, const std::string& from, const std::string& to) override;
    bool copyPermissions(FileHandle from, FileHandle to) override;
    bool deleteHeldFile(FileHandle file, const std::string& path) override;

    std::span<const std::uint8_t> mapFile(FileHandle file) override;
    void unmapFile(std::span<const std::uint8_t> view) override;

private:
    bool shouldFail(Op op, const std::string& path);
    std::string pathOf(FileHandle file) const;
    FileHandle held(FileHandle file, const std::string& path);

    std::map<Op, int> failures_;
    std::vector<std::pair<Op, std::string>> failingPaths_;
    std::map<Op, std::vector<std::string>> calls_;  // the path of each call
    std::map<std::intptr_t, std::string> filePaths_;
    int openFiles_ = 0;
    int openViews_ = 0;
    int heldPages_ = 0;
    bool interrupted_ = false;
    std::string console_;
    std::vector<std::string> journal_;
};

// A file to write for a platform test: the existing one held for writing,
// else a new one (`created`).
inline FileHandle openForWriting(Platform& platform, const std::string& path, bool& created) {
    const ExistingFile found = platform.openExisting(path, FinalLink::Follow);
    created = false;
    if (!found.missing) return found.file;
    bool exists = false;
    const FileHandle file = platform.createNew(path, exists);
    created = file.isOpen();
    return file;
}

// Heap memory that counts what is held and runs out on demand.
class TestMemory final : public TileMemory {
public:
    // The `occurrence`-th allocation (counting from 1) fails.
    void failAt(int occurrence) { failAt_ = occurrence; }
    void* allocate(std::size_t bytes) override;
    void release(void* block) override;
    int held() const { return held_; }
    int allocations() const { return allocations_; }

private:
    int failAt_ = 0;
    int allocations_ = 0;
    int held_ = 0;
};

}  // namespace wedmorph::test
