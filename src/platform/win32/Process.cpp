// The process on Windows: its own file, its current directory, the console,
// the clock, the code page and the interruptions.
#include <atomic>
#include <cstdio>

#include "platform/win32/Win32Platform.h"

namespace wedmorph {

namespace {

// Read by the run's thread while the system's handler thread raises it.
std::atomic<bool> interruption{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Set once the run has removed its temporaries or finished its commit.
HANDLE settled = nullptr;

// The system ends the process about five seconds after a console is closed,
// or at once when the handler returns: the run is given four of them.
constexpr DWORD kMostWaitForTheRun = 4000;

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            interruption.store(true);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // Cannot be refused: the run is cancelled as for Ctrl-C and
            // given the time to remove its temporaries, or to finish a
            // commit it has begun, before the system ends the process.
            interruption.store(true);
            if (settled != nullptr) ::WaitForSingleObject(settled, kMostWaitForTheRun);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

PathStyle Win32Platform::pathStyle() const { return PathStyle::Windows; }

std::string Win32Platform::ownProgramPath() {
    // Taken in full: a folder path that is too long is refused by the run,
    // never cut to a shorter one that names another folder. A path that fills
    // the buffer may have been cut, so the buffer grows until it does not.
    std::string buffer(MAX_PATH + 1, '\0');
    for (;;) {
        const auto size = static_cast<DWORD>(buffer.size());
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0) return {};
        if (length < size - 1) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() > 65536) return {};
        buffer.resize(buffer.size() * 2);
    }
}

void Win32Platform::catchInterruptions() {
    settled = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool Win32Platform::interrupted() { return interruption.load(); }

void Win32Platform::runSettled() {
    if (settled != nullptr) ::SetEvent(settled);
}

bool Win32Platform::isLeadByte(unsigned char byte) const { return ::IsDBCSLeadByte(byte) != 0; }

bool Win32Platform::changeDirectory(const std::string& dir) {
    return ::SetCurrentDirectoryA(dir.c_str()) != 0;
}

void Win32Platform::writeConsole(const char* text, std::size_t length) {
    // A console that has gone away costs the run its messages, nothing more.
    static_cast<void>(std::fwrite(text, 1, length, stdout));
}

std::tm Win32Platform::localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_s(&local, &now);
    return local;
}

Platform& nativePlatform() {
    static Win32Platform platform;
    return platform;
}

}  // namespace wedmorph
