#include "app/TraceLog.hpp"

#include "database/Utf8.hpp"
#include "install/SystemPaths.hpp"

std::shared_ptr<TraceLog> TraceLog::open(const std::string& path, bool append) {
    std::FILE* file = sys::openFile(sys::pathFromUtf8(path), append ? "a" : "w");
    if (file == nullptr) {
        return nullptr;
    }
    return std::shared_ptr<TraceLog>(new TraceLog(file));
}

TraceLog::TraceLog(std::FILE* file)
    : m_file(file)
    , m_start(std::chrono::steady_clock::now()) {}

TraceLog::~TraceLog() { std::fclose(m_file); }

std::string TraceLog::escaped(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u >= 0x20 && u < 0x7F) {
            out += c;
        } else if (const std::size_t length = u >= 0x80 ? codec::sequenceLength(text, i) : 0;
                   length > 0) {
            out.append(text.substr(i, length));
            i += length - 1;
        } else {
            out += "\\x";
            out += kHex[u >> 4U];
            out += kHex[u & 0xFU];
        }
    }
    return out;
}

void TraceLog::line(std::string_view source, std::string_view rawText) {
    const std::string text = escaped(rawText);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    const std::lock_guard lock(m_mutex);
    const std::string from = escaped(source);
    std::fprintf(m_file, "%9.3f %s %s\n", seconds, from.c_str(), text.c_str());
    std::fflush(m_file);
}
