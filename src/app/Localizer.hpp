#pragma once
// L("key"): the user-facing text for a key of the localisation table.

#include <string>
#include <string_view>

class Localizer {
public:
    Localizer() = default;
    Localizer(const Localizer&) = delete;
    Localizer& operator=(const Localizer&) = delete;
    Localizer(Localizer&&) = delete;
    Localizer& operator=(Localizer&&) = delete;
    virtual ~Localizer() = default;

    // The text for key; a key the table does not hold gives the empty text.
    [[nodiscard]] virtual std::string L(std::string_view key) const = 0;
};
