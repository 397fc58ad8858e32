// The process on POSIX: its own program, its folder, the console, the clock
// and the interruptions.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "platform/posix/PosixPlatform.h"
#include "platform/posix/SystemCalls.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace wedmorph {

namespace {

// A handler may touch nothing but a lock-free atomic.
std::atomic<bool> interruption{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterruption(int) { interruption.store(true, std::memory_order_relaxed); }

constexpr int kInterruptions[] = {SIGINT, SIGTERM};

}  // namespace

PosixPlatform::PosixPlatform() {
    // A console that goes away must not end the run: a pipe into a program
    // that stops reading (head) makes writes fail with EPIPE, and a closed
    // terminal no longer hangs up on it; writes to either are ignored. A file
    // size limit makes the write fail, reported, rather than end the run.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

Result<std::string> PosixPlatform::ownProgramPath() {
#if defined(__APPLE__)
    std::uint32_t size = 0;
    ::_NSGetExecutablePath(nullptr, &size);
    std::string raw(size, '\0');
    if (::_NSGetExecutablePath(raw.data(), &size) != 0) return refused(Refusal::Unknown);
    // However long the real path is: no buffer of PATH_MAX.
    char* real = posix::systemCalls().realpath(raw.c_str(), nullptr);
    if (real == nullptr) return posix::lastError();
    std::string path(real);
    std::free(real);
    return path;
#else
    std::error_code error;  // stays empty for a path too long to read
    std::string path =
        pathGrownToFit(256, std::size_t{1} << 20, [&error](char* data, std::size_t size) -> std::size_t {
            const ssize_t n = posix::systemCalls().readlink("/proc/self/exe", data, size);
            if (n < 0) error = posix::lastError();
            return n <= 0 ? 0 : static_cast<std::size_t>(n);
        });
    if (path.empty()) return error;
    return path;
#endif
}

void PosixPlatform::catchInterruptions() {
    struct sigaction action {};
    action.sa_handler = onInterruption;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a write to a console that no longer reads (a full pipe)
    // must end with EINTR, or the run would never see the flag. Every file
    // call takes EINTR up again itself.
    action.sa_flags = 0;
    for (int signal : kInterruptions) ::sigaction(signal, &action, nullptr);
}

bool PosixPlatform::interrupted() { return interruption.load(std::memory_order_relaxed); }

Result<> PosixPlatform::changeDirectory(const std::string& dir) {
    if (posix::systemCalls().chdir(dir.c_str()) != 0) return posix::lastError();
    return {};
}

void PosixPlatform::consoleFellShort() {
    if (errno != EINTR || !interrupted()) return;
    // A console that no longer reads held the run in a write that only the
    // interruption ended: it is let go (what is left for it goes nowhere),
    // so that the run can roll back and end.
    const int nowhere = posix::systemCalls().open("/dev/null", O_WRONLY | O_CLOEXEC, 0);
    if (nowhere >= 0) {
        ::dup2(nowhere, STDOUT_FILENO);
        posix::systemCalls().close(nowhere);
    }
    std::clearerr(stdout);
}

void PosixPlatform::runSettled() {
    // Nothing of the run is left to protect: an interruption ends the process
    // again, even one blocked in its last write to the console.
    for (int signal : kInterruptions) std::signal(signal, SIG_DFL);
}

std::tm PosixPlatform::localTimeOf(std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    return local;
}

Platform& nativePlatform() {
    static PosixPlatform platform;
    return platform;
}

}  // namespace wedmorph
