#include "gui/QtLocalizer.hpp"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

std::string QtLocalizer::L(std::string_view key) const {
    const std::string id(key);
    const QString text = qtTrId(id.c_str());
    if (text == QString::fromStdString(id)) {
        return {};
    }
    return text.toStdString();
}

QString QtLocalizer::systemLanguage() {
    for (const QString& name : QLocale::system().uiLanguages()) {
        if (name.startsWith(QLatin1String("ru"))) {
            return QStringLiteral("ru");
        }
        if (name.startsWith(QLatin1String("en"))) {
            return QStringLiteral("en");
        }
    }
    return QStringLiteral("en");
}

QString QtLocalizer::installCatalogues(const QString& language) {
    const QString chosen = language.isEmpty() ? systemLanguage() : language;
    auto* app = QCoreApplication::instance();
    // Numbers in the window (the dialog's total line) follow the window's language.
    QLocale::setDefault(QLocale(chosen));

    // Translators installed later are searched first: English stays underneath as the fallback.
    auto* english = new QTranslator(app);
    if (english->load(QStringLiteral(":/i18n/detector-updater_en.qm"))) {
        QCoreApplication::installTranslator(english);
    }
    if (chosen == QLatin1String("ru")) {
        auto* qtOwn = new QTranslator(app);
        if (qtOwn->load(QStringLiteral("qtbase_ru"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(qtOwn);
        }
        auto* russian = new QTranslator(app);
        if (russian->load(QStringLiteral(":/i18n/detector-updater_ru.qm"))) {
            QCoreApplication::installTranslator(russian);
        }
    }
    return chosen;
}
