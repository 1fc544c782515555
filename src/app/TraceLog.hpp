#pragma once
// The --trace file: one line per USB transaction and HTTP request, for support.

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// Thread-safe; each line is prefixed with the seconds since the log was opened and flushed at
// once, so a trace cut short by Ctrl-C or a crash still holds everything up to it.
class TraceLog {
public:
    // Nothing when the file cannot be opened for writing. `append` keeps what the file holds
    // (several runs of one window into one --trace file).
    static std::shared_ptr<TraceLog> open(const std::string& path, bool append = false);

    // Writes one line. Control characters, backslashes and bytes that are not UTF-8 are escaped
    // (\n, \x1B, \\, \xC9), so that no text a server or a device sent can end a line, forge
    // another one or make the file unreadable as text.
    void line(std::string_view source, std::string_view text);

    // `text` with its control characters, backslashes and invalid UTF-8 bytes escaped.
    static std::string escaped(std::string_view text);

    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;
    TraceLog(TraceLog&&) = delete;
    TraceLog& operator=(TraceLog&&) = delete;
    ~TraceLog();

private:
    explicit TraceLog(std::FILE* file);

    std::mutex m_mutex;
    std::FILE* m_file;
    std::chrono::steady_clock::time_point m_start;
};
