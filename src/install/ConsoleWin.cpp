#include "install/Console.hpp"
#include "install/WideText.hpp"

#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

namespace console {
namespace {

// The console's own handler thread hands its events over; the process keeps running until the
// handler returns, which for a closing console is the last moment before the system ends it.
std::mutex gMutex;
std::condition_variable gArrived;
std::deque<Interrupt> gPending;
bool gEnding = false;
std::condition_variable gEnded;
// Windows waits about five seconds for a closing console's handler before it ends the process.
constexpr auto kCloseHold = std::chrono::milliseconds(4500);

BOOL WINAPI onConsoleEvent(DWORD event) {
    const bool closing =
        event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    std::unique_lock lock(gMutex);
    gPending.push_back(closing ? Interrupt::HangUp : Interrupt::Stop);
    gArrived.notify_all();
    if (closing) {
        gEnded.wait_for(lock, kCloseHold, [] { return gEnding; });
    }
    return TRUE;
}

void push(Interrupt interrupt) {
    const std::lock_guard lock(gMutex);
    gPending.push_back(interrupt);
    gArrived.notify_all();
}

// A parent that started us with a stop event sets it instead of pressing Ctrl-C. If the parent
// dies first the event is never set, and we finish what we are doing.
void watchStopEvent() {
    std::array<wchar_t, 256> name{};
    const DWORD length =
        GetEnvironmentVariableW(kStopEventVariable, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0 || length >= name.size()) {
        return;
    }
    // Not handed on to programs we start.
    SetEnvironmentVariableW(kStopEventVariable, nullptr);
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name.data());
    if (event == nullptr) {
        return;
    }
    std::thread([event] {
        if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) {
            push(Interrupt::Stop);
        }
        CloseHandle(event);
    }).detach();
}

} // namespace

std::vector<std::string> arguments(int /*argc*/, char** /*argv*/) {
    // The narrow argv is in the ANSI code page, which cannot hold every name.
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> out;
    if (wide == nullptr) {
        return out;
    }
    for (int i = 1; i < count; ++i) {
        out.push_back(sys::utf8FromWide(wide[i]));
    }
    LocalFree(wide);
    return out;
}

std::FILE* takeStandardOutput() {
    SetConsoleOutputCP(CP_UTF8);
    std::fflush(stdout);
    const int copy = _dup(_fileno(stdout));
    std::FILE* real = copy >= 0 ? _fdopen(copy, "w") : nullptr;
    if (real == nullptr) {
        return stdout;
    }
    _dup2(_fileno(stderr), _fileno(stdout));
    return real;
}

void takeInterrupts(bool /*hangUps*/) {
    // A second call (to add hang-ups, which Windows always delivers) changes nothing.
    static std::once_flag taken;
    std::call_once(taken, [] {
        SetConsoleCtrlHandler(onConsoleEvent, TRUE);
        watchStopEvent();
    });
}

std::optional<Interrupt> waitForInterrupt() {
    std::unique_lock lock(gMutex);
    gArrived.wait(lock, [] { return !gPending.empty(); });
    const Interrupt next = gPending.front();
    gPending.pop_front();
    return next;
}

void ending() {
    const std::lock_guard lock(gMutex);
    gEnding = true;
    gEnded.notify_all();
}

bool isTerminal(std::FILE* stream) {
    const int fd = _fileno(stream);
    if (fd < 0 || _isatty(fd) == 0) {
        return false;
    }
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || GetConsoleMode(handle, &mode) == 0) {
        return false;
    }
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

} // namespace console
