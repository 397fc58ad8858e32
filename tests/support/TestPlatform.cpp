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
    return found == calls_.end() ? 0 : found->second;
}

bool TestPlatform::shouldFail(Op op, const std::string& path) {
    const int call = ++calls_[op];
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

FileHandle TestPlatform::openForReading(const std::string& path) {
    if (shouldFail(Op::OpenForReading, path)) return {};
    FileHandle file = real_.openForReading(path);
    if (file.isOpen()) ++openFiles_;
    return file;
}

FileHandle TestPlatform::openForUpdate(const std::string& path, KeptFiles kept) {
    if (shouldFail(Op::OpenForUpdate, path)) return {};
    FileHandle file = real_.openForUpdate(path, kept);
    if (file.isOpen()) ++openFiles_;
    return file;
}

FileHandle TestPlatform::createForWriting(const std::string& path, KeptFiles kept) {
    if (shouldFail(Op::CreateForWriting, path)) return {};
    journal_.push_back("create " + path);
    FileHandle file = real_.createForWriting(path, kept);
    if (file.isOpen()) ++openFiles_;
    return file;
}

void TestPlatform::closeFile(FileHandle file) {
    --openFiles_;
    real_.closeFile(file);
}

FileIdentity TestPlatform::identifyFile(FileHandle file) {
    if (shouldFail(Op::Identify)) return {};
    return real_.identifyFile(file);
}

FileIdentity TestPlatform::identifyPath(const std::string& path) {
    if (shouldFail(Op::Identify, path)) return {};
    return real_.identifyPath(path);
}

MappingHandle TestPlatform::createMapping(FileHandle file, Access access) {
    if (shouldFail(Op::CreateMapping)) return {};
    MappingHandle mapping = real_.createMapping(file, access);
    if (mapping.isOpen()) ++openMappings_;
    return mapping;
}

std::uint8_t* TestPlatform::mapView(MappingHandle mapping, Access access) {
    if (shouldFail(Op::MapView)) return nullptr;
    std::uint8_t* view = real_.mapView(mapping, access);
    if (view != nullptr) ++openViews_;
    return view;
}

void TestPlatform::unmapView(std::uint8_t* view) {
    --openViews_;
    real_.unmapView(view);
}

void TestPlatform::closeMapping(MappingHandle mapping) {
    --openMappings_;
    real_.closeMapping(mapping);
}

bool TestPlatform::writeFile(FileHandle file, const std::uint8_t* data, std::size_t length,
                             std::size_t& written) {
    if (shouldFail(Op::Write)) {
        written = 0;
        return false;
    }
    if (shouldFail(Op::ShortWrite)) return real_.writeFile(file, data, length / 2, written);
    return real_.writeFile(file, data, length, written);
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
    if (shouldFail(Op::AllocatePages)) return nullptr;
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
