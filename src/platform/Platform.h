// The operating-system services a run uses, behind one interface.
//
// The run sequence talks to the file system only through a Platform, so a test
// can hand it one that fails any chosen operation and counts what is open.
// One implementation per operating system lives beside this header; nothing
// outside this folder includes an operating-system header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <span>
#include <string>

namespace wedmorph {

// An open file. `native` is the system's handle (a HANDLE or a descriptor).
struct FileHandle {
    std::intptr_t native = -1;
    bool isOpen() const { return native != -1; }
};

// A file mapping object, from which views are mapped.
struct MappingHandle {
    std::intptr_t native = -1;
    bool isOpen() const { return native != -1; }
};

enum class Access { ReadOnly, ReadWrite };

// A run of bytes to write.
struct WritePiece {
    const std::uint8_t* data;
    std::size_t length;
};

// Which file a handle or a name leads to: the volume and the file's number on
// it. Every name of one file (another letter case, a symbolic or hard link)
// gives the same identity.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    bool known = false;
    bool operator==(const FileIdentity&) const = default;
};

// Files that a write must never land on: a run's inputs and the outputs it
// has written so far. An unknown identity matches nothing.
using KeptFiles = std::span<const FileIdentity>;

inline bool isKept(KeptFiles kept, const FileIdentity& identity) {
    if (!identity.known) return false;
    for (const FileIdentity& one : kept) {
        if (one == identity) return true;
    }
    return false;
}

// How area arguments are written on this system.
enum class PathStyle {
    Windows,  // directory pieces are appended as typed
    Posix,    // every "\" of a directory piece is appended as "/"
};

class Platform {
public:
    virtual ~Platform() = default;

    virtual PathStyle pathStyle() const = 0;

    // Full path of the running program's own file, not argument 0 as typed,
    // however long it is. Empty when the system cannot tell.
    virtual std::string ownProgramPath() = 0;

    // Whether `byte` starts a double-byte character of the system's code page.
    virtual bool isLeadByte(unsigned char byte) const = 0;

    // Makes `dir` the process's current directory; false when it cannot.
    virtual bool changeDirectory(const std::string& dir) = 0;

    // Whether a search for `path` finds an entry that is a file, not a
    // directory and not hidden or system. "*" and "?" in the final component
    // match as wildcards here and nowhere else.
    virtual bool plainFileExists(const std::string& path) = 0;

    // Only regular files are opened, created or copied: a directory, a pipe
    // or a device fails at once, never blocks. While a file is open for
    // reading, no other run may write, empty or delete it; while it is open
    // for writing, no other run may open it at all.

    // Opens an existing file for reading, sharing read access.
    virtual FileHandle openForReading(const std::string& path) = 0;
    // Opens an existing file for reading and writing; fails when it is one of `kept`.
    virtual FileHandle openForUpdate(const std::string& path, KeptFiles kept) = 0;
    // Creates a file for writing, or empties the one that is there. The file
    // is opened first and emptied only once it is known not to be one of `kept`.
    virtual FileHandle createForWriting(const std::string& path, KeptFiles kept) = 0;
    virtual void closeFile(FileHandle file) = 0;

    // The identity of an open file, or of the file a name leads to (unknown
    // when there is none).
    virtual FileIdentity identifyFile(FileHandle file) = 0;
    virtual FileIdentity identifyPath(const std::string& path) = 0;

    // Size of an open file: the low 32 bits of it.
    virtual std::uint32_t fileSize(FileHandle file) = 0;

    // A mapping of the whole file. A file of zero bytes cannot be mapped.
    virtual MappingHandle createMapping(FileHandle file, Access access) = 0;
    // A view of the whole mapping; null on failure. Changes made through a
    // writable view reach the file.
    virtual std::uint8_t* mapView(MappingHandle mapping, Access access) = 0;
    virtual void unmapView(std::uint8_t* view) = 0;
    virtual void closeMapping(MappingHandle mapping) = 0;

    // Writes the pieces one after another, gathered into as few system calls
    // as it can; `written` receives how many bytes went out. False on error.
    // A true result with `written` short of the pieces' total is a short write.
    virtual bool writeFile(FileHandle file, std::span<const WritePiece> pieces,
                           std::size_t& written) = 0;

    // Copies `source` to `target`, replacing a target that is there, and
    // returns the identity of the copy; unknown when the copy failed. Fails,
    // leaving the target untouched, when it is the source itself or one of
    // `kept`. The copy carries the bytes, not the source's attributes: a new
    // target is writable, an existing one keeps its own.
    virtual FileIdentity copyFile(const std::string& source, const std::string& target,
                                  KeptFiles kept) = 0;
    // Fails when another run holds the file open.
    virtual bool deleteFile(const std::string& path) = 0;

    // Memory straight from the system, for large buffers: zeroed whole pages.
    // Null on failure.
    virtual void* allocatePages(std::size_t bytes) = 0;
    virtual void releasePages(void* block, std::size_t bytes) = 0;

    // Console: standard output, written in program order.
    virtual void writeConsole(const char* text, std::size_t length) = 0;
    // The log: a stream opened for appending in text mode, or null.
    virtual std::FILE* openAppendText(const std::string& path) = 0;
    virtual std::tm localTimeNow() = 0;
};

// The implementation for the system this program was built for.
Platform& nativePlatform();

}  // namespace wedmorph
