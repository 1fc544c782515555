#include "install/Console.hpp"

#include <csignal>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace console {
namespace {

sigset_t gTaken;
bool gTakenSet = false;

} // namespace

std::vector<std::string> arguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

std::FILE* takeStandardOutput() {
    // A reader that went away (a station killed, a closed pipe) must not end a device being
    // written: what we print is then lost, the update goes on.
    std::signal(SIGPIPE, SIG_IGN);
    std::fflush(stdout);
    // Close-on-exec, or a station's children would hold its output open after it ended.
    const int copy = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    std::FILE* real = copy >= 0 ? fdopen(copy, "w") : nullptr;
    if (real == nullptr) {
        return stdout;
    }
    dup2(STDERR_FILENO, STDOUT_FILENO);
    return real;
}

void takeInterrupts(bool hangUps) {
    sigemptyset(&gTaken);
    sigaddset(&gTaken, SIGINT);
    sigaddset(&gTaken, SIGTERM);
    if (hangUps) {
        sigaddset(&gTaken, SIGHUP);
    }
    // Blocked in every thread created after this one (libusb's among them), so none of them
    // can receive the signal, and the USB link's own handler never ends the process.
    pthread_sigmask(SIG_BLOCK, &gTaken, nullptr);
    gTakenSet = true;
}

std::optional<Interrupt> waitForInterrupt() {
    int received = 0;
    if (!gTakenSet || sigwait(&gTaken, &received) != 0) {
        return std::nullopt;
    }
    return received == SIGHUP ? Interrupt::HangUp : Interrupt::Stop;
}

void ending() {}

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

} // namespace console
