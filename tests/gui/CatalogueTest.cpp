// Every localisation key used in the code has a text in both catalogues.

#include "QtPrinters.hpp"
#include "gui/QtLocalizer.hpp"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

const QString kSource = QStringLiteral(DETECTOR_SOURCE_DIR);

// Keys the flow and the window look up: L("..."), qtTrId("...") and "str_..." literals.
QSet<QString> keysInCode() {
    QSet<QString> keys;
    const QRegularExpression pattern(
        QString::fromLatin1(R"re((?:\bL\(|qtTrId\()\s*"([^"]+)"|"(str_[A-Za-z0-9_]+)")re"));
    for (const QString& folder : {QStringLiteral("/src/app"), QStringLiteral("/src/gui")}) {
        QDirIterator it(kSource + folder, {QStringLiteral("*.cpp"), QStringLiteral("*.hpp")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly)) {
                continue;
            }
            // Comments may show the L("key") notation itself; only code counts.
            QString text = QString::fromUtf8(file.readAll());
            text.remove(QRegularExpression(QStringLiteral("//[^\n]*")));
            for (const auto& match : pattern.globalMatch(text)) {
                keys.insert(match.captured(1).isEmpty() ? match.captured(2) : match.captured(1));
            }
        }
    }
    return keys;
}

// id to translation text of one .ts file.
QHash<QString, QString> catalogue(const QString& language) {
    QHash<QString, QString> messages;
    QFile file(kSource + QStringLiteral("/src/gui/i18n/detector-updater_%1.ts").arg(language));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    QXmlStreamReader xml(&file);
    QString id;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == QLatin1String("message")) {
            id = xml.attributes().value(QLatin1String("id")).toString();
        } else if (xml.name() == QLatin1String("translation")) {
            messages.insert(id, xml.readElementText());
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

TEST(Catalogues, CodeUsesTheKnownKeys) {
    const QSet<QString> keys = keysInCode();
    for (const char* key :
         {"str_ready_upper", "str_ready_under", "str_searching_device", "str_empty",
          "str_connect_server", "str_check_internet", "str_clickDownload",
          "str_FW_downloading_coment_RD", "str_FW_downloading_coment_GPS",
          "str_FW_downloading_coment_DB", "str_download_success", "str_finish_coment",
          "str_download_fail", "gui_btn_connect", "gui_quit_question"}) {
        EXPECT_TRUE(keys.contains(QString::fromLatin1(key))) << key;
    }
}

TEST(Catalogues, EveryKeyInBothLanguages) {
    const QSet<QString> keys = keysInCode();
    ASSERT_GE(keys.size(), 20);
    const auto english = catalogue(QStringLiteral("en"));
    const auto russian = catalogue(QStringLiteral("ru"));
    for (const QString& key : keys) {
        ASSERT_TRUE(english.contains(key)) << "English lacks " << key.toStdString();
        ASSERT_TRUE(russian.contains(key)) << "Russian lacks " << key.toStdString();
        if (key == QLatin1String("str_empty")) {
            EXPECT_TRUE(english[key].isEmpty());
            EXPECT_TRUE(russian[key].isEmpty());
            continue;
        }
        EXPECT_FALSE(english[key].isEmpty()) << key.toStdString();
        EXPECT_FALSE(russian[key].isEmpty()) << key.toStdString();
        EXPECT_NE(english[key], russian[key]) << key.toStdString();
    }
}

TEST(Catalogues, EmbeddedRussianCatalogueAnswersEveryKey) {
    QTranslator russian;
    ASSERT_TRUE(russian.load(QStringLiteral(":/i18n/detector-updater_ru.qm")));
    QCoreApplication::installTranslator(&russian);
    QtLocalizer localizer;
    for (const QString& key : keysInCode()) {
        const std::string text = localizer.L(key.toStdString());
        if (key == QLatin1String("str_empty")) {
            EXPECT_TRUE(text.empty());
        } else {
            EXPECT_FALSE(text.empty()) << key.toStdString();
        }
    }
    EXPECT_EQ(localizer.L("str_download_success"), "Обновление завершено");
    EXPECT_EQ(localizer.L("no_such_key"), "");
    QCoreApplication::removeTranslator(&russian);
    EXPECT_EQ(localizer.L("str_download_success"), "Update complete");
}

} // namespace
