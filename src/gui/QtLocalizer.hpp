#pragma once
// L("key") from the embedded Qt Linguist catalogues (ID-based), and their installation.

#include "app/Localizer.hpp"

#include <QString>
#include <string>
#include <string_view>

class QtLocalizer final : public Localizer {
public:
    // The catalogue text for key; a key no catalogue holds, or one whose text is empty, gives
    // the empty text (qtTrId itself would answer with the key).
    [[nodiscard]] std::string L(std::string_view key) const override;

    // Installs the English catalogue as the fallback and, for Russian, the Russian one and
    // Qt's own Russian strings on top. language "ru" or "en"; empty picks from the system
    // locale (LANG, LC_ALL, LANGUAGE). Returns the language used. Call once, after the
    // QApplication exists.
    static QString installCatalogues(const QString& language);

    // The language that installCatalogues would pick for the system locale.
    static QString systemLanguage();
};
