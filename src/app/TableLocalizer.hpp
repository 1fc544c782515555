#pragma once
// A Localizer over a fixed key-to-text table, for the terminal front end and tests.

#include "app/Localizer.hpp"

#include <functional>
#include <map>
#include <string>
#include <string_view>

class TableLocalizer final : public Localizer {
public:
    using Table = std::map<std::string, std::string, std::less<>>;

    TableLocalizer() = default;
    explicit TableLocalizer(Table table);

    // The table's text for key, or the empty text when the key is not in it.
    [[nodiscard]] std::string L(std::string_view key) const override;

private:
    Table m_table;
};
