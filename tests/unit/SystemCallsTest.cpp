// The POSIX platform against system calls that do less than asked: short and
// interrupted calls, a full disk, file systems without locks, kernel copies
// or folder flushes, and a name that leads to another file by the time of a
// delete. Each case makes one or two calls of the table fail.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/Platform.h"
#include "platform/posix/SystemCalls.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace wedmorph::posix {
namespace {

using test::TempDir;

enum class Call { Close, Write, Pwritev, Flock, Fsync, Pread, CopyFileRange };

// `call` fails with `error` its first `times` times (every time for -1).
struct Fault {
    Call call;
    int error;
    int times;
};

std::vector<Fault> faults;
std::vector<int> callsOf(8);

// Stands in for the table's entry: fails as `faults` says, else makes the call.
template <Call Which, auto Entry, typename = decltype(Entry)>
struct Faulty;
template <Call Which, auto Entry, typename R, typename... A>
struct Faulty<Which, Entry, R (*SystemCalls::*)(A...)> {
    using Pointer = R (*)(A...);
    static inline Pointer real = nullptr;
    static R call(A... args) {
        ++callsOf[static_cast<int>(Which)];
        for (Fault& fault : faults) {
            if (fault.call != Which || fault.times == 0) continue;
            if (fault.times > 0) --fault.times;
            if (Which == Call::Close) real(args...);  // the descriptor goes all the same
            errno = fault.error;
            return R(-1);
        }
        return real(args...);
    }
};

template <Call Which, auto Entry>
ScopedSystemCall<typename Faulty<Which, Entry>::Pointer> faulty() {
    Faulty<Which, Entry>::real = systemCalls().*Entry;
    return {Entry, &Faulty<Which, Entry>::call};
}

bool copies(Platform& platform, const TempDir& dir) {
    bool created = false;
    FileHandle from = platform.openInput(dir / "in.tis", InputUse::Read).file;
    FileHandle to = test::openForWriting(platform, dir / "out.tis", created);
    const bool copied = from.isOpen() && to.isOpen() && platform.copyContents(from, to);
    if (from.isOpen()) platform.closeFile(from);
    if (to.isOpen()) platform.closeFile(to);
    return copied && test::readBytes(dir / "out.tis") == test::readBytes(dir / "in.tis");
}

// Reads the whole input and asks for more: the read stops at the file's end.
bool reads(Platform& platform, const TempDir& dir) {
    FileHandle from = platform.openInput(dir / "in.tis", InputUse::Read).file;
    std::vector<std::uint8_t> bytes(test::readBytes(dir / "in.tis").size() + 9);
    std::size_t read = 0;
    const bool ok = from.isOpen() && platform.readFile(from, 0, bytes, read);
    if (from.isOpen()) platform.closeFile(from);
    bytes.resize(read);
    return ok && bytes == test::readBytes(dir / "in.tis");
}

struct Case {
    const char* name;
    std::vector<Fault> faults;
    bool (*run)(Platform&, const TempDir&);
    bool result;
    int calls;  // of the first fault's call
};

TEST(SystemCalls, FailingCallsGiveTheirResults) {
    const Case cases[] = {
        {"interrupted write is retried", {{Call::Write, EINTR, 1}},
         [](Platform& platform, const TempDir& dir) {
             FileHandle log = platform.openForWriting(dir / "x.log", WriteOpen::AppendLog).file;
             const bool appended = static_cast<bool>(test::appendText(platform, log, "line\n"));
             platform.closeFile(log);
             return appended && test::readText(dir / "x.log") == "line\n";
         }, true, 2},
        {"interrupted lock is retried and holds", {{Call::Flock, EINTR, 1}},
         [](Platform& platform, const TempDir& dir) {
             bool created = false;
             FileHandle file = platform.openInput(dir / "in.tis", InputUse::Read).file;
             const bool refused = !test::openForWriting(platform, dir / "in.tis", created).isOpen();
             platform.closeFile(file);
             return file.isOpen() && refused;
         }, true, 3},
        {"interrupted fsync is retried", {{Call::Fsync, EINTR, 1}},
         [](Platform& platform, const TempDir& dir) {
             FileHandle file = platform.openInput(dir / "in.tis", InputUse::Read).file;
             const bool flushed = static_cast<bool>(platform.flushFile(file));
             platform.closeFile(file);
             return flushed;
         }, true, 2},
        {"close is never retried", {{Call::Close, EINTR, 1}},
         [](Platform& platform, const TempDir& dir) {
             platform.closeFile(platform.openInput(dir / "in.tis", InputUse::Read).file);
             return true;
         }, true, 1},
        {"a full disk fails the write", {{Call::Pwritev, ENOSPC, -1}},
         [](Platform& platform, const TempDir& dir) {
             bool created = false;
             FileHandle file = test::openForWriting(platform, dir / "out.tis", created);
             const std::uint8_t bytes[] = {1, 2, 3};
             const WritePiece piece(bytes);
             std::size_t written = 0;
             const bool wrote = static_cast<bool>(platform.writeFile(file, 0, {&piece, 1}, written));
             platform.closeFile(file);
             return wrote;
         }, false, 1},
        {"without locks files open unlocked", {{Call::Flock, ENOTSUP, -1}},
         [](Platform& platform, const TempDir& dir) {
             bool created = false;
             FileHandle input = platform.openInput(dir / "in.tis", InputUse::Read).file;
             FileHandle output = test::openForWriting(platform, dir / "in.tis", created);
             const bool both = input.isOpen() && output.isOpen();
             platform.closeFile(input);
             platform.closeFile(output);
             return both;
         }, true, 2},
        {"a folder that cannot be flushed counts as flushed", {{Call::Fsync, EINVAL, -1}},
         [](Platform& platform, const TempDir& dir) { return bool(platform.flushFolder(dir.path())); }, true, 1},
        {"a folder flush that fails is a failure", {{Call::Fsync, EIO, -1}},
         [](Platform& platform, const TempDir& dir) { return bool(platform.flushFolder(dir.path())); }, false, 1},
        {"no delete once the name leads to another file", {},
         [](Platform& platform, const TempDir& dir) {
             FileHandle file = platform.openInput(dir / "in.tis", InputUse::ReadThenDelete).file;
             test::writeText(dir / "new.tis", "another file");
             std::rename((dir / "new.tis").c_str(), (dir / "in.tis").c_str());
             const bool deleted = static_cast<bool>(platform.deleteHeldFile(file, dir / "in.tis"));
             platform.closeFile(file);
             return deleted || test::readText(dir / "in.tis") != "another file";
         }, false, 0},
        {"an interrupted read goes on to the file's end", {{Call::Pread, EINTR, 1}}, reads, true, 3},
        {"a read that fails is a failure", {{Call::Pread, EIO, -1}}, reads, false, 1},
#if defined(__linux__)
        // Past the 1 MiB buffer, so that the copy through it takes two rounds.
        {"interrupted kernel copy is retried", {{Call::CopyFileRange, EINTR, 1}}, copies, true, 2},
        {"interrupted read is retried", {{Call::Pread, EINTR, 1}, {Call::CopyFileRange, EXDEV, -1}}, copies,
         true, 4},
        {"kernel copy across file systems: the buffer copies", {{Call::CopyFileRange, EXDEV, -1}}, copies,
         true, 1},
        {"no kernel copy here: the buffer copies", {{Call::CopyFileRange, ENOTSUP, -1}}, copies, true, 1},
        {"a kernel copy that fails is a failure", {{Call::CopyFileRange, EIO, -1}}, copies, false, 1},
#endif
    };
    auto close = faulty<Call::Close, &SystemCalls::close>();
    auto write = faulty<Call::Write, &SystemCalls::write>();
    auto pwritev = faulty<Call::Pwritev, &SystemCalls::pwritev>();
    auto flock = faulty<Call::Flock, &SystemCalls::flock>();
    auto fsync = faulty<Call::Fsync, &SystemCalls::fsync>();
    auto pread = faulty<Call::Pread, &SystemCalls::pread>();
#if defined(__linux__)
    auto copyFileRange = faulty<Call::CopyFileRange, &SystemCalls::copy_file_range>();
#endif
    std::vector<std::uint8_t> bytes((std::size_t{3} << 19) + 5);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 4096 + 1);
    for (const Case& one : cases) {
        TempDir dir;
        test::writeBytes(dir / "in.tis", bytes);
        test::writeText(dir / "out.tis", "stale");
        faults = one.faults;
        std::fill(callsOf.begin(), callsOf.end(), 0);
        EXPECT_EQ(one.run(nativePlatform(), dir), one.result) << one.name;
        if (!one.faults.empty()) {
            EXPECT_EQ(callsOf[static_cast<int>(one.faults[0].call)], one.calls) << one.name;
        }
        faults.clear();
    }
}

