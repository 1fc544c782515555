#include "cli/ChildProcess.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
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

// Reads what is there without blocking; the descriptor is closed at its end.
void drain(int& fd, std::string& into) {
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

} // namespace

struct ChildProcess::Impl {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
    std::optional<ChildExit> exit;
};

struct ChildProcess::Events::Impl {
    int wakeRead = -1;
    int wakeWrite = -1;
};

ChildProcess::Events::Events()
    : m_impl(std::make_unique<Impl>()) {
    int fds[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_impl->wakeRead = fds[0];
        m_impl->wakeWrite = fds[1];
    } else {
        m_error = std::strerror(errno);
    }
}

ChildProcess::Events::~Events() {
    closeFd(m_impl->wakeRead);
    closeFd(m_impl->wakeWrite);
}

void ChildProcess::Events::wake() {
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(m_impl->wakeWrite, &byte, 1);
}

void ChildProcess::Events::wait(const std::vector<ChildProcess*>& children,
                                std::chrono::milliseconds timeout) {
    std::vector<pollfd> fds;
    fds.push_back({m_impl->wakeRead, POLLIN, 0});
    for (const ChildProcess* child : children) {
        for (const int fd : {child->m_impl->out, child->m_impl->err}) {
            if (fd >= 0) {
                fds.push_back({fd, POLLIN, 0});
            }
        }
    }
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
        char bytes[64];
        while (::read(m_impl->wakeRead, bytes, sizeof bytes) > 0) {
        }
    }
}

ChildProcess::ChildProcess(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl)) {}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  Events& /*events*/, std::string& error) {
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
    auto impl = std::make_unique<Impl>();
    impl->pid = pid;
    impl->out = out[0];
    impl->err = err[0];
    return std::unique_ptr<ChildProcess>(new ChildProcess(std::move(impl)));
}

ChildProcess::~ChildProcess() {
    if (!m_impl->exit) {
        ::kill(m_impl->pid, SIGKILL);
        int status = 0;
        while (waitpid(m_impl->pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    closeFd(m_impl->out);
    closeFd(m_impl->err);
}

long long ChildProcess::processId() const { return m_impl->pid; }

void ChildProcess::collect() {
    drain(m_impl->out, m_output);
    drain(m_impl->err, m_errors);
    m_outputEnded = m_impl->out < 0;
    m_errorsEnded = m_impl->err < 0;
}

void ChildProcess::stop() {
    if (!m_impl->exit) {
        ::kill(m_impl->pid, SIGINT);
    }
}

std::optional<ChildExit> ChildProcess::finished() {
    if (!m_impl->exit) {
        int status = 0;
        if (waitpid(m_impl->pid, &status, WNOHANG) == m_impl->pid) {
            m_impl->exit = WIFSIGNALED(status) ? ChildExit{true, WTERMSIG(status)}
                                               : ChildExit{false, WEXITSTATUS(status)};
        }
    }
    if (!m_impl->exit || !m_outputEnded || !m_errorsEnded) {
        return std::nullopt;
    }
    return m_impl->exit;
}

std::FILE* ChildProcess::openAppendingUninherited(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    std::FILE* file = fd >= 0 ? ::fdopen(fd, "a") : nullptr;
    if (file == nullptr && fd >= 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return file;
}
