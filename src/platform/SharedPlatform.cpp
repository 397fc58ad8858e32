#include "platform/SharedPlatform.h"

#include <cstdio>
#include <new>

namespace wedmorph {

void SharedPlatform::writeConsole(const char* text, std::size_t length) {
    // A console that has gone away costs the run its messages, nothing more.
    if (std::fwrite(text, 1, length, stdout) != length) consoleFellShort();
}

void SharedPlatform::writeError(const std::string& text, std::error_code error) {
    // After everything written before it, where both go to one place.
    std::fflush(stdout);
    const std::string line = text + reasonText(error) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::tm SharedPlatform::localTimeNow() { return localTimeOf(std::time(nullptr)); }

std::uint8_t* SharedPlatform::copyBuffer() {
    if (!copyBuffer_) copyBuffer_.reset(new (std::nothrow) std::uint8_t[kCopyBufferSize]);
    return copyBuffer_.get();
}

}  // namespace wedmorph
