#include "cli/ChildProcess.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

ChildProcess::ChildProcess(pid_t pid, int out, int err)
    : m_pid(pid)
    , m_out(out)
    , m_err(err) {}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  std::string& error) {
    if (argv.empty()) {
        error = "no program";
        return nullptr;
    }
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        for (int* fd : {&out[0], &out[1], &err[0], &err[1]}) {
            closeFd(*fd);
        }
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Our own Ctrl-C handling blocks signals in every thread; the child starts unblocked.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    // And with SIGPIPE at its default, as from a shell: libraries here ignore it (an HTTP
    // server does), and the child decides for itself.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    closeFd(out[1]);
    closeFd(err[1]);
    if (rc != 0) {
        error = "starting " + argv[0] + ": " + std::strerror(rc);
        closeFd(out[0]);
        closeFd(err[0]);
        return nullptr;
    }
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    fcntl(err[0], F_SETFL, O_NONBLOCK);
    return std::unique_ptr<ChildProcess>(new ChildProcess(pid, out[0], err[0]));
}

ChildProcess::~ChildProcess() {
    if (!m_status) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    closeFd(m_out);
    closeFd(m_err);
}

void ChildProcess::drain(int& fd, std::string& into) {
    std::array<char, 4096> chunk{};
    while (fd >= 0) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n > 0) {
            into.append(chunk.data(), static_cast<std::size_t>(n));
        } else if (n == 0) {
            closeFd(fd);
        } else if (errno != EINTR) {
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                closeFd(fd);
            }
            return;
        }
    }
}

void ChildProcess::readOut() { drain(m_out, m_output); }
void ChildProcess::readErr() { drain(m_err, m_errors); }

void ChildProcess::takeErrorLines(std::vector<std::string>& lines) {
    std::size_t start = 0;
    for (std::size_t end = m_errors.find('\n'); end != std::string::npos;
         end = m_errors.find('\n', start)) {
        lines.push_back(m_errors.substr(start, end - start));
        start = end + 1;
    }
    m_errors.erase(0, start);
    // A child that ended without a final line end still has its last words read.
    if (m_err < 0 && !m_errors.empty()) {
        lines.push_back(std::move(m_errors));
        m_errors.clear();
    }
}

void ChildProcess::signal(int number) const {
    if (!m_status) {
        ::kill(m_pid, number);
    }
}

std::optional<int> ChildProcess::finished() {
    if (!m_status) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = status;
        }
    }
    if (!m_status || m_out >= 0 || m_err >= 0) {
        return std::nullopt;
    }
    return m_status;
}
