// The process on Windows: its own file, its current directory, the console,
// the clock, the code page and the interruptions.
#include <atomic>

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

Result<std::string> Win32Platform::ownProgramPath() {
    std::error_code error;  // stays empty for a path too long to read
    std::string path = pathGrownToFit(MAX_PATH + 1, 65536, [&error](char* data, std::size_t size) -> std::size_t {
        // A path that fills the buffer, its terminating zero aside, may have been cut.
        const DWORD length = ::GetModuleFileNameA(nullptr, data, static_cast<DWORD>(size));
        if (length == 0) error = win32::lastError();
        return length >= size - 1 ? size : length;
    });
    if (path.empty()) return error;
    return path;
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

Result<> Win32Platform::changeDirectory(const std::string& dir) {
    if (!::SetCurrentDirectoryA(dir.c_str())) return win32::lastError();
    return {};
}

std::string Win32Platform::reasonText(const std::error_code& error) {
    // Another category (a code a test chose, say) says it itself.
    if (error.category() != std::system_category()) return error.message();
    std::string text = "error " + std::to_string(error.value());
    char* message = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error.value()), 0, reinterpret_cast<char*>(&message), 0, nullptr);
    if (length != 0 && message != nullptr) {
        std::string said(message, length);
        while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) said.pop_back();
        if (!said.empty()) text += ": " + said;
    }
    if (message != nullptr) ::LocalFree(message);
    return text;
}

std::tm Win32Platform::localTimeOf(std::time_t when) {
    std::tm local{};
    ::localtime_s(&local, &when);
    return local;
}

Platform& nativePlatform() {
    static Win32Platform platform;
    return platform;
}

}  // namespace wedmorph
