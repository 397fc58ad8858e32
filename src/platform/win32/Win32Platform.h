// The platform on Windows: the Win32 calls themselves, with the access,
// sharing and creation flags the run depends on. Only the files of this
// folder include this header.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Deleting a file through its handle (FileDispositionInfo) came with Vista.
#if _WIN32_WINNT < 0x0600
#error "wedmorph needs _WIN32_WINNT 0x0600 or later"
#endif

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SharedPlatform.h"

namespace wedmorph {

namespace win32 {

inline HANDLE toHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file.native); }

inline FileHandle toFile(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) return {};
    return {reinterpret_cast<std::intptr_t>(handle)};
}

// The reason the system call just made failed: read before any other call
// can change it.
inline std::error_code lastError() { return {static_cast<int>(::GetLastError()), std::system_category()}; }

// The identity and size of what `handle` leads to.
Result<FileStatus> statusOfHandle(HANDLE handle);

}  // namespace win32

class Win32Platform final : public SharedPlatform {
public:
    PathStyle pathStyle() const override;
    Result<std::string> ownProgramPath() override;
    bool isLeadByte(unsigned char byte) const override;
    Result<> changeDirectory(const std::string& dir) override;
    Result<void*> allocatePages(std::size_t bytes) override;
    void releasePages(void* block, std::size_t bytes) override;

    void catchInterruptions() override;
    bool interrupted() override;
    void runSettled() override;

    bool plainFileExists(const std::string& path) override;
    Result<std::vector<std::string>> listPlainFiles(const std::string& dir) override;
    Result<FileStatus> statusOfPath(const std::string& path) override;
    Result<std::string> absolutePath(const std::string& path) override;

    ExistingFile openInput(const std::string& path, InputUse use) override;
    ExistingFile openForWriting(const std::string& path, WriteOpen how) override;
    Result<FileHandle> createNew(const std::string& path, bool& exists) override;
    void closeFile(FileHandle file) override;
    Result<FileStatus> statusOf(FileHandle file) override;
    Result<> emptyFile(FileHandle file) override;
    Result<> reserveSpace(FileHandle file, std::uint64_t size) override;
    Result<> writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                       std::size_t& written) override;
    Result<> readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                      std::size_t& read) override;
    Result<> copyContents(FileHandle source, FileHandle target) override;
    Result<> flushFile(FileHandle file) override;
    // Windows has no call that starts a range on its way to the disk
    // without waiting for it: the flush does it all.
    void startFlush(FileHandle, std::uint64_t, std::uint64_t) override {}
    Result<> flushFolder(const std::string& dir) override;
    Result<> renameHeld(FileHandle file, const std::string& from, const std::string& to) override;
    Result<> copyPermissions(FileHandle, FileHandle) override { return {}; }
    Result<> deleteHeldFile(FileHandle file, const std::string& path) override;

    Result<std::span<const std::uint8_t>> mapFile(FileHandle file) override;
    void unmapFile(std::span<const std::uint8_t> view) override;

private:
    std::tm localTimeOf(std::time_t when) override;
    // "error N: " and the system's text for its own codes.
    std::string reasonText(const std::error_code& error) override;
    // Opens the log for appending, as WriteOpen::AppendLog says.
    ExistingFile openLog(const std::string& path);
};

}  // namespace wedmorph
