// The operating-system services a run uses, behind one interface.
//
// The run sequence talks to the file system only through a Platform, so a test
// can hand it one that fails any chosen operation and counts what is open.
// The implementations live in posix/ and win32/ beside this header, one file
// per topic; nothing outside this folder includes an operating-system header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/WritePiece.h"
#include "platform/Result.h"

namespace wedmorph {

// An open file. `native` is the system's handle (a HANDLE or a descriptor).
struct FileHandle {
    std::intptr_t native = -1;
    bool isOpen() const { return native != -1; }
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

// What a handle or a name leads to, its size in bytes, and when its content
// or state last changed, where the system keeps that time out of programs'
// reach (POSIX's change time, in nanoseconds; 0 where it is not kept).
struct FileStatus {
    FileIdentity identity;
    std::uint64_t size = 0;
    std::int64_t changed = 0;
    std::uint32_t links = 0;  // the names the file has (hard links)
};

// How area arguments are written on this system.
enum class PathStyle {
    Windows,  // directory pieces are appended as typed
    Posix,    // every "\" of a directory piece is appended as "/"
};

// How an input is held: with "-d" it is opened so that it can later be
// deleted through the same handle (on Windows, with DELETE access).
enum class InputUse { Read, ReadThenDelete };

// What an open for writing asks of the file.
enum class WriteOpen {
    // An existing file, held so that no other run opens it; a missing one is
    // not created. A symbolic link leads to its final file, which is opened.
    Existing,
    // The same, with a symbolic link at the name refused.
    ExistingNoLink,
    // A log: never held, so that two runs may append to it at once, and made
    // when nothing has the name. A symbolic link (or reparse point) or a file
    // with more than one name is refused, and nothing is made where a
    // dangling link points. It is written at kAppend alone.
    AppendLog,
};

// The offset of a write to a log: at its end, whatever the other runs that
// append to it have written, as text, with the system's line ends (Windows
// writes "\r\n" for "\n", as a text stream does).
inline constexpr std::uint64_t kAppend = ~std::uint64_t{0};

// A file opened, as a lookup of its name found it.
struct ExistingFile {
    FileHandle file = {};   // not open when the file is missing or cannot be had
    std::string path = {};  // the file as found: its own letter case, a link's final file
    bool missing = false;   // nothing has the name
    bool inUse = false;     // another run (or program) holds it
    std::error_code error;  // why the file is not open
};

// Every call that can fail says why it did (Result.h); the few that cannot
// fail, or whose failure changes nothing for the run, return nothing.
class Platform {
public:
    virtual ~Platform() = default;

    // --- Process, console and clock -------------------------------------

    virtual PathStyle pathStyle() const = 0;

    // Full path of the running program's own file, not argument 0 as typed,
    // however long it is.
    virtual Result<std::string> ownProgramPath() = 0;

    // Whether `byte` starts a double-byte character of the system's code page.
    virtual bool isLeadByte(unsigned char byte) const = 0;

    // Makes `dir` the process's current directory.
    virtual Result<> changeDirectory(const std::string& dir) = 0;

    // Standard output, written in program order. A console that has gone
    // away (a closed pipe) is ignored: it never ends the run.
    virtual void writeConsole(const char* text, std::size_t length) = 0;

    // Standard error, once standard output has been flushed: `text`, then
    // the reason for `error` and a line end, in one write. The system's own
    // text gives the reason: strerror's on POSIX, and on Windows "error N: "
    // and FormatMessage's text without its line end. A console that has gone
    // away is ignored.
    virtual void writeError(const std::string& text, std::error_code error) = 0;

    virtual std::tm localTimeNow() = 0;

    // Memory straight from the system, for large buffers: zeroed whole pages.
    virtual Result<void*> allocatePages(std::size_t bytes) = 0;
    virtual void releasePages(void* block, std::size_t bytes) = 0;

    // --- Interruptions ---------------------------------------------------
    //
    // Ctrl-C, Ctrl-Break and a request to terminate (SIGINT and SIGTERM;
    // CTRL_C_EVENT and CTRL_BREAK_EVENT) only raise a flag. The run reads it
    // between its steps up to its commit, and a run it cancels leaves the
    // output area as it found it; from the commit on the run finishes first.
    // A console that goes away never ends a run on POSIX; a Windows console
    // closed, a log-off or a shut-down cannot be refused, and the run is
    // given up to four seconds to cancel or finish its commit before the
    // system ends the process.

    // Catches the interruptions from now on: the first thing the program
    // does, before it opens any file.
    virtual void catchInterruptions() = 0;
    // Whether an interruption has come since they were caught.
    virtual bool interrupted() = 0;
    // The run has ended: its temporaries are removed or its commit is done.
    // A closing console that waits for this may end the process now.
    virtual void runSettled() = 0;

    // --- Names and folder listing ---------------------------------------

    // Whether a search for `path` finds an entry that is a file, not a
    // directory and not hidden or system. "*" and "?" in the final component
    // match as wildcards here and nowhere else. A search that fails finds
    // nothing.
    virtual bool plainFileExists(const std::string& path) = 0;

