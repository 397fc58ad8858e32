#include "support/MemoryPlatform.h"

#include <algorithm>

namespace wedmorph::test {

namespace {

const std::error_code kMissing = std::make_error_code(std::errc::no_such_file_or_directory);

}  // namespace

bool MemoryPlatform::folderExists(const std::string& path) const {
    const std::size_t slash = path.rfind('/');
    return slash != std::string::npos && folders.count(path.substr(0, slash + 1)) != 0;
}

Result<> MemoryPlatform::changeDirectory(const std::string& dir) {
    if (folders.count(dir.back() == '/' ? dir : dir + "/") == 0) return kMissing;
    return {};
}

Result<std::vector<std::string>> MemoryPlatform::listPlainFiles(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& [path, bytes] : files) {
        if (path.rfind(dir, 0) == 0 && path.find('/', dir.size()) == std::string::npos) {
            names.push_back(path.substr(dir.size()));
        }
    }
    return names;
}

FileIdentity MemoryPlatform::identityOf(const std::string& path) {
    return {1, numbers_.try_emplace(path, numbers_.size() + 1).first->second, true};
}

Result<FileStatus> MemoryPlatform::statusOfPath(const std::string& path) {
    if (folders.count(path) != 0) return FileStatus{identityOf(path), 0};
    auto found = files.find(path);
    if (found == files.end()) return kMissing;
    return FileStatus{identityOf(path), found->second.size()};
}

ExistingFile MemoryPlatform::openInput(const std::string& path, InputUse) {
    ExistingFile found;
    found.path = path;
    found.missing = files.count(path) == 0;
    if (found.missing) {
        found.error = kMissing;
        return found;
    }
    open_[next_] = path;
    found.file = {next_++};
    return found;
}

ExistingFile MemoryPlatform::openForWriting(const std::string& path, WriteOpen how) {
    ExistingFile found;
    found.path = path;
    found.error = kMissing;
    if (how == WriteOpen::AppendLog || !folderExists(path) || folders.count(path + "/") != 0) return found;
    found.missing = files.count(path) == 0;
    if (found.missing) return found;
    found.error = {};
    open_[next_] = path;
    found.file = {next_++};
    return found;
}

Result<FileHandle> MemoryPlatform::createNew(const std::string& path, bool& exists) {
    exists = files.count(path) != 0;
    if (exists) return std::make_error_code(std::errc::file_exists);
    if (!folderExists(path) || folders.count(path + "/") != 0) return kMissing;
    files[path];
    open_[next_] = path;
    return FileHandle{next_++};
}

Result<> MemoryPlatform::renameHeld(FileHandle file, const std::string& from, const std::string& to) {
    if (open_.at(file.native) != from || files.count(from) == 0) return kMissing;
    files[to] = std::move(files[from]);
    files.erase(from);
    numbers_[to] = identityOf(from).file;
    open_[file.native] = to;
    return {};
}

Result<> MemoryPlatform::emptyFile(FileHandle file) {
    files[open_.at(file.native)].clear();
    return {};
}

Result<> MemoryPlatform::writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                               std::size_t& written) {
    std::vector<std::uint8_t>& bytes = files[open_.at(file.native)];
    written = 0;
    for (const WritePiece& piece : pieces) {
        const std::size_t at = static_cast<std::size_t>(offset) + written;
        if (bytes.size() < at + piece.size()) bytes.resize(at + piece.size());
        std::copy(piece.begin(), piece.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        written += piece.size();
    }
    return {};
}

Result<> MemoryPlatform::copyContents(FileHandle source, FileHandle target) {
    files[open_.at(target.native)] = files[open_.at(source.native)];
    return {};
}

Result<> MemoryPlatform::deleteHeldFile(FileHandle file, const std::string& path) {
    if (open_.at(file.native) != path || files.erase(path) == 0) return kMissing;
    return {};
}

Result<> MemoryPlatform::readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                                  std::size_t& read) {
    const std::vector<std::uint8_t>& bytes = files[open_.at(file.native)];
    const std::size_t at = std::min(bytes.size(), static_cast<std::size_t>(offset));
    read = std::min(into.size(), bytes.size() - at);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), read, into.begin());
    return {};
}

Result<std::span<const std::uint8_t>> MemoryPlatform::mapFile(FileHandle file) {
    const std::vector<std::uint8_t>& bytes = files[open_.at(file.native)];
    if (bytes.empty()) return refused(Refusal::EmptyFile);
    std::vector<std::uint8_t> copy = bytes;
    const std::uint8_t* address = copy.data();
    views_.emplace(address, std::move(copy));
    return std::span<const std::uint8_t>(address, bytes.size());
}

void MemoryPlatform::unmapFile(std::span<const std::uint8_t> view) { views_.erase(view.data()); }

void MemoryPlatform::writeConsole(const char* text, std::size_t length) {
    if (keepConsole) console.append(text, length);
}

}  // namespace wedmorph::test
