#include "app/TraceLog.hpp"

std::shared_ptr<TraceLog> TraceLog::open(const std::string& path, bool append) {
    std::FILE* file = std::fopen(path.c_str(), append ? "a" : "w");
    if (file == nullptr) {
        return nullptr;
    }
    return std::shared_ptr<TraceLog>(new TraceLog(file));
}

TraceLog::TraceLog(std::FILE* file)
    : m_file(file)
    , m_start(std::chrono::steady_clock::now()) {}

TraceLog::~TraceLog() { std::fclose(m_file); }

void TraceLog::line(std::string_view source, std::string_view text) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    const std::lock_guard lock(m_mutex);
    std::fprintf(m_file, "%9.3f %.*s %.*s\n", seconds, static_cast<int>(source.size()),
                 source.data(), static_cast<int>(text.size()), text.data());
    std::fflush(m_file);
}