// A call that writes or copies less than asked is followed by one for the
// rest, from the byte where it stopped, within a piece or across pieces.
TEST(SystemCalls, ShortCallsGoOnWhereTheyStopped) {
    static int calls = 0;
    ScopedSystemCall fiveBytesACall(&SystemCalls::pwritev,
                                    [](int fd, const iovec* pieces, int count, off_t at) -> ssize_t {
        ++calls;
        iovec taken[4];
        int used = 0;
        for (std::size_t room = 5; used < count && used < 4 && room > 0; ++used) {
            taken[used] = {pieces[used].iov_base, std::min(pieces[used].iov_len, room)};
            room -= taken[used].iov_len;
        }
        return ::pwritev(fd, taken, used, at);
    });
    TempDir dir;
    test::writeText(dir / "out.tis", "head");
    bool created = true;
    Platform& platform = nativePlatform();
    FileHandle file = test::openForWriting(platform, dir / "out.tis", created);
    ASSERT_TRUE(file.isOpen());
    const std::string text = "abcdefghijklmnop";
    const auto bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const WritePiece pieces[] = {{bytes, 3}, {bytes + 3, 0}, {bytes + 3, 9}, {bytes + 12, 4}};
    std::size_t written = 0;
    EXPECT_TRUE(platform.writeFile(file, 4, pieces, written));
    platform.closeFile(file);
    EXPECT_EQ(written, text.size());
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(test::readText(dir / "out.tis"), "head" + text);
#if defined(__linux__)
    ScopedSystemCall pageACall(&SystemCalls::copy_file_range,
                               [](int from, loff_t* fromAt, int to, loff_t* toAt, std::size_t length,
                                  unsigned flags) {
        return ::copy_file_range(from, fromAt, to, toAt, std::min<std::size_t>(length, 4096), flags);
    });
    test::writeText(dir / "in.tis", std::string(3 * 4096 + 7, 'x') + "end");
    EXPECT_TRUE(copies(platform, dir));
#endif
}

}  // namespace
}  // namespace wedmorph::posix
