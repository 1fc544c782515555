#pragma once
// A child process whose standard output and error come back on pipes.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

// The child runs in a process group of its own, so a Ctrl-C at the terminal reaches only the
// parent, which decides what the child gets. Its standard input is /dev/null.
class ChildProcess {
public:
    // Nothing, with `error` set, when the program cannot be started.
    static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                               std::string& error);

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&&) = delete;
    ChildProcess& operator=(ChildProcess&&) = delete;
    // A child still running is killed and reaped.
    ~ChildProcess();

    pid_t pid() const { return m_pid; }
    // Pipe ends to poll for reading; -1 once that stream has ended.
    int outFd() const { return m_out; }
    int errFd() const { return m_err; }
    // Reads what is there without blocking and appends it to `output` or `errors`.
    void readOut();
    void readErr();
    const std::string& output() const { return m_output; }
    // The child's standard error not yet taken: everything up to the last line end is moved
    // into `lines`.
    void takeErrorLines(std::vector<std::string>& lines);

    void signal(int number) const;
    // The status as waitpid reports it once the child has ended and both pipes are at their end;
    // nothing before. Never blocks.
    std::optional<int> finished();

private:
    ChildProcess(pid_t pid, int out, int err);
    static void drain(int& fd, std::string& into);

    pid_t m_pid;
    int m_out;
    int m_err;
    std::optional<int> m_status;
    std::string m_output;
    std::string m_errors;
};
