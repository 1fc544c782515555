#include "app/RunLogFolder.hpp"

#include "install/SystemPaths.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

constexpr std::string_view kPrefix = "run-";
constexpr std::string_view kSuffix = ".log";

// 0 for a name without a sequence.
std::uint64_t sequenceOf(std::string_view name) {
    const std::size_t cut = name.find('_');
    if (cut == std::string_view::npos || cut <= kPrefix.size()) {
        return 0;
    }
    std::uint64_t n = 0;
    for (const char c : name.substr(kPrefix.size(), cut - kPrefix.size())) {
        if (c < '0' || c > '9' || n > (UINT64_MAX - 9) / 10) {
            return 0;
        }
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return n;
}

bool isRunLog(std::string_view name) {
    return name.size() >= kPrefix.size() + kSuffix.size() && name.starts_with(kPrefix) &&
           name.ends_with(kSuffix);
}

// "20261208-021516-042", local time.
std::string startTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    // Only the UI thread names logs, so the shared result of localtime is not raced.
    const std::tm* local = std::localtime(&seconds);
    char text[32] = "00000000-000000";
    if (local != nullptr) {
        std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", local);
    }
    char out[48];
    std::snprintf(out, sizeof out, "%s-%03d", text, static_cast<int>(millis));
    return out;
}

} // namespace

RunLogFolder::RunLogFolder(std::filesystem::path folder, int kept)
    : m_folder(std::move(folder))
    , m_kept(kept) {}

std::vector<std::string> RunLogFolder::runs() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder, ec)) {
        std::string name = sys::utf8FromPath(entry.path().filename());
        if (isRunLog(name) && entry.is_regular_file(ec)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return sequenceOf(a) < sequenceOf(b);
    });
    return names;
}

std::shared_ptr<TraceLog> RunLogFolder::openRun(std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::create_directories(m_folder, ec);
    const std::vector<std::string> present = runs();
    const std::uint64_t sequence = present.empty() ? 1 : sequenceOf(present.back()) + 1;
    char number[24];
    std::snprintf(number, sizeof number, "%06llu", static_cast<unsigned long long>(sequence));
    const std::string stem = std::string(kPrefix) + number + "_" + startTime();
    path = m_folder / sys::pathFromUtf8(stem + std::string(kSuffix));
    // Two runs within a millisecond must not share a file.
    for (int n = 2; std::filesystem::exists(path, ec); ++n) {
        path = m_folder / sys::pathFromUtf8(stem + "-" + std::to_string(n) + std::string(kSuffix));
    }
    auto log = TraceLog::open(sys::utf8FromPath(path));
    prune();
    return log;
}

void RunLogFolder::prune() const {
    const std::vector<std::string> present = runs();
    std::error_code ec;
    for (std::size_t i = 0; i + static_cast<std::size_t>(m_kept) < present.size(); ++i) {
        std::filesystem::remove(m_folder / sys::pathFromUtf8(present[i]), ec);
    }
}
