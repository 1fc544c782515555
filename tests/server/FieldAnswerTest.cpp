#include "server/FieldAnswer.hpp"

#include "sim/UpdateServerSim.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using server::FieldAnswer;
using testing::ElementsAre;

namespace {

std::vector<std::string> fieldsOf(const std::string& body) {
    const auto answer =
        FieldAnswer::decode({reinterpret_cast<const std::uint8_t*>(body.data()), body.size()});
    std::vector<std::string> out;
    for (std::size_t i = 0; i < answer.size(); ++i) {
        out.push_back(*answer.field(i));
    }
    EXPECT_EQ(answer.field(answer.size()), nullptr);
    return out;
}

std::string b64(const std::string& text) { return sim::UpdateServerSim::base64Encode(text); }

TEST(FieldAnswer, SplitsAtEveryDollarKeepingEmptyFields) {
    EXPECT_THAT(fieldsOf(b64("a$b$c")), ElementsAre("a", "b", "c"));
    EXPECT_THAT(fieldsOf(b64("$a$$b$")), ElementsAre("", "a", "", "b", ""));
    EXPECT_THAT(fieldsOf(b64("one")), ElementsAre("one"));
    EXPECT_THAT(fieldsOf(""), ElementsAre(""));
}

TEST(FieldAnswer, DecodesLenientlySkippingLineBreaks) {
    const std::string encoded = b64("0x08004000$true");
    const std::string wrapped = encoded.substr(0, 8) + "\r\n" + encoded.substr(8);
    EXPECT_THAT(fieldsOf(wrapped), ElementsAre("0x08004000", "true"));
}

TEST(FieldAnswer, AnyNonAsciiCharacterGivesOneEmptyField) {
    EXPECT_THAT(fieldsOf(b64("a$b") + "\xC3\xA9"), ElementsAre(""));
}

TEST(FieldAnswer, InvalidUtf8InTheBodyOrTheDecodedTextGivesOneEmptyField) {
    EXPECT_THAT(fieldsOf(b64("a$b") + "\xFF"), ElementsAre(""));
    EXPECT_THAT(fieldsOf(b64("a$\xFF")), ElementsAre(""));
}

TEST(FieldAnswer, NamesTheMissingPosition) {
    const std::string body = b64("a$b");
    const auto answer =
        FieldAnswer::decode({reinterpret_cast<const std::uint8_t*>(body.data()), body.size()});
    EXPECT_EQ(answer.missingReason(2), "field 2 of 2-field answer");
}

TEST(FailureText, HasTheFixedFrameAndOneLine) {
    EXPECT_EQ(server::failureText(301, "MissingField", "field 21 of 21-field answer"),
              "Error_Code_301/ MissingField / field 21 of 21-field answer ");
    EXPECT_EQ(server::failureText(401, "K", "two\nlines\r"), "Error_Code_401/ K / two lines  ");
}

TEST(FailureText, QuotesServerTextsSafely) {
    EXPECT_EQ(server::quoted("a\tb"), "'a?b'");
    EXPECT_EQ(server::quoted(std::string(50, 'x')), "'" + std::string(40, 'x') + "...'");
    // Never cuts a two-byte character in half.
    const std::string cyrillic = std::string(39, 'x') + "\xD0\x96" + "yy";
    EXPECT_EQ(server::quoted(cyrillic), "'" + std::string(39, 'x') + "...'");
}

} // namespace
