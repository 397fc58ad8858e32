// A platform for tests: the real file system underneath, with every operation
// able to fail on demand, a count of what is held open, the console captured
// and the clock fixed.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <system_error>
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

    // The `occurrence`-th call (counting from 1) of `op` fails with `error`;
    // 0 means every call.
    void failOn(Op op, int occurrence = 0, std::error_code error = kInjected) { failures_[op] = {occurrence, error}; }
    // Every call of `op` on a path that ends with `pathEnd` fails. Operations
    // on a handle or a view go by the path of the file they came from.
    void failOnPath(Op op, const std::string& pathEnd, std::error_code error = kInjected) {
        failingPaths_.push_back({op, pathEnd, error});
    }
    // What an injected failure gives unless a test chooses.
    static inline const std::error_code kInjected = std::make_error_code(std::errc::io_error);
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
    // What went to standard error, each the text and the code it was given.
    const std::vector<std::pair<std::string, std::error_code>>& errors() const { return errors_; }
    // Operations in the order they were made, as "copy source -> target" and the like.
    const std::vector<std::string>& journal() const { return journal_; }

    std::tm fixedTime{};

    Result<> changeDirectory(const std::string& dir) override;
    void writeConsole(const char* text, std::size_t length) override;
    void writeError(const std::string& text, std::error_code error) override { errors_.emplace_back(text, error); }
    std::tm localTimeNow() override { return fixedTime; }
    Result<void*> allocatePages(std::size_t bytes) override;
    void releasePages(void* block, std::size_t bytes) override;
    int heldPages() const { return heldPages_; }

    // Raises the interruption flag, as Ctrl-C would; runSettled() then shows
    // in the journal as "settled".
    void interrupt() { interrupted_ = true; }
    bool interrupted() override { return interrupted_ || inner().interrupted(); }
    void runSettled() override;

    bool plainFileExists(const std::string& path) override;
    Result<std::vector<std::string>> listPlainFiles(const std::string& dir) override;
    Result<FileStatus> statusOfPath(const std::string& path) override;

    ExistingFile openInput(const std::string& path, InputUse use) override;
    // WriteOpen::AppendLog counts as OpenLog, the others as OpenOutput.
    ExistingFile openForWriting(const std::string& path, WriteOpen how) override;
    Result<FileHandle> createNew(const std::string& path, bool& exists) override;
    void closeFile(FileHandle file) override;
    Result<FileStatus> statusOf(FileHandle file) override;
    Result<> emptyFile(FileHandle file) override;
    Result<> reserveSpace(FileHandle file, std::uint64_t size) override;
    // A write to a log (at kAppend) never fails here, as a log is never looked at.
    Result<> writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                       std::size_t& written) override;
    Result<> readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                      std::size_t& read) override;
    Result<> copyContents(FileHandle source, FileHandle target) override;
    Result<> flushFile(FileHandle file) override;
    Result<> flushFolder(const std::string& dir) override;
    Result<> renameHeld(FileHandle file, const std::string& from, const std::string& to) override;
    Result<> copyPermissions(FileHandle from, FileHandle to) override;
    Result<> deleteHeldFile(FileHandle file, const std::string& path) override;

    Result<std::span<const std::uint8_t>> mapFile(FileHandle file) override;
    void unmapFile(std::span<const std::uint8_t> view) override;

private:
    struct Failing {
        int occurrence;
        std::error_code error;
    };
    struct FailingPath {
        Op op;
        std::string end;
        std::error_code error;
    };
    // The error the call fails with; none when it goes through.
    std::error_code shouldFail(Op op, const std::string& path);
    std::string pathOf(FileHandle file) const;
    FileHandle held(FileHandle file, const std::string& path);

    std::map<Op, Failing> failures_;
    std::vector<FailingPath> failingPaths_;
    std::map<Op, std::vector<std::string>> calls_;  // the path of each call
    std::map<std::intptr_t, std::string> filePaths_;
    int openFiles_ = 0;
    int openViews_ = 0;
    int heldPages_ = 0;
    bool interrupted_ = false;
    std::string console_;
    std::vector<std::pair<std::string, std::error_code>> errors_;
    std::vector<std::string> journal_;
};

// A file to write for a platform test: the existing one held for writing,
// else a new one (`created`).
inline FileHandle openForWriting(Platform& platform, const std::string& path, bool& created) {
    const ExistingFile found = platform.openForWriting(path, WriteOpen::Existing);
    created = false;
    if (!found.missing) return found.file;
    bool exists = false;
    const FileHandle file = *platform.createNew(path, exists);
    created = file.isOpen();
    return file;
}

// Appends `text` to a log opened with WriteOpen::AppendLog.
inline Result<> appendText(Platform& platform, FileHandle log, std::string_view text) {
    const WritePiece piece(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    std::size_t written = 0;
    return platform.writeFile(log, kAppend, {&piece, 1}, written);
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
