// Every localisation key used in the code has a text in both catalogues, and the table built
// from them for the window without Qt answers as the Qt catalogues do.

#include "QtPrinters.hpp"
#include "app/CatalogueLocalizer.hpp"
#include "gui/QtLocalizer.hpp"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>
#include <string>

#include <gtest/gtest.h>

// Written by tools/generate-texts.py from tests/gui/i18n/texts-check_*.ts.
std::span<const CatalogueLocalizer::Message> textsCheckCatalogue();

namespace {

const QString kSource = QStringLiteral(DETECTOR_SOURCE_DIR);

// Keys the flow and both windows look up: L("..."), qtTrId("...") and "str_..." literals.
QSet<QString> keysInCode() {
    QSet<QString> keys;
    const QRegularExpression pattern(
        QString::fromLatin1(R"re((?:\bL\(|qtTrId\()\s*"([^"]+)"|"(str_[A-Za-z0-9_]+)")re"));
    for (const QString& folder :
         {QStringLiteral("/src/app"), QStringLiteral("/src/gui"), QStringLiteral("/src/win")}) {
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
    QSet<QString> keys = keysInCode();
    ASSERT_GE(keys.size(), 20);
    const auto english = catalogue(QStringLiteral("en"));
    const auto russian = catalogue(QStringLiteral("ru"));
    // A platform's variant is looked up by its base key, so the code never names it.
    for (const QString& id : english.keys()) {
        if (id.endsWith(QLatin1String("_windows"))) {
            EXPECT_TRUE(english.contains(id.chopped(8))) << id.toStdString();
            keys.insert(id);
        }
    }
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

// The table the window without Qt reads answers every message id as the Qt window does with
// the compiled catalogues installed for the language.
class CataloguesForQtlessWindow : public ::testing::TestWithParam<const char*> {};

TEST_P(CataloguesForQtlessWindow, AnswerAsTheInstalledQtCatalogues) {
    QSet<QString> ids;
    for (const char* language : {"en", "ru"}) {
        for (const QString& id : catalogue(QString::fromLatin1(language)).keys()) {
            ids.insert(id);
        }
    }
    ASSERT_GE(ids.size(), 50);
    auto* app = QCoreApplication::instance();
    const auto before = app->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(QtLocalizer::installCatalogues(QString::fromLatin1(GetParam())),
              QString::fromLatin1(GetParam()));
    const QtLocalizer qt;
    const CatalogueLocalizer table(GetParam());
    for (const QString& id : ids) {
        EXPECT_EQ(table.L(id.toStdString()), qt.L(id.toStdString())) << id.toStdString();
    }
    // Back to the English that the test program installed.
    for (QTranslator* added : app->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly)) {
        if (!before.contains(added)) {
            QCoreApplication::removeTranslator(added);
            delete added;
        }
    }
    QLocale::setDefault(QLocale(QStringLiteral("en")));
}

INSTANTIATE_TEST_SUITE_P(Languages, CataloguesForQtlessWindow, ::testing::Values("en", "ru"));

// The generator's table of its check catalogues answers every id as lrelease's .qm files do, in
// English and in Russian over English.
TEST(Catalogues, GeneratorReadsTheCataloguesAsLrelease) {
    QTranslator english;
    QTranslator russian;
    ASSERT_TRUE(english.load(QStringLiteral(":/texts-check/texts-check_en.qm")));
    ASSERT_TRUE(russian.load(QStringLiteral(":/texts-check/texts-check_ru.qm")));
    QSet<QString> ids;
    for (const auto& message : textsCheckCatalogue()) {
        ids.insert(QString::fromStdString(std::string(message.key)));
    }
    ASSERT_EQ(ids.size(), 13);
    const QtLocalizer qt;
    QCoreApplication::installTranslator(&english);
    for (const char* language : {"en", "ru"}) {
        if (language == std::string("ru")) {
            QCoreApplication::installTranslator(&russian);
        }
        const CatalogueLocalizer table(language, "", textsCheckCatalogue());
        for (const QString& id : ids) {
            EXPECT_EQ(table.L(id.toStdString()), qt.L(id.toStdString()))
                << language << " " << id.toStdString();
        }
    }
    QCoreApplication::removeTranslator(&russian);
    QCoreApplication::removeTranslator(&english);
}

} // namespace
