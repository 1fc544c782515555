#pragma once
// The country list answer: Base64 text of "$"-separated entries, each of "|"-separated fields.

#include "server/HttpClient.hpp"

#include <string>
#include <string_view>
#include <vector>

class CountryListAnswer {
public:
    // Body as UTF-8, strict Base64, result as UTF-8 (each else empty), split at "$"; the piece
    // before the first "$" is not an entry. Never fails: an unusable answer has no entries.
    static CountryListAnswer decode(const server::HttpResult& answer);

    // One text per country entry, in answer order.
    [[nodiscard]] const std::vector<std::string>& entries() const { return m_entries; }

    // Why the answer holds no entry (the request's failure, an empty or undecodable body, or
    // the decoded text); empty when it holds one.
    [[nodiscard]] const std::string& noCountriesReason() const { return m_noCountriesReason; }

    // An entry's fields: name, cameras, Strelka cameras, Fake cameras, then any extra ones.
    static std::vector<std::string> fields(std::string_view entry);

private:
    std::vector<std::string> m_entries;
    std::string m_noCountriesReason;
};
