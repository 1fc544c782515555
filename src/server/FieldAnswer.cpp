#include "server/FieldAnswer.hpp"

#include "database/Base64.hpp"
#include "database/Utf8.hpp"

#include <algorithm>

namespace server {

FieldAnswer FieldAnswer::decode(std::span<const std::uint8_t> body) {
    const std::string_view bytes(reinterpret_cast<const char*>(body.data()), body.size());
    const std::string_view text = codec::isValidUtf8(bytes) ? bytes : std::string_view{};
    const std::vector<std::uint8_t> decoded = dataFromBase64String(text);
    FieldAnswer answer;
    answer.m_fields = split(codec::utf8OrEmpty(decoded), '$');
    return answer;
}

std::vector<std::string> FieldAnswer::split(std::string_view text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const auto at = text.find(separator, start);
        if (at == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
}

const std::string* FieldAnswer::field(std::size_t position) const {
    return position < m_fields.size() ? &m_fields[position] : nullptr;
}

std::string FieldAnswer::missingReason(std::size_t position) const {
    return "field " + std::to_string(position) + " of " + std::to_string(m_fields.size()) +
           "-field answer";
}

std::string quoted(std::string_view text) {
    constexpr std::size_t kMax = 40;
    std::size_t keep = std::min(kMax, text.size());
    // Never cut a UTF-8 sequence in two.
    while (keep < text.size() && keep > 0 &&
           (static_cast<unsigned char>(text[keep]) & 0xC0U) == 0x80U) {
        --keep;
    }
    std::string out;
    for (const char c : text.substr(0, keep)) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 0x20 || u == 0x7F) ? '?' : c;
    }
    if (keep < text.size()) {
        out += "...";
    }
    return "'" + out + "'";
}

std::string failureText(int code, std::string_view kind, std::string_view reason) {
    std::string line;
    for (const char c : reason) {
        line += (c == '\n' || c == '\r') ? ' ' : c;
    }
    return "Error_Code_" + std::to_string(code) + "/ " + std::string(kind) + " / " + line + " ";
}

} // namespace server

namespace server {

std::string failureText(int code, const HttpResult& failed) {
    return failureText(code, failureKind(failed.error), failed.message);
}

} // namespace server
