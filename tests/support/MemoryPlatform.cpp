#include "support/MemoryPlatform.h"

namespace wedmorph::test {

bool MemoryPlatform::folderExists(const std::string& path) const {
    const std::size_t slash = path.rfind('/');
    return slash != std::string::npos && folders.count(path.substr(0, slash + 1)) != 0;
}

bool MemoryPlatform::changeDirectory(const std::string& dir) {
    return folders.count(dir.back() == '/' ? dir : dir + "/") != 0;
}

FileHandle MemoryPlatform::open(const std::string& path, bool) {
    if (files.count(path) == 0) return {};
    open_[next_] = path;
    return {next_++};
}

FileIdentity MemoryPlatform::identityOf(const std::string& path) {
    return {1, numbers_.try_emplace(path, numbers_.size() + 1).first->second, true};
}

FileIdentity MemoryPlatform::identifyPath(const std::string& path) {
    if (files.count(path) == 0) return {};
    return identityOf(path);
}

FileHandle MemoryPlatform::openForUpdate(const std::string& path, KeptFiles kept) {
    if (isKept(kept, identifyPath(path))) return {};
    return open(path, true);
}

FileHandle MemoryPlatform::createForWriting(const std::string& path, KeptFiles kept) {
    if (!folderExists(path) || folders.count(path + "/") != 0) return {};
    if (isKept(kept, identityOf(path))) return {};
    files[path].clear();
    open_[next_] = path;
    return {next_++};
}

std::uint32_t MemoryPlatform::fileSize(FileHandle file) {
    return static_cast<std::uint32_t>(files[open_.at(file.native)].size());
}

MappingHandle MemoryPlatform::createMapping(FileHandle file, Access) {
    const std::string& path = open_.at(file.native);
    if (files[path].empty()) return {};
    mappings_[next_] = path;
    return {next_++};
}

std::uint8_t* MemoryPlatform::mapView(MappingHandle mapping, Access access) {
    const std::string& path = mappings_.at(mapping.native);
    View view{path, access == Access::ReadWrite, files[path]};
    std::uint8_t* address = view.bytes.data();
    views_.emplace(address, std::move(view));
    return address;
}

void MemoryPlatform::unmapView(std::uint8_t* address) {
    auto found = views_.find(address);
    if (found == views_.end()) return;
    if (found->second.writable) files[found->second.path] = found->second.bytes;
    views_.erase(found);
}

bool MemoryPlatform::writeFile(FileHandle file, std::span<const WritePiece> pieces,
                               std::size_t& written) {
    std::vector<std::uint8_t>& bytes = files[open_.at(file.native)];
    written = 0;
    for (const WritePiece& piece : pieces) {
        bytes.insert(bytes.end(), piece.data, piece.data + piece.length);
        written += piece.length;
    }
    return true;
}

FileIdentity MemoryPlatform::copyFile(const std::string& source, const std::string& target,
                                     KeptFiles kept) {
    if (source == target || files.count(source) == 0 || !folderExists(target)) return {};
    if (isKept(kept, identityOf(target))) return {};
    files[target] = files[source];
    return identityOf(target);
}

void MemoryPlatform::writeConsole(const char* text, std::size_t length) {
    if (keepConsole) console.append(text, length);
}

}  // namespace wedmorph::test
