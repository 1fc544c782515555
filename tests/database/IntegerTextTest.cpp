#include "database/TextNumber.hpp"

#include <cstdint>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace {

struct IntegerCase {
    std::string text;
    std::int32_t value;
};
void PrintTo(const IntegerCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ReadLeadingInt32Test : public testing::TestWithParam<IntegerCase> {};

TEST_P(ReadLeadingInt32Test, ReadsTheLeadingInteger) {
    EXPECT_EQ(codec::readLeadingInt32(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadLeadingInt32Test,
    testing::Values(IntegerCase{"9250", 9250}, IntegerCase{"0", 0}, IntegerCase{"", 0},
                    IntegerCase{"abc", 0}, IntegerCase{"-", 0}, IntegerCase{"+", 0},
                    IntegerCase{"  \t\n42", 42}, IntegerCase{"42 ", 42}, IntegerCase{"12abc", 12},
                    IntegerCase{"1.9", 1}, IntegerCase{"1e3", 1}, IntegerCase{"-30", -30},
                    IntegerCase{"+7", 7}, IntegerCase{"--7", 0}, IntegerCase{"- 7", 0},
                    IntegerCase{"007", 7}, IntegerCase{"2147483647", 2147483647},
                    IntegerCase{"2147483648", 2147483647}, IntegerCase{"-2147483648", INT32_MIN},
                    IntegerCase{"-2147483649", INT32_MIN},
                    IntegerCase{"99999999999999999999999999", 2147483647},
                    IntegerCase{"-99999999999999999999999999", INT32_MIN}));

} // namespace
