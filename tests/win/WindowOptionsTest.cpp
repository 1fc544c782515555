#include "win/WindowOptions.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(WindowOptions, ReadsTheQtWindowsOptions) {
    struct Row {
        std::vector<std::string> arguments;
        std::string error; // empty: parsed
        std::string language;
        std::string trace;
        bool virtualDetector;
    };
    const Row rows[] = {
        {{}, "", "", "", false},
        {{"--demo", "--lang", "ru"}, "", "ru", "", true},
        {{"--lang=en", "--trace", "C:\\Журнал\\run.log"}, "", "en", "C:\\Журнал\\run.log", false},
        {{"--profile", "combo-3810.json"}, "", "", "", true},
        {{"--screenshot-dir", "shots"}, "", "", "", true},
        {{"--lang", "de"}, "--lang takes ru or en, not 'de'", "", "", false},
        {{"--trace"}, "Missing value after '--trace'.", "", "", false},
        {{"--demo", "extra"}, "unexpected argument 'extra'", "", "", false},
        {{"--fast"}, "Unknown option '--fast'.", "", "", false},
        {{"--screenshot-run", "maybe"}, "--screenshot-run takes success or fail", "", "", false},
    };
    for (const Row& row : rows) {
        std::string error;
        std::string help;
        const auto options = WindowOptions::parse(row.arguments, error, help);
        EXPECT_EQ(error, row.error) << testing::PrintToString(row.arguments);
        ASSERT_EQ(options.has_value(), row.error.empty()) << testing::PrintToString(row.arguments);
        if (options) {
            EXPECT_EQ(options->language, row.language);
            EXPECT_EQ(options->traceFile, row.trace);
            EXPECT_EQ(options->virtualDetector(), row.virtualDetector)
                << testing::PrintToString(row.arguments);
        }
    }
    std::string error;
    std::string help;
    EXPECT_FALSE(WindowOptions::parse({"--demo", "--version"}, error, help));
    EXPECT_EQ(help.rfind("detector-updater ", 0), 0U) << help;
    EXPECT_TRUE(error.empty());
}

} // namespace
