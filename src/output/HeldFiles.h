// The files a run holds: each input from the moment its identity is taken
// until it is deleted or the run ends, each output target from before the
// first byte of any output is written until the run ends. Holding them is
// what keeps another run from reading a half-written area or writing over
// one this run reads.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "area/AreaPaths.h"
#include "platform/FileOwners.h"
#include "platform/Platform.h"

namespace wedmorph {

struct InputFile {
    OwnedFile file;
    FileIdentity identity;
};

// Opens an input and takes its identity, which joins `protectedFiles`; false
// (nothing held) when either cannot be had: an input that cannot be told
// apart from the outputs is not used.
bool holdInput(Platform& platform, const std::string& path, InputUse use,
               ProtectedFiles& protectedFiles, InputFile& input);

struct OutputFile {
    OwnedFile file;
    FileIdentity identity;
    bool created = false;  // it did not exist before the run held it
    FileStatus status;     // as the run left it: size and change time
};

// Takes what the run leaves in a written output, to be checked later.
void markWritten(Platform& platform, OutputFile& output);

// Whether `path` still leads to the output as the run wrote it: the same
// file, size and change time (another program that ignores the run's locks
// may have written it).
bool stillAsWritten(Platform& platform, const std::string& path, const OutputFile& output);

// The input area's file names. In the input's own folder (the same folder by
// identity, or by path ignoring ASCII case) an output that takes one of them
// in any letter case counts as that input, whatever its identity: on a
// case-insensitive file system two such names can give two identities.
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
};

// Opens an output target of `dir` as it stands, never one of
// `protectedFiles`, which it then joins; false when it cannot be held or its
// name is an input's.
bool holdOutput(Platform& platform, const std::string& dir, const std::string& path,
                const InputNames& inputNames, ProtectedFiles& protectedFiles, OutputFile& output);

// A target that the run created goes again, as long as its name still leads
// to it.
void removeIfCreated(Platform& platform, const std::string& path, OutputFile& output);

}  // namespace wedmorph
