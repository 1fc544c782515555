#include "app/TableLocalizer.hpp"

#include <utility>

TableLocalizer::TableLocalizer(Table table)
    : m_table(std::move(table)) {}

std::string TableLocalizer::L(std::string_view key) const {
    const auto found = m_table.find(key);
    return found == m_table.end() ? std::string() : found->second;
}
