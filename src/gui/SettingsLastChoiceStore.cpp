#include "gui/SettingsLastChoiceStore.hpp"

#include <QSettings>
#include <QStringList>
#include <string>
#include <vector>

namespace {

QSettings settings() {
    return QSettings(QStringLiteral("detector-updater"), QStringLiteral("detector-updater"));
}

const QString kCountries = QStringLiteral("lastChoice/countries");
const QString kStrelka = QStringLiteral("lastChoice/excludeStrelka");
const QString kFake = QStringLiteral("lastChoice/excludeFake");

} // namespace

std::optional<LastChoice> SettingsLastChoiceStore::load() const {
    const QSettings stored = settings();
    const QStringList names = stored.value(kCountries).toStringList();
    if (names.isEmpty()) {
        return std::nullopt;
    }
    std::vector<std::string> countries;
    countries.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& name : names) {
        countries.push_back(name.toStdString());
    }
    return LastChoice(std::move(countries), stored.value(kStrelka).toBool(),
                      stored.value(kFake).toBool());
}

void SettingsLastChoiceStore::save(const LastChoice& choice) {
    QSettings stored = settings();
    QStringList names;
    for (const std::string& name : choice.countries()) {
        names << QString::fromStdString(name);
    }
    stored.setValue(kCountries, names);
    stored.setValue(kStrelka, choice.excludeStrelka());
    stored.setValue(kFake, choice.excludeFake());
    stored.sync();
}
