#include "app/CatalogueLocalizer.hpp"

#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace {

// A message's <translation> read straight from the .ts file, apart from the generator; the
// messages used here are plain text and the XML entities.
std::string tsText(const std::string& language, const std::string& id) {
    std::ifstream file(std::string(DETECTOR_SOURCE_DIR) + "/src/gui/i18n/detector-updater_" +
                       language + ".ts");
    const std::string ts{std::istreambuf_iterator<char>(file), {}};
    const auto open = ts.find("<translation>", ts.find("<message id=\"" + id + "\">"));
    std::string text = ts.substr(open + 13, ts.find("</translation>", open) - open - 13);
    for (const auto& [entity, character] : {std::pair{"&lt;", "<"},
                                            {"&gt;", ">"},
                                            {"&quot;", "\""},
                                            {"&apos;", "'"},
                                            {"&amp;", "&"}}) {
        for (auto at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
            text.replace(at, std::string(entity).size(), character);
        }
    }
    EXPECT_FALSE(text.empty()) << language << " " << id;
    return text;
}

TEST(CatalogueLocalizerTest, BuiltInTextsFallBackFromSuffixToLanguageToNothing) {
    const std::string windowsRu = tsText("ru", "str_device_not_permitted_windows");
    ASSERT_NE(windowsRu, tsText("ru", "str_device_not_permitted"));
    EXPECT_EQ(CatalogueLocalizer("ru", "_windows").L("str_device_not_permitted"), windowsRu);
    EXPECT_EQ(CatalogueLocalizer("en", "_windows").L("str_device_not_permitted"),
              tsText("en", "str_device_not_permitted_windows"));
    EXPECT_EQ(CatalogueLocalizer("ru").L("str_device_not_permitted"),
              tsText("ru", "str_device_not_permitted"));
    EXPECT_EQ(CatalogueLocalizer("ru", "_windows").L("str_ready_upper"),
              tsText("ru", "str_ready_upper"));
    EXPECT_EQ(CatalogueLocalizer("de", "_linux").L("str_ready_upper"),
              tsText("en", "str_ready_upper"));
    EXPECT_EQ(CatalogueLocalizer("ru", "_windows").L("str_no_such_key"), "");
    EXPECT_EQ(CatalogueLocalizer("ru").L("str_empty"), "");
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
