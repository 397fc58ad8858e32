// The floors a conversion is measured against: in one process, read an area's
// files (WED, TIS, MOS and the four bitmaps) from beside this program once,
// and write them under the output names beside it, with plain reads and
// writes and nothing else.
//   output-floor [-d] INPUT_AREA OUTPUT_AREA OUTPUT_TIS_BYTES
//   reserved-floor [-d] INPUT_AREA OUTPUT_AREA OUTPUT_TIS_BYTES
//   copy-floor [-d] INPUT_AREA OUTPUT_AREA
// The output floor writes files of exactly the output's sizes: the output TIS
// is larger than the input by the extra tiles, so it is written as the
// input's bytes and then as many more as the conversion adds. The reserved
// floor is the output floor that first reserves the output TIS's room on the
// disk, as wedmorph does (Linux: fallocate, the size kept as written). The
// copy floor copies the files as they are. Where an output's name is taken,
// and with -d, the floor writes as wedmorph does: each output into a
// temporary beside it, put on stable storage, renamed over its name, then the
// folder flushed. With -d the seven input files are then deleted.
#include <fcntl.h>
#include <unistd.h>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

char buffer[1 << 20];

// Copies `from` to `to`, then writes from the buffer until `to` holds `size`
// bytes (no more than the copy when `size` is smaller; -1: the copy alone).
// With `reserve`, the room of `size` bytes is taken first. Returns the open
// output, or -1.
int copy(const std::string& from, const std::string& to, long long size = -1, bool reserve = false) {
    const int in = ::open(from.c_str(), O_RDONLY);
    if (in < 0) return -1;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
#if defined(__linux__)
    if (out >= 0 && reserve && size > 0) ::fallocate(out, FALLOC_FL_KEEP_SIZE, 0, size);
#else
    (void)reserve;
#endif
    long long written = 0;
    ssize_t n;
    while (out >= 0 && (n = ::read(in, buffer, sizeof buffer)) > 0) {
        if (size >= 0 && written + n > size) n = static_cast<ssize_t>(size - written);
        if (::write(out, buffer, static_cast<std::size_t>(n)) != n) break;
        written += n;
    }
    while (out >= 0 && written < size) {
        const long long left = size - written;
        n = static_cast<ssize_t>(left < static_cast<long long>(sizeof buffer) ? left : sizeof buffer);
        if (::write(out, buffer, static_cast<std::size_t>(n)) != n) break;
        written += n;
    }
    ::close(in);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const bool durable = argc > 1 && std::strcmp(argv[1], "-d") == 0;
    if (durable) {
        --argc;
        ++argv;
    }
    if (argc != 3 && argc != 4) return 2;
    char self[PATH_MAX];
#if defined(__APPLE__)
    std::uint32_t size = sizeof self;
    if (_NSGetExecutablePath(self, &size) != 0) return 1;
    std::string dir(self);
#else
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return 1;
    std::string dir(self, static_cast<std::size_t>(length));
#endif
    dir.erase(dir.rfind('/') + 1);
#if defined(WEDMORPH_FLOOR_RESERVES)
    const bool reserve = true;
#else
    const bool reserve = false;
#endif
    const std::string in = argv[1], out = argv[2];
    const std::string inPrefix = in.substr(0, 6), outPrefix = out.substr(0, 6);
    std::vector<std::string> sources = {dir + in + ".wed", dir + in + ".tis", dir + in + ".mos"};
    std::vector<std::string> targets = {dir + out + ".wed", dir + out + ".tis", dir + out + ".mos"};
    for (const char* bitmap : {"HT.bmp", "LM.bmp", "LN.bmp", "SR.bmp"}) {
        sources.push_back(dir + inPrefix + bitmap);
        targets.push_back(dir + outPrefix + bitmap);
    }
    bool replacing = false;
    for (const std::string& target : targets) replacing = replacing || ::access(target.c_str(), F_OK) == 0;
    const bool temporaries = durable || replacing;
    std::vector<int> outputs;
    for (std::size_t n = 0; n < sources.size(); ++n) {
        const bool tis = n == 1;
        std::string written = targets[n];
        if (temporaries) written.back() = '~';
        outputs.push_back(copy(sources[n], written, tis && argc == 4 ? std::atoll(argv[3]) : -1, tis && reserve));
    }
    int status = 0;
    for (const int output : outputs) {
        if (output >= 0 && temporaries && ::fsync(output) != 0) status = 1;
    }
    for (std::size_t n = 0; n < targets.size(); ++n) {
        if (outputs[n] < 0) continue;
        if (temporaries) {
            std::string written = targets[n];
            written.back() = '~';
            if (::rename(written.c_str(), targets[n].c_str()) != 0) status = 1;
        }
        ::close(outputs[n]);
    }
    if (temporaries) {
        const int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
        if (folder < 0 || ::fsync(folder) != 0) status = 1;
        if (folder >= 0) ::close(folder);
    }
    if (durable) {
        for (const std::string& source : sources) ::unlink(source.c_str());
    }
    return status;
}
