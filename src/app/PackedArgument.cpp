#include "app/PackedArgument.hpp"

#include <algorithm>
#include <cstddef>

namespace packed {

namespace {

char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsIgnoringCase(std::string_view text, std::string_view upperWord) {
    return text.size() == upperWord.size() &&
           std::equal(text.begin(), text.end(), upperWord.begin(),
                      [](char a, char b) { return asciiUpper(a) == b; });
}

} // namespace

std::vector<std::string> splitFields(std::string_view text) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            fields.emplace_back(text.substr(start));
            return fields;
        }
        fields.emplace_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

std::string joinFields(const std::vector<std::string>& fields) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        text += fields[i];
    }
    return text;
}

bool isYes(std::string_view field) { return field == "YES"; }

std::optional<bool> readSwitch(std::string_view text) {
    if (equalsIgnoringCase(text, "YES")) {
        return true;
    }
    if (equalsIgnoringCase(text, "NO")) {
        return false;
    }
    return std::nullopt;
}

} // namespace packed
