#include "app/PackedArgument.hpp"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Fields = std::vector<std::string>;

struct SplitCase {
    std::string text;
    Fields fields;
};
void PrintTo(const SplitCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class SplitFieldsTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitFieldsTest, SplitsAtEveryComma) {
    EXPECT_EQ(packed::splitFields(GetParam().text), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitFieldsTest,
    testing::Values(SplitCase{"", {""}}, SplitCase{"YES", {"YES"}},
                    SplitCase{"NO,v2.1.E", {"NO", "v2.1.E"}}, SplitCase{"a,", {"a", ""}},
                    SplitCase{",a", {"", "a"}}, SplitCase{",,,,", {"", "", "", "", ""}},
                    SplitCase{"NO,GUI AUDIO , x", {"NO", "GUI AUDIO ", " x"}}));

TEST(PackedArgumentTest, JoinIsTheInverseOfSplit) {
    const Fields fields{"NO", "Radar", "", "RD 1.0", "NORMAL"};
    EXPECT_EQ(packed::joinFields(fields), "NO,Radar,,RD 1.0,NORMAL");
    EXPECT_EQ(packed::splitFields(packed::joinFields(fields)), fields);
    EXPECT_EQ(packed::joinFields({}), "");
}

TEST(PackedArgumentTest, FlagIsYesExactly) {
    EXPECT_TRUE(packed::isYes("YES"));
    for (const char* other : {"yes", "Yes", "NO", "", "YES ", " YES", "Y"}) {
        EXPECT_FALSE(packed::isYes(other)) << other;
    }
}

struct SwitchCase {
    std::string text;
    std::optional<bool> value;
};
void PrintTo(const SwitchCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ReadSwitchTest : public testing::TestWithParam<SwitchCase> {};

TEST_P(ReadSwitchTest, YesOrNoInAnyCase) {
    EXPECT_EQ(packed::readSwitch(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadSwitchTest,
    testing::Values(SwitchCase{"YES", true}, SwitchCase{"yes", true}, SwitchCase{"yEs", true},
                    SwitchCase{"NO", false}, SwitchCase{"no", false}, SwitchCase{"No", false},
                    SwitchCase{"", std::nullopt}, SwitchCase{"YES ", std::nullopt},
                    SwitchCase{"NONE", std::nullopt}, SwitchCase{"1", std::nullopt},
                    SwitchCase{"Y", std::nullopt}));

} // namespace
