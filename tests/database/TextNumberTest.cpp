#include "database/TextNumber.hpp"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

struct NumberCase {
    const char* text;
    double value;
};

class ReadDecimalNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadDecimalNumber, TakesTheLongestDecimalPrefix) {
    EXPECT_EQ(codec::readDecimalNumber(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadDecimalNumber,
    ::testing::Values(NumberCase{"55.7558", 55.7558}, NumberCase{"-33.8688", -33.8688},
                      NumberCase{"  \t90", 90}, NumberCase{"+60", 60}, NumberCase{"abc", 0},
                      NumberCase{"", 0}, NumberCase{"12abc", 12}, NumberCase{"1.5.3", 1.5},
                      NumberCase{".5", 0.5}, NumberCase{"5.", 5}, NumberCase{"1e3", 1000},
                      NumberCase{"1e", 1}, NumberCase{"1e+", 1}, NumberCase{"2E-2", 0.02},
                      NumberCase{"-", 0}, NumberCase{"+-5", 0}, NumberCase{".", 0},
                      NumberCase{"nan", 0}, NumberCase{"inf", 0}, NumberCase{"0x1A", 0},
                      NumberCase{"1,5", 1}, NumberCase{"1e-400", 0}, NumberCase{"0.0001e-400", 0}));

TEST(ReadDecimalNumber, HugeExponentsBecomeInfinity) {
    EXPECT_EQ(codec::readDecimalNumber("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(codec::readDecimalNumber("-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(codec::readDecimalNumber("0.1e310"), std::numeric_limits<double>::infinity());
}

struct TruncCase {
    double value;
    std::int32_t expected;
};

class TruncateToInt32 : public ::testing::TestWithParam<TruncCase> {};

TEST_P(TruncateToInt32, SaturatesAndReadsNanAsZero) {
    EXPECT_EQ(codec::truncateToInt32(GetParam().value), GetParam().expected);
}

constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
constexpr auto kMin = std::numeric_limits<std::int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Values, TruncateToInt32,
    ::testing::Values(TruncCase{1.9, 1}, TruncCase{-1.9, -1}, TruncCase{0.0, 0},
                      TruncCase{std::nan(""), 0},
                      TruncCase{std::numeric_limits<double>::infinity(), kMax},
                      TruncCase{-std::numeric_limits<double>::infinity(), kMin},
                      TruncCase{1e300, kMax}, TruncCase{-1e300, kMin},
                      TruncCase{2147483647.9, kMax}, TruncCase{-2147483648.9, kMin},
                      TruncCase{2147483646.5, 2147483646}));

} // namespace
