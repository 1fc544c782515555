#pragma once
// Terminal column widths of UTF-8 texts, so tables line up with Cyrillic and other scripts.

#include <cstddef>
#include <string>
#include <string_view>

class TextWidth {
public:
    // Columns a terminal gives the text: one per character, two for East Asian wide ones and
    // emoji, none for combining marks. A byte that is not valid UTF-8 counts as one column.
    static std::size_t of(std::string_view utf8);

    // The text followed by blanks up to `columns` (unchanged when it is that wide already).
    static std::string padRight(std::string_view utf8, std::size_t columns);
    // Blanks up to `columns`, then the text.
    static std::string padLeft(std::string_view utf8, std::size_t columns);
};
