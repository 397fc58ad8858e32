// The floor a conversion is measured against: in one process, copy an area's
// files (WED, TIS, MOS and the four bitmaps) from beside this program to the
// output names beside it, with plain reads and writes, and nothing else.
//   copy-floor INPUT_AREA OUTPUT_AREA
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

char buffer[1 << 20];

void copy(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY);
    if (in < 0) return;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t n;
    while (out >= 0 && (n = ::read(in, buffer, sizeof buffer)) > 0) {
        if (::write(out, buffer, static_cast<std::size_t>(n)) != n) break;
    }
    ::close(in);
    if (out >= 0) ::close(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return 1;
    std::string dir(self, static_cast<std::size_t>(length));
    dir.erase(dir.rfind('/') + 1);
    const std::string in = argv[1], out = argv[2];
    const std::string inPrefix = in.substr(0, 6), outPrefix = out.substr(0, 6);
    for (const char* suffix : {".wed", ".tis", ".mos"}) copy(dir + in + suffix, dir + out + suffix);
    for (const char* bitmap : {"HT.bmp", "LM.bmp", "LN.bmp", "SR.bmp"}) {
        copy(dir + inPrefix + bitmap, dir + outPrefix + bitmap);
    }
    return 0;
}
