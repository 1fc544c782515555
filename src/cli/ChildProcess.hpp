#pragma once
// A child process whose standard output and error come back on pipes.

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// How a child ended.
struct ChildExit {
    bool signalled = false; // ended by a signal (POSIX only)
    int code = 0;           // the exit status, or the signal's number

    bool clean() const { return !signalled && code == 0; }
    // "the updater was ended by signal 9", "the updater ended with status 1".
    std::string describe() const;
};

// The child does not share the parent's Ctrl-C: on POSIX it runs in a process group of its own,
// on Windows with a hidden console of its own. Ctrl-C at the terminal thus reaches only the
// parent, which decides what the child gets. Its standard input is the null device, and it
// outlives the parent if the parent dies first.
class ChildProcess {
public:
    // Wakes a waiting parent when any of its children wrote or ended, or when asked to. Outlives
    // the children started with it.
    class Events {
    public:
        Events();
        ~Events();
        Events(const Events&) = delete;
        Events& operator=(const Events&) = delete;
        Events(Events&&) = delete;
        Events& operator=(Events&&) = delete;

        // Empty when the events can be waited for; otherwise why not (nothing can be started).
        const std::string& error() const { return m_error; }
        // Ends the current or the next wait early. Safe from any thread.
        void wake();
        // Blocks until one of `children` has output not yet collected or has ended, wake() was
        // called, or `timeout` has passed. It may return early.
        void wait(const std::vector<ChildProcess*>& children, std::chrono::milliseconds timeout);

    private:
        friend class ChildProcess;
        struct Impl;
        std::unique_ptr<Impl> m_impl;
        std::string m_error;
    };

    // `argv[0]` is the program's path. Nothing, with `error` set, when it cannot be started.
    static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv, Events& events,
                                               std::string& error);

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&&) = delete;
    ChildProcess& operator=(ChildProcess&&) = delete;
    // A child still running is killed and reaped.
    ~ChildProcess();

    // The system's number for the process.
    long long processId() const;
    // Takes what the child has written so far into output() and the error lines. Never blocks.
    void collect();
    const std::string& output() const { return m_output; }
    // The child's standard error collected and not yet taken: everything up to the last line
    // end is moved into `lines`.
    void takeErrorLines(std::vector<std::string>& lines);
    // Asks the child to stop as Ctrl-C at its own terminal would. Nothing once it has ended.
    void stop();
    // How the child ended, once it has and both its streams are collected to their end; nothing
    // before. Never blocks.
    std::optional<ChildExit> finished();

    // The command line that Windows programs (CommandLineToArgvW, the C runtime) split back into
    // exactly `argv`: each argument quoted where needed, backslashes doubled before quotes.
    static std::string commandLine(const std::vector<std::string>& argv);
    // A file opened for appending that no child inherits; nothing, with errno set, on failure.
    static std::FILE* openAppendingUninherited(const std::string& path);

private:
    struct Impl;
    explicit ChildProcess(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> m_impl;
    std::string m_output;
    std::string m_errors;
    bool m_errorsEnded = false;
    bool m_outputEnded = false;
};
