#include "app/CatalogueLocalizer.hpp"

#include <array>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

// The <translation> of one message as the .ts file holds it, read apart from the generator; the
// messages used here are plain text with the five XML entities at most.
std::string tsText(const std::string& language, const std::string& id) {
    std::ifstream file(std::string(DETECTOR_SOURCE_DIR) + "/src/gui/i18n/detector-updater_" +
                           language + ".ts",
                       std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    const std::string ts = content.str();
    const auto message = ts.find("<message id=\"" + id + "\">");
    const auto open = ts.find("<translation>", message);
    const auto close = ts.find("</translation>", open);
    if (message == std::string::npos || close == std::string::npos ||
        close > ts.find("</message>", message)) {
        ADD_FAILURE() << id << " has no plain translation in the " << language << " catalogue";
        return "?";
    }
    std::string text = ts.substr(open + 13, close - open - 13);
    for (const auto& [entity, character] : std::array<std::pair<std::string, std::string>, 5>{
             {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}}}) {
        for (auto at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
            text.replace(at, entity.size(), character);
        }
    }
    return text;
}

struct Row {
    const char* language;
    const char* suffix;
    const char* key;
    const char* textLanguage; // whose catalogue holds the expected text; nullptr: none
    const char* textKey;
};

TEST(CatalogueLocalizerTest, BuiltInTextsFallBackFromSuffixToLanguageToNothing) {
    const Row rows[] = {
        {"ru", "_windows", "str_device_not_permitted", "ru", "str_device_not_permitted_windows"},
        {"en", "_windows", "str_device_not_permitted", "en", "str_device_not_permitted_windows"},
        {"ru", "", "str_device_not_permitted", "ru", "str_device_not_permitted"},
        {"en", "_linux", "str_device_not_permitted", "en", "str_device_not_permitted"},
        {"ru", "_windows", "str_ready_upper", "ru", "str_ready_upper"},
        {"de", "_windows", "str_ready_upper", "en", "str_ready_upper"},
        {"ru", "_windows", "str_no_such_key", nullptr, nullptr},
        {"ru", "", "str_empty", nullptr, nullptr},
    };
    for (const Row& row : rows) {
        const CatalogueLocalizer localizer(row.language, row.suffix);
        const std::string expected = row.textLanguage ? tsText(row.textLanguage, row.textKey) : "";
        EXPECT_EQ(localizer.L(row.key), expected)
            << row.language << " " << row.suffix << " " << row.key;
    }
    EXPECT_NE(tsText("ru", "str_device_not_permitted_windows"),
              tsText("ru", "str_device_not_permitted"));
}

TEST(CatalogueLocalizerTest, LanguageComesBeforeSuffixAndEnglishFillsGaps) {
    static constexpr CatalogueLocalizer::Message kTable[] = {
        {"a", "a en", "a ru"}, {"a_w", "a_w en", ""}, {"b", "b en", ""},
        {"c", "", ""},         {"d_w", "", "d_w ru"}, {"p", "%1 of %2", "%2 из %1"},
    };
    const CatalogueLocalizer russian("ru", "_w", kTable);
    const CatalogueLocalizer english("en", "_w", kTable);
    EXPECT_EQ(russian.L("a"), "a ru");
    EXPECT_EQ(english.L("a"), "a_w en");
    EXPECT_EQ(russian.L("b"), "b en");
    EXPECT_EQ(russian.L("c"), "");
    EXPECT_EQ(russian.L("d"), "d_w ru");
    EXPECT_EQ(english.L("d"), "");
    EXPECT_EQ(russian.L("a_"), "");
    EXPECT_EQ(russian.text("p", {"3", "5"}), "5 из 3");
    EXPECT_EQ(english.text("p", {"3", "5"}), "3 of 5");
    EXPECT_EQ(russian.language(), "ru");
    EXPECT_EQ(CatalogueLocalizer("RU").language(), "en");
}

} // namespace