    // The names of the plain files (as plainFileExists counts them) in `dir`,
    // which ends with a separator.
    virtual Result<std::vector<std::string>> listPlainFiles(const std::string& dir) = 0;

    // What the name leads to (a file or a folder, found in any letter case);
    // a failure, with an unknown identity, when there is nothing.
    virtual Result<FileStatus> statusOfPath(const std::string& path) = 0;

    // The absolute path that `path` names, with ".", ".." and, where the
    // system resolves them, symbolic links taken away; each name keeps its
    // letter case as typed or linked. It ends with a separator when `path`
    // does. A failure when it cannot be had (a missing folder, say).
    virtual Result<std::string> absolutePath(const std::string& path) = 0;

    // --- Files, locks and identities ------------------------------------
    //
    // Only regular files are opened: a directory, a pipe or a device fails at
    // once, never blocks. While a run holds a file for reading, no other run
    // may write, empty or delete it; while it holds a file for writing, no
    // other run may open it at all.

    // Opens an existing file for reading. With InputUse::Read it shares
    // reading with other readers; with InputUse::ReadThenDelete no other run
    // may hold it at all, as it is to be deleted.
    virtual ExistingFile openInput(const std::string& path, InputUse use) = 0;

    // Opens a file for writing as `how` asks. Fails (without `missing`) when
    // the name leads to something other than a regular file, to a file
    // another run holds (`inUse`), or to a link `how` refuses.
    virtual ExistingFile openForWriting(const std::string& path, WriteOpen how) = 0;

    // Creates `path`, which no entry may have in any letter case, for
    // writing, held like an existing file; `exists` tells a name that is
    // taken (or a new file taken by another run at once) from other failures.
    virtual Result<FileHandle> createNew(const std::string& path, bool& exists) = 0;

    virtual void closeFile(FileHandle file) = 0;

    virtual Result<FileStatus> statusOf(FileHandle file) = 0;

    // Empties an output that holds anything.
    virtual Result<> emptyFile(FileHandle file) = 0;

    // Takes room on the disk for the first `size` bytes of `file`, which is
    // empty, before they are written: a file system that allocates as it
    // writes then does its work once, not page by page. The file's size stays
    // as written, so a run stopped halfway never leaves a file of the full
    // size with nothing at its end. Fails only when the disk (or the user's
    // quota) has not that much left: where the system or the file system
    // cannot reserve, the writes take their room as they go.
    virtual Result<> reserveSpace(FileHandle file, std::uint64_t size) = 0;

    // Writes the pieces one after another from `offset` (or kAppend) on,
    // gathered into as few system calls as it can; `written` receives how
    // many bytes went out. A success with `written` short of the pieces'
    // total is a short write.
    virtual Result<> writeFile(FileHandle file, std::uint64_t offset, std::span<const WritePiece> pieces,
                               std::size_t& written) = 0;

    // Reads `into` from `offset` on, in as many calls as it takes; `read`
    // receives how many bytes came, short of the span only at the file's end.
    virtual Result<> readFile(FileHandle file, std::uint64_t offset, std::span<std::uint8_t> into,
                              std::size_t& read) = 0;

    // Makes `target` (an output) a copy of the whole of `source`: the bytes,
    // not the attributes.
    virtual Result<> copyContents(FileHandle source, FileHandle target) = 0;

    // Puts what was written to the file on stable storage.
    virtual Result<> flushFile(FileHandle file) = 0;
    // Starts putting `length` bytes of `file` from `offset` on (0: up to its
    // end) on stable storage and returns without waiting: the disk works
    // while the run goes on, and a flush that follows has less left to wait
    // for. Only advice, never a failure: where the system cannot, nothing
    // happens, and the flush reports what matters.
    virtual void startFlush(FileHandle file, std::uint64_t offset, std::uint64_t length) = 0;
    // The same for a folder's entries; a file system that cannot flush a
    // folder counts as done.
    virtual Result<> flushFolder(const std::string& dir) = 0;

    // Gives the file that `file` holds, and that the name `from` leads to,
    // the name `to` in the same folder, replacing what has it; the file stays
    // held. Fails when `from` leads elsewhere by then.
    virtual Result<> renameHeld(FileHandle file, const std::string& from, const std::string& to) = 0;

    // Gives `to` the permission bits of `from`, where the system has them.
    virtual Result<> copyPermissions(FileHandle from, FileHandle to) = 0;

    // Deletes the file that `file` holds, under the name `path`: only while
    // the name still leads to that same file and no other run holds it open.
    // The handle stays open; the caller closes it.
    virtual Result<> deleteHeldFile(FileHandle file, const std::string& path) = 0;

    // --- Mappings -------------------------------------------------------

    // A read-only view of the whole file. A file of zero bytes cannot be
    // mapped.
    virtual Result<std::span<const std::uint8_t>> mapFile(FileHandle file) = 0;
    virtual void unmapFile(std::span<const std::uint8_t> view) = 0;
};

// The implementation for the system this program was built for.
Platform& nativePlatform();

}  // namespace wedmorph
