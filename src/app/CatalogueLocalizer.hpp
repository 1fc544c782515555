#pragma once
// L("key") from the window catalogues' texts built into the program, for a window without Qt.

#include "app/Localizer.hpp"

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

class CatalogueLocalizer final : public Localizer {
public:
    // One message of the catalogues. An empty text is one that language lacks: lrelease leaves
    // empty translations out, so a present text is never empty.
    struct Message {
        std::string_view key;
        std::string_view english;
        std::string_view russian;
    };

    // The texts of src/gui/i18n/*.ts as the Qt window gets them, written at build time by
    // tools/generate-texts.py: every message id of either file, sorted by key.
    [[nodiscard]] static std::span<const Message> catalogue();

    // language "en" or "ru" (anything else is English). suffix names a platform ("_windows"):
    // a key with it, where the catalogue has one, stands in for the key without it.
    explicit CatalogueLocalizer(std::string_view language, std::string_view suffix = {});
    // The same over another table, which must be sorted by key and outlive this.
    CatalogueLocalizer(std::string_view language, std::string_view suffix,
                       std::span<const Message> table);

    // The first text of key+suffix in the language, key in the language, key+suffix in
    // English, key in English; the empty text when there is none.
    [[nodiscard]] std::string L(std::string_view key) const override;

    // L(key) with its %1..%9 filled from args (text::substitute).
    [[nodiscard]] std::string text(std::string_view key,
                                   std::initializer_list<std::string_view> args) const;

    // "en" or "ru".
    [[nodiscard]] std::string_view language() const { return m_russian ? "ru" : "en"; }

private:
    [[nodiscard]] std::string_view find(std::string_view key, bool russian) const;

    std::span<const Message> m_table;
    bool m_russian;
    std::string m_suffix;
};
