// The files a run holds: each input from the moment its identity is taken
// until it is deleted or the run ends, each output target from before the
// first byte of any output is written until the run ends. Holding them is
// what keeps another run from reading a half-written area or writing over
// one this run reads.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <system_error>

#include "area/AreaPaths.h"
#include "platform/FileOwners.h"
#include "platform/Platform.h"

namespace wedmorph {

// The files no output may land on: a run's inputs, its log and the outputs it
// holds. An unknown identity matches nothing.
class ProtectedFiles {
public:
    void add(const FileIdentity& identity) {
        if (identity.known && !contains(identity) && count_ < files_.size()) files_[count_++] = identity;
    }
    bool contains(const FileIdentity& identity) const {
        if (!identity.known) return false;
        for (std::size_t n = 0; n < count_; ++n) {
            if (files_[n] == identity) return true;
        }
        return false;
    }

private:
    // Seven inputs, the log, seven output targets and their temporaries.
    std::array<FileIdentity, 24> files_{};
    std::size_t count_ = 0;
};

// What came of holding a file.
enum class Hold {
    Held,
    InUse,  // another run or program has it: the area is not this run's to change now
    Failed,
};

// What came of holding a file, with the platform's reason when it was not:
// none when the run refused the file itself (an input's name, say).
struct Held {
    Hold hold;
    std::error_code error = {};
    bool operator==(Hold other) const { return hold == other; }
};

struct InputFile {
    OwnedFile file;
    FileIdentity identity;
};

// Opens an input and takes its identity, which joins `protectedFiles`; false
// (nothing held) when either cannot be had: an input that cannot be told
// apart from the outputs is not used.
Held holdInput(Platform& platform, const std::string& path, InputUse use,
               ProtectedFiles& protectedFiles, InputFile& input);

// An output: the file the run writes it to, a temporary beside its target,
// which takes the target's name only when every output is complete, and the
// existing file it then replaces, held until that moment.
struct OutputFile {
    OwnedFile target;           // the file under the output's name; not open when there is none
    std::string targetPath;     // that file as found (its letter case; a link's final file)
    OwnedFile file;             // the temporary; after the rename, the output itself
    std::string temporaryPath;  // the target's path with its last letter made "~"
    bool renamed = false;
    FileStatus status;          // as the run left it, after the rename: size and change time

    bool replaces() const { return target.get().isOpen(); }
};

// Takes what the run leaves in a written output, to be checked later.
void markWritten(Platform& platform, OutputFile& output);

// Whether `path` still leads to the output as the run wrote it: the same
// file, size and change time (another program that ignores the run's locks
// may have written it).
bool stillAsWritten(Platform& platform, const std::string& path, const OutputFile& output);

// The input area's file names. In the input's own folder an output that
// takes one of them in any letter case counts as that input, whatever its
// identity: on a case-insensitive file system two such names can give two
// identities. The same holds for a folder: exFAT under FUSE gives `game` and
// `GAME` two. So a folder is the input's when it has the input folder's
// identity, or its path, as typed or made absolute (".", ".." and links
// resolved), equals the input folder's ignoring ASCII case; on a
// case-sensitive file system two folders whose names differ only in case
// thus count as one.
class InputNames {
public:
    InputNames(Platform& platform, const AreaFilePaths& input);
    // Whether `path`, a file of `dir`, is one of the input area's files by name.
    bool includes(const std::string& dir, const std::string& path) const;

private:
    bool sameFolderAsInput(const std::string& dir) const;

    Platform& platform_;
    const AreaFilePaths& input_;
    std::array<std::string, 2 + kCompanionCount> names_;
    FileIdentity folder_;
    std::string absoluteFolder_;  // empty when it cannot be had
};

// Holds the target of an output of `dir`: the file its name leads to, opened
// for writing (never one of `protectedFiles`, which it then joins), or
// nothing when the name is free. Failed when it cannot be held or its name,
// or a link's final file, is an input's.
Held holdTarget(Platform& platform, const std::string& dir, const std::string& path,
                const InputNames& inputNames, ProtectedFiles& protectedFiles, OutputFile& output);

// Creates and holds the temporary of a held target. One left by a run that
// was killed is removed first, while this run holds it; one that another run
// holds, or that is not a regular file, fails.
Held holdTemporary(Platform& platform, ProtectedFiles& protectedFiles, OutputFile& output);

// Gives the temporary the target's name: the old file is let go first (no
// system replaces a file that a handle holds without sharing).
Result<> renameIntoPlace(Platform& platform, OutputFile& output);

// Removes the temporary, unless it has taken its target's name, and lets go
// of everything the output holds. A temporary that cannot be removed stays
// for the next run, which removes it as one left by a killed run.
void discard(Platform& platform, OutputFile& output);

}  // namespace wedmorph
