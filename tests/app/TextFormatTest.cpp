#include "app/TextFormat.hpp"

#include <gtest/gtest.h>

namespace {

struct SubstituteRow {
    const char* pattern;
    std::initializer_list<std::string_view> args;
    const char* expected;
};

TEST(TextFormat, SubstitutesNumberedArguments) {
    const SubstituteRow rows[] = {
        {"%1 of %2 cameras", {"3,500", "9,300"}, "3,500 of 9,300 cameras"},
        // Order in the text is free: the Russian texts move arguments around.
        {"Not added: %3 would make %1, more than %2",
         {"9,400", "9,300", "Eesti"},
         "Not added: Eesti would make 9,400, more than 9,300"},
        {"%1 min %2 s left", {"1", "05"}, "1 min 05 s left"},
        // An argument is not searched again.
        {"%1 and %2", {"%2", "x"}, "%2 and x"},
        {"100% sure, %3 missing", {"a"}, "100% sure, %3 missing"},
        {"ends with %", {"a"}, "ends with %"},
        {"", {"a"}, ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(text::substitute(row.pattern, row.args), row.expected) << row.pattern;
    }
}

TEST(TextFormat, GroupsDigitsPerLanguage) {
    EXPECT_EQ(text::groupedNumber(0, "en"), "0");
    EXPECT_EQ(text::groupedNumber(999, "en"), "999");
    EXPECT_EQ(text::groupedNumber(9300, "en"), "9,300");
    EXPECT_EQ(text::groupedNumber(1234567, "en"), "1,234,567");
    EXPECT_EQ(text::groupedNumber(9300, "ru"), "9\xC2\xA0"
                                               "300");
    EXPECT_EQ(text::groupedNumber(4294967295U, "xx"), "4,294,967,295");
}

} // namespace
