#include "app/LastChoiceStore.hpp"

#include "install/SystemPaths.hpp"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr std::string_view kHeader = "detector-updater last choice 1";

// A country name may hold any byte the server sent: line ends and backslashes are escaped.
std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

FileLastChoiceStore::FileLastChoiceStore(std::filesystem::path file)
    : m_file(std::move(file)) {}

std::optional<LastChoice> FileLastChoiceStore::load() const {
    const std::unique_ptr<std::FILE, FileCloser> file(sys::openFile(m_file, "rb"));
    if (!file) {
        return std::nullopt;
    }
    std::string all;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
        all.append(buffer, n);
        if (all.size() > (1U << 20)) {
            return std::nullopt; // not a file this store wrote
        }
    }
    std::vector<std::string> countries;
    bool strelka = false;
    bool fake = false;
    bool headerSeen = false;
    std::string_view rest = all;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!headerSeen) {
            if (line != kHeader) {
                return std::nullopt;
            }
            headerSeen = true;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view key = line.substr(0, eq);
        const auto value = unescaped(line.substr(eq + 1));
        if (!value) {
            return std::nullopt;
        }
        if (key == "country") {
            countries.push_back(*value);
        } else if (key == "excludeStrelka") {
            strelka = *value == "1";
        } else if (key == "excludeFake") {
            fake = *value == "1";
        }
    }
    if (countries.empty()) {
        return std::nullopt;
    }
    return LastChoice(std::move(countries), strelka, fake);
}

void FileLastChoiceStore::save(const LastChoice& choice) {
    std::string text(kHeader);
    text += "\nexcludeStrelka=";
    text += choice.excludeStrelka() ? "1" : "0";
    text += "\nexcludeFake=";
    text += choice.excludeFake() ? "1" : "0";
    for (const std::string& country : choice.countries()) {
        text += "\ncountry=" + escaped(country);
    }
    text += '\n';
    std::error_code ec;
    std::filesystem::create_directories(m_file.parent_path(), ec);
    std::filesystem::path temporary = m_file;
    temporary += ".new";
    {
        const std::unique_ptr<std::FILE, FileCloser> file(sys::openFile(temporary, "wb"));
        if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
            std::fflush(file.get()) != 0) {
            std::filesystem::remove(temporary, ec);
            return;
        }
    }
    std::filesystem::rename(temporary, m_file, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
    }
}
