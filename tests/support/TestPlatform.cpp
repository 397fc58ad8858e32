#include "support/TestPlatform.h"

#include <cstdlib>

namespace wedmorph::test {

const char* opName(Op op) {
    switch (op) {
        case Op::ChangeDirectory: return "ChangeDirectory";
        case Op::FindFile: return "FindFile";
        case Op::OpenForReading: return "OpenForReading";
        case Op::OpenForUpdate: return "OpenForUpdate";
        case Op::CreateForWriting: return "CreateForWriting";
        case Op::CreateMapping: return "CreateMapping";
        case Op::MapView: return "MapView";
        case Op::Write: return "Write";
        case Op::ShortWrite: return "ShortWrite";
        case Op::Copy: return "Copy";
        case Op::Identify: return "Identify";
        case Op::Delete: return "Delete";
        case Op::OpenLog: return "OpenLog";
        case Op::AllocatePages: return "AllocatePages";
    }
    return "?";
}

TestPlatform::TestPlatform() : real_(nativePlatform()) {
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

bool TestPlatform::shouldFail(Op op, const std::string& path) {
    std::vector<std::string>& calls = calls_[op];
    calls.push_back(path);
    const int call = static_cast<int>(calls.size());
    for (const auto& [failing, end] : failingPaths_) {
        if (failing == op && path.size() >= end.size() &&
            path.compare(path.size() - end.size(), end.size(), end) == 0) {
            return true;
        }
    }
    auto found = failures_.find(op);
    return found != failures_.end() && (found->second == 0 || found->second == call);
}

bool TestPlatform::changeDirectory(const std::string& dir) {
    if (shouldFail(Op::ChangeDirectory, dir)) return false;
    return real_.changeDirectory(dir);
}

bool TestPlatform::plainFileExists(const std::string& path) {
    if (shouldFail(Op::FindFile, path)) return false;
    return real_.plainFileExists(path);
}

FileHandle TestPlatform::held(FileHandle file, const std::string& path) {
    if (file.isOpen()) {
        ++openFiles_;
        filePaths_[file.native] = path;
    }
    return file;
}

FileHandle TestPlatform::openForReading(const std::string& path) {
    if (shouldFail(Op::OpenForReading, path)) return {};
    return held(real_.openForReading(path), path);
}

FileHandle TestPlatform::openForUpdate(const std::string& path, KeptFiles kept) {
    if (shouldFail(Op::OpenForUpdate, path)) return {};
    return held(real_.openForUpdate(path, kept), path);
}

FileHandle TestPlatform::createForWriting(const std::string& path, KeptFiles kept) {
    if (shouldFail(Op::CreateForWriting, path)) return {};
    journal_.push_back("create " + path);
    return held(real_.createForWriting(path, kept), path);
}

void TestPlatform::closeFile(FileHandle file) {
    --openFiles_;
    filePaths_.erase(file.native);
    real_.closeFile(file);
}

FileIdentity TestPlatform::identifyFile(FileHandle file) {
    if (shouldFail(Op::Identify, pathOf(file))) return {};
    return real_.identifyFile(file);
}

FileIdentity TestPlatform::identifyPath(const std::string& path) {
    if (shouldFail(Op::Identify, path)) return {};
    return real_.identifyPath(path);
}

MappingHandle TestPlatform::createMapping(FileHandle file, Access access) {
    const std::string path = pathOf(file);
    if (shouldFail(Op::CreateMapping, path)) return {};
    MappingHandle mapping = real_.createMapping(file, access);
    if (mapping.isOpen()) {
        ++openMappings_;
        mappingPaths_[mapping.native] = path;
    }
    return mapping;
}

std::uint8_t* TestPlatform::mapView(MappingHandle mapping, Access access) {
    const std::string path = mappingPaths_[mapping.native];
    if (shouldFail(Op::MapView, path)) return nullptr;
    std::uint8_t* view = real_.mapView(mapping, access);
    if (view != nullptr) {
        ++openViews_;
        viewPaths_[view] = path;
    }
    return view;
}

void TestPlatform::unmapView(std::uint8_t* view) {
    --openViews_;
    viewPaths_.erase(view);
    real_.unmapView(view);
}

void TestPlatform::closeMapping(MappingHandle mapping) {
    --openMappings_;
    mappingPaths_.erase(mapping.native);
    real_.closeMapping(mapping);
}

bool TestPlatform::writeFile(FileHandle file, std::span<const WritePiece> pieces,
                             std::size_t& written) {
    if (shouldFail(Op::Write, pathOf(file))) {
        written = 0;
        return false;
    }
    if (shouldFail(Op::ShortWrite, pathOf(file))) {
        // Half the bytes go out, and the call says so.
        std::size_t total = 0;
        for (const WritePiece& piece : pieces) total += piece.length;
        std::vector<WritePiece> half;
        for (std::size_t left = total / 2; const WritePiece& piece : pieces) {
            if (left == 0) break;
            half.push_back({piece.data, std::min(piece.length, left)});
            left -= half.back().length;
        }
        return real_.writeFile(file, half, written);
    }
    return real_.writeFile(file, pieces, written);
}

FileIdentity TestPlatform::copyFile(const std::string& source, const std::string& target,
                                   KeptFiles kept) {
    if (shouldFail(Op::Copy, source)) return {};
    journal_.push_back("copy " + source + " -> " + target);
    return real_.copyFile(source, target, kept);
}

bool TestPlatform::deleteFile(const std::string& path) {
    if (shouldFail(Op::Delete, path)) return false;
    journal_.push_back("delete " + path);
    return real_.deleteFile(path);
}

void* TestPlatform::allocatePages(std::size_t bytes) {
    if (shouldFail(Op::AllocatePages, {})) return nullptr;
    void* block = real_.allocatePages(bytes);
    if (block != nullptr) ++heldPages_;
    return block;
}

void TestPlatform::releasePages(void* block, std::size_t bytes) {
    --heldPages_;
    real_.releasePages(block, bytes);
}

void TestPlatform::writeConsole(const char* text, std::size_t length) {
    console_.append(text, length);
}

std::FILE* TestPlatform::openAppendText(const std::string& path) {
    if (shouldFail(Op::OpenLog, path)) return nullptr;
    return real_.openAppendText(path);
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
