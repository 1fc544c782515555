#include "database/CountryListAnswer.hpp"

#include "database/Base64.hpp"
#include "database/Utf8.hpp"
#include "server/FieldAnswer.hpp"

CountryListAnswer CountryListAnswer::decode(const server::HttpResult& answer) {
    CountryListAnswer list;
    const std::string_view body(reinterpret_cast<const char*>(answer.body.data()),
                                answer.body.size());
    const auto decoded = codec::isValidUtf8(body) ? codec::strictBase64DecodeText(body)
                                                  : std::optional<std::string>{};
    const bool isText = decoded && codec::isValidUtf8(*decoded);
    std::vector<std::string> pieces = server::FieldAnswer::split(isText ? *decoded : "", '$');
    list.m_entries.assign(std::make_move_iterator(pieces.begin() + 1),
                          std::make_move_iterator(pieces.end()));
    if (!list.m_entries.empty()) {
        return list;
    }
    const std::string size = std::to_string(body.size()) + "-byte";
    if (!answer.ok()) {
        list.m_noCountriesReason = answer.message;
    } else if (body.empty()) {
        list.m_noCountriesReason = "the country list answer is empty";
    } else if (!decoded) {
        list.m_noCountriesReason = "the " + size + " country list answer (HTTP " +
                                   std::to_string(answer.status) + ") is not Base64";
    } else if (!isText) {
        list.m_noCountriesReason = "the " + size + " country list answer does not decode to text";
    } else {
        list.m_noCountriesReason =
            "the country list " + server::quoted(*decoded) + " names no country";
    }
    return list;
}

std::vector<std::string> CountryListAnswer::fields(std::string_view entry) {
    return server::FieldAnswer::split(entry, '|');
}
