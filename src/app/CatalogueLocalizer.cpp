#include "app/CatalogueLocalizer.hpp"

#include "app/TextFormat.hpp"

#include <algorithm>

CatalogueLocalizer::CatalogueLocalizer(std::string_view language, std::string_view suffix)
    : CatalogueLocalizer(language, suffix, catalogue()) {}

CatalogueLocalizer::CatalogueLocalizer(std::string_view language, std::string_view suffix,
                                       std::span<const Message> table)
    : m_table(table)
    , m_russian(language == "ru")
    , m_suffix(suffix) {}

std::string_view CatalogueLocalizer::find(std::string_view key, bool russian) const {
    const auto found = std::lower_bound(
        m_table.begin(), m_table.end(), key,
        [](const Message& message, std::string_view wanted) { return message.key < wanted; });
    if (found == m_table.end() || found->key != key) {
        return {};
    }
    return russian ? found->russian : found->english;
}

std::string CatalogueLocalizer::L(std::string_view key) const {
    const std::string suffixed = std::string(key) + m_suffix;
    for (const bool russian : {m_russian, false}) {
        for (const std::string_view candidate : {std::string_view(suffixed), key}) {
            if (const std::string_view found = find(candidate, russian); !found.empty()) {
                return std::string(found);
            }
        }
    }
    return {};
}

std::string CatalogueLocalizer::text(std::string_view key,
                                     std::initializer_list<std::string_view> args) const {
    return text::substitute(L(key), args);
}
