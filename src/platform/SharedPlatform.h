// What the POSIX and the Windows platforms do alike, written once between
// Platform and the two halves: each half gives only its system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "platform/CopyLoop.h"
#include "platform/Platform.h"

namespace wedmorph {

class SharedPlatform : public Platform {
public:
    void writeConsole(const char* text, std::size_t length) final;
    void writeError(const std::string& text, std::error_code error) final;
    std::tm localTimeNow() final;

protected:
    // The text of `error`'s reason, on one line; the category's own message
    // unless the system says it otherwise.
    virtual std::string reasonText(const std::error_code& error) { return error.message(); }

    // The calendar time of `when` in the user's time zone; the C library's
    // localtime shares one result among threads, each system has its own
    // call that does not.
    virtual std::tm localTimeOf(std::time_t when) = 0;

    // A write to the console fell short (it has gone away, or a write to it
    // was broken off): a system may have more to do than let the text go.
    virtual void consoleFellShort() {}

    // The buffer the copies go through; null when there is no memory for it.
    std::uint8_t* copyBuffer();

    // Copies the source into the target from `offset` on through the buffer,
    // as copyInChunks does with `read` and `write`.
    template <typename ReadAt, typename WriteAllAt>
    bool bufferedCopy(ReadAt&& read, WriteAllAt&& write, std::uint64_t offset = 0) {
        return copyInChunks(copyBuffer(), kCopyBufferSize, read, write, offset);
    }

private:
    static constexpr std::size_t kCopyBufferSize = std::size_t{1} << 20;
    // Taken on the first copy that needs it, kept for the next: a run copies
    // a few files.
    std::unique_ptr<std::uint8_t[]> copyBuffer_;
};

// The program's own path in full, read by `read(data, size)` into a buffer of
// `first` bytes that doubles until the path fits: a folder path that is too
// long is refused by the run, never cut to a shorter one that names another
// folder. `read` returns the path's length, 0 when the system cannot tell, and
// `size` or more when the path may have been cut. Empty once the buffer has
// reached `most` bytes without the path fitting.
template <typename ReadPath>
std::string pathGrownToFit(std::size_t first, std::size_t most, ReadPath&& read) {
    std::string buffer(first, '\0');
    for (;;) {
        const std::size_t length = read(buffer.data(), buffer.size());
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() >= most) return {};
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace wedmorph
