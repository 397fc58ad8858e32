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

// The identity and size of what `handle` leads to; an unknown identity when
// the system cannot tell.
FileStatus statusOfHandle(HANDLE handle);

}  // namespace win32

class Win32Platform final : public SharedPlatform {
public:
    PathStyle pathStyle() const override;
    std::string ownProgramPath() override;
    bool isLeadByte(unsigned char byte) const override;
    bool changeDirectory(const std::string& dir) override;
    void* allocatePages(std::size_t bytes) override;
    void releasePages(void* block, std::size_t bytes) override;

    void catchInterruptions() override;
    bool interrupted() override;
    // The system runs the console handler on a thread of its own: nothing to hold back.
    void startThreadShielded(const std::function<void()>& start) override { start(); }
    void runSettled() override;

    bool plainFileExists(const std::string& path) override;
    std::vector<std::string> listPlainFiles(const std::string& dir) override;
    FileStatus statusOfPath(const std::string& path) override;
    std::string absolutePath(const std::string& path) override;

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
    bool appendLog(FileHandle log, std::string_view text) override;
    bool copyContents(FileHandle source, FileHandle target) override;
    bool flushFile(FileHandle file) override;
    bool flushFolder(const std::string& dir) override;
    bool renameHeld(FileHandle file, const std::string& from, const std::string& to) override;
    bool copyPermissions(FileHandle, FileHandle) override { return true; }
    bool deleteHeldFile(FileHandle file, const std::string& path) override;

    std::span<const std::uint8_t> mapFile(FileHandle file) override;
    void unmapFile(std::span<const std::uint8_t> view) override;

private:
    std::tm localTimeOf(std::time_t when) override;
};

}  // namespace wedmorph
