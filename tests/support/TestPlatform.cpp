#include "support/TestPlatform.h"

#include <cstdlib>

namespace wedmorph::test {

const char* opName(Op op) {
    switch (op) {
        case Op::ChangeDirectory: return "ChangeDirectory";
        case Op::FindFile: return "FindFile";
        case Op::List: return "List";
        case Op::OpenInput: return "OpenInput";
        case Op::OpenOutput: return "OpenOutput";
        case Op::Create: return "Create";
        case Op::OpenLog: return "OpenLog";
        case Op::Identify: return "Identify";
        case Op::Map: return "Map";
        case Op::Empty: return "Empty";
        case Op::Reserve: return "Reserve";
        case Op::Read: return "Read";
        case Op::Write: return "Write";
        case Op::ShortWrite: return "ShortWrite";
        case Op::Copy: return "Copy";
        case Op::Flush: return "Flush";
        case Op::Delete: return "Delete";
        case Op::Rename: return "Rename";
        case Op::Permissions: return "Permissions";
        case Op::AllocatePages: return "AllocatePages";
    }
    return "?";
}

TestPlatform::TestPlatform() : ForwardingPlatform(nativePlatform()) {
    fixedTime.tm_year = 2026 - 1900;
    fixedTime.tm_mon = 11;
    fixedTime.tm_mday = 6;
    fixedTime.tm_wday = 0;
    fixedTime.tm_hour = 9;
    fixedTime.tm_min = 5;
    fixedTime.tm_sec = 3;
}

int TestPlatform::calls(Op op) const {
    auto found = calls_.find(op);
    return found == calls_.end() ? 0 : static_cast<int>(found->second.size());
}

std::string TestPlatform::callPath(Op op, int call) const {
    auto found = calls_.find(op);
    if (found == calls_.end() || call < 1 || call > static_cast<int>(found->second.size())) return {};
    return found->second[static_cast<std::size_t>(call - 1)];
}

std::string TestPlatform::pathOf(FileHandle file) const {
    auto found = filePaths_.find(file.native);
    return found == filePaths_.end() ? std::string() : found->second;
}

std::error_code TestPlatform::shouldFail(Op op, const std::string& path) {
    if (beforeCall) beforeCall(op, path);
    std::vector<std::string>& calls = calls_[op];
    calls.push_back(path);
    const int call = static_cast<int>(calls.size());
    // An output is written to its temporary: "AR2600.tis" names "AR2600.ti~" too.
    for (const FailingPath& failing : failingPaths_) {
        std::string temporary = failing.end;
        if (!temporary.empty()) temporary.back() = '~';
        if (failing.op == op && (path.ends_with(failing.end) || path.ends_with(temporary))) return failing.error;
    }
    auto found = failures_.find(op);
    if (found == failures_.end() || (found->second.occurrence != 0 && found->second.occurrence != call)) return {};
    return found->second.error;
}

Result<> TestPlatform::changeDirectory(const std::string& dir) {
    if (const std::error_code failed = shouldFail(Op::ChangeDirectory, dir)) return failed;
    return inner().changeDirectory(dir);
}

bool TestPlatform::plainFileExists(const std::string& path) {
    if (shouldFail(Op::FindFile, path)) return false;
    return inner().plainFileExists(path);
}

Result<std::vector<std::string>> TestPlatform::listPlainFiles(const std::string& dir) {
    if (const std::error_code failed = shouldFail(Op::List, dir)) return failed;
    return inner().listPlainFiles(dir);
}

Result<FileStatus> TestPlatform::statusOfPath(const std::string& path) {
    if (const std::error_code failed = shouldFail(Op::Identify, path)) return failed;
    return inner().statusOfPath(path);
}

FileHandle TestPlatform::held(FileHandle file, const std::string& path) {
    if (file.isOpen()) {
        ++openFiles_;
        filePaths_[file.native] = path;
    }
    return file;
}

ExistingFile TestPlatform::openInput(const std::string& path, InputUse use) {
    if (const std::error_code failed = shouldFail(Op::OpenInput, path)) return {.error = failed};
    ExistingFile found = inner().openInput(path, use);
    held(found.file, path);
    return found;
}

ExistingFile TestPlatform::openForWriting(const std::string& path, WriteOpen how) {
    const bool log = how == WriteOpen::AppendLog;
    if (const std::error_code failed = shouldFail(log ? Op::OpenLog : Op::OpenOutput, path)) return {.error = failed};
    if (!log) journal_.push_back("open " + path);
    ExistingFile found = inner().openForWriting(path, how);
    held(found.file, log ? path : found.path);
    return found;
}

Result<FileHandle> TestPlatform::createNew(const std::string& path, bool& exists) {
    exists = false;
    if (const std::error_code failed = shouldFail(Op::Create, path)) return failed;
    journal_.push_back("create " + path);
    Result<FileHandle> made = inner().createNew(path, exists);
    held(*made, path);
    return made;
}

Result<> TestPlatform::renameHeld(FileHandle file, const std::string& from, const std::string& to) {
    if (const std::error_code failed = shouldFail(Op::Rename, to)) return failed;
    journal_.push_back("rename " + from + " -> " + to);
    Result<> renamed = inner().renameHeld(file, from, to);
    if (renamed) filePaths_[file.native] = to;
    return renamed;
}

Result<> TestPlatform::copyPermissions(FileHandle from, FileHandle to) {
    if (const std::error_code failed = shouldFail(Op::Permissions, pathOf(to))) return failed;
    return inner().copyPermissions(from, to);
}

void TestPlatform::closeFile(FileHandle file) {
    --openFiles_;
    filePaths_.erase(file.native);
    inner().closeFile(file);
}

Result<FileStatus> TestPlatform::statusOf(FileHandle file) {
    if (const std::error_code failed = shouldFail(Op::Identify, pathOf(file))) return failed;
    return inner().statusOf(file);
}

Result<> TestPlatform::emptyFile(FileHandle file) {
    if (const std::error_code failed = shouldFail(Op::Empty, pathOf(file))) return failed;
    return inner().emptyFile(file);
}

Result<> TestPlatform::reserveSpace(FileHandle file, std::uint64_t size) {
    if (const std::error_code failed = shouldFail(Op::Reserve, pathOf(file))) return failed;
    return inner().reserveSpace(file, size);
}

Result<> TestPlatform::writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                                 std::size_t& written) {
    if (offset == kAppend) return inner().writeFile(file, offset, pieces, written);
    if (const std::error_code failed = shouldFail(Op::Write, pathOf(file))) {
        written = 0;
        return failed;
    }
    if (shouldFail(Op::ShortWrite, pathOf(file))) {
        // Half the bytes go out, and the call says so.
        std::size_t total = 0;
        for (const WritePiece& piece : pieces) total += piece.size();
        std::vector<WritePiece> half;
        for (std::size_t left = total / 2; const WritePiece& piece : pieces) {
            if (left == 0) break;
            half.push_back(piece.first(std::min(piece.size(), left)));
            left -= half.back().size();
        }
        return inner().writeFile(file, offset, half, written);
    }
    return inner().writeFile(file, offset, pieces, written);
}

