// The floors a conversion is measured against: in one process, read an area's
// files (WED, TIS, MOS and the four bitmaps) from beside this program once,
// and write them under the output names beside it, with plain reads and
// writes and nothing else.
//   output-floor INPUT_AREA OUTPUT_AREA OUTPUT_TIS_BYTES
//   copy-floor INPUT_AREA OUTPUT_AREA
// The output floor writes files of exactly the output's sizes: the output TIS
// is larger than the input by the extra tiles, so it is written as the
// input's bytes and then as many more as the conversion adds. The copy floor
// copies the files as they are.
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

char buffer[1 << 20];

// Copies `from` to `to`, then writes from the buffer until `to` holds `size`
// bytes (no more than the copy when `size` is smaller; -1: the copy alone).
void copy(const std::string& from, const std::string& to, long long size = -1) {
    const int in = ::open(from.c_str(), O_RDONLY);
    if (in < 0) return;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
    if (out >= 0) ::close(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) return 2;
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return 1;
    std::string dir(self, static_cast<std::size_t>(length));
    dir.erase(dir.rfind('/') + 1);
    const std::string in = argv[1], out = argv[2];
    const std::string inPrefix = in.substr(0, 6), outPrefix = out.substr(0, 6);
    copy(dir + in + ".wed", dir + out + ".wed");
    copy(dir + in + ".tis", dir + out + ".tis", argc == 4 ? std::atoll(argv[3]) : -1);
    copy(dir + in + ".mos", dir + out + ".mos");
    for (const char* bitmap : {"HT.bmp", "LM.bmp", "LN.bmp", "SR.bmp"}) {
        copy(dir + inPrefix + bitmap, dir + outPrefix + bitmap);
    }
    return 0;
}
