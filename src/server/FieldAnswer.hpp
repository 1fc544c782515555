#pragma once
// The field answer: a Base64 body that decodes to "$"-separated fields read by position, and
// the failure text the server clients leave in the record.

#include "server/HttpClient.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace server {

class FieldAnswer {
public:
    // Body as UTF-8 (else empty), lenient Base64, result as UTF-8 (else empty), split at "$".
    // Never fails: an absent or unusable body gives one empty field.
    static FieldAnswer decode(std::span<const std::uint8_t> body);

    // Splits at every `separator`, keeping empty pieces; a text without one is one piece.
    static std::vector<std::string> split(std::string_view text, char separator);

    [[nodiscard]] std::size_t size() const { return m_fields.size(); }
    // The field at `position`, or nullptr beyond the last one.
    [[nodiscard]] const std::string* field(std::size_t position) const;

    // The reason text for a read at `position`: "field 21 of 21-field answer".
    [[nodiscard]] std::string missingReason(std::size_t position) const;

private:
    std::vector<std::string> m_fields;
};

// "Error_Code_<code>/ <kind> / <reason> ". The reason is cut to one line of printable text.
std::string failureText(int code, std::string_view kind, std::string_view reason);
// The failure text of a request that failed: its kind word and its message.
std::string failureText(int code, const HttpResult& failed);

// A server text quoted into a reason: control characters replaced, at most 40 bytes kept.
std::string quoted(std::string_view text);

} // namespace server