Result<> TestPlatform::readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                                std::size_t& read) {
    read = 0;
    if (const std::error_code failed = shouldFail(Op::Read, pathOf(file))) return failed;
    return inner().readFile(file, offset, into, read);
}

Result<> TestPlatform::copyContents(FileHandle source, FileHandle target) {
    if (const std::error_code failed = shouldFail(Op::Copy, pathOf(source))) return failed;
    journal_.push_back("copy " + pathOf(source) + " -> " + pathOf(target));
    return inner().copyContents(source, target);
}

Result<> TestPlatform::flushFile(FileHandle file) {
    if (const std::error_code failed = shouldFail(Op::Flush, pathOf(file))) return failed;
    return inner().flushFile(file);
}

Result<> TestPlatform::flushFolder(const std::string& dir) {
    if (const std::error_code failed = shouldFail(Op::Flush, dir)) return failed;
    return inner().flushFolder(dir);
}

Result<> TestPlatform::deleteHeldFile(FileHandle file, const std::string& path) {
    if (const std::error_code failed = shouldFail(Op::Delete, path)) return failed;
    journal_.push_back("delete " + path);
    return inner().deleteHeldFile(file, path);
}

Result<std::span<const std::uint8_t>> TestPlatform::mapFile(FileHandle file) {
    if (const std::error_code failed = shouldFail(Op::Map, pathOf(file))) return failed;
    Result<std::span<const std::uint8_t>> view = inner().mapFile(file);
    if (view) ++openViews_;
    return view;
}

void TestPlatform::unmapFile(std::span<const std::uint8_t> view) {
    --openViews_;
    inner().unmapFile(view);
}

Result<void*> TestPlatform::allocatePages(std::size_t bytes) {
    if (const std::error_code failed = shouldFail(Op::AllocatePages, {})) return failed;
    Result<void*> block = inner().allocatePages(bytes);
    if (block) ++heldPages_;
    return block;
}

void TestPlatform::releasePages(void* block, std::size_t bytes) {
    --heldPages_;
    inner().releasePages(block, bytes);
}

void TestPlatform::runSettled() {
    journal_.push_back("settled");
    inner().runSettled();
}

void TestPlatform::writeConsole(const char* text, std::size_t length) {
    console_.append(text, length);
}

void* TestMemory::allocate(std::size_t bytes) {
    if (++allocations_ == failAt_) return nullptr;
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr) ++held_;
    return block;
}

void TestMemory::release(void* block) {
    if (block == nullptr) return;
    --held_;
    std::free(block);
}

}  // namespace wedmorph::test
