#include "cli/ChildProcess.hpp"

std::string ChildExit::describe() const {
    char text[64];
    std::snprintf(text, sizeof text,
                  signalled ? "the updater was ended by signal %d"
                            : "the updater ended with status %d",
                  code);
    return text;
}

void ChildProcess::takeErrorLines(std::vector<std::string>& lines) {
    std::size_t start = 0;
    for (std::size_t end = m_errors.find('\n'); end != std::string::npos;
         end = m_errors.find('\n', start)) {
        // A Windows child's text mode ends its lines with CR LF.
        const std::size_t cr = end > start && m_errors[end - 1] == '\r' ? 1 : 0;
        lines.push_back(m_errors.substr(start, end - start - cr));
        start = end + 1;
    }
    m_errors.erase(0, start);
    // A child that ended without a final line end still has its last words read.
    if (m_errorsEnded && !m_errors.empty()) {
        lines.push_back(std::move(m_errors));
        m_errors.clear();
    }
}

std::string ChildProcess::commandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const auto& arg : argv) {
        if (!line.empty()) {
            line += ' ';
        }
        if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += arg;
            continue;
        }
        // Backslashes are literal unless a quote follows them: then each one is doubled, and
        // the quote itself escaped if it is the argument's own.
        line += '"';
        std::size_t backslashes = 0;
        for (const char c : arg) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            backslashes = 0;
            line += c;
        }
        line.append(2 * backslashes, '\\');
        line += '"';
    }
    return line;
}
