#include "database/Base64.hpp"

#include "database/WebServer_GetDataBase.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

using testing_support::hex;

namespace {

struct StrictCase {
    const char* input;
    bool valid;
    const char* decoded;
};

class StrictBase64 : public ::testing::TestWithParam<StrictCase> {};

TEST_P(StrictBase64, AcceptsOnlyCanonicalText) {
    const auto& c = GetParam();
    const auto bytes = codec::strictBase64Decode(c.input);
    ASSERT_EQ(bytes.has_value(), c.valid) << c.input;
    if (c.valid) {
        EXPECT_EQ(std::string(bytes->begin(), bytes->end()), c.decoded);
    }
    // decodingData reads the same bytes as text; invalid input is the empty text.
    EXPECT_EQ(WebServer_GetDataBase::decodingData(c.input), c.valid ? c.decoded : "");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StrictBase64,
    ::testing::Values(StrictCase{"QUJD", true, "ABC"}, StrictCase{"QUJD\n", false, ""},
                      StrictCase{"QUJ", false, ""}, StrictCase{"QU JD", false, ""},
                      StrictCase{"TWE=", true, "Ma"}, StrictCase{"TQ==", true, "M"},
                      StrictCase{"", true, ""}, StrictCase{"T===", false, ""},
                      StrictCase{"====", false, ""}, StrictCase{"TQ==TQ==", false, ""},
                      StrictCase{"TW=u", false, ""}, StrictCase{"TWF-", false, ""},
                      StrictCase{"TWF_", false, ""}, StrictCase{"TQ=", false, ""},
                      StrictCase{"QUJDREVG", true, "ABCDEF"}));

TEST(StrictBase64, DecodingDataGivesEmptyTextForInvalidUtf8) {
    // "/w==" is the single byte FF, valid Base64 but not UTF-8.
    ASSERT_TRUE(codec::strictBase64Decode("/w==").has_value());
    EXPECT_EQ(WebServer_GetDataBase::decodingData("/w=="), "");
    // Cyrillic survives.
    EXPECT_EQ(WebServer_GetDataBase::decodingData(testing_support::base64Encode("Россия")),
              "Россия");
}

struct LenientCase {
    std::string input;
    const char* expected;
};

class LenientBase64 : public ::testing::TestWithParam<LenientCase> {};

TEST_P(LenientBase64, SkipsEverythingOutsideTheAlphabet) {
    const auto& c = GetParam();
    EXPECT_EQ(hex(dataFromBase64String(c.input)), hex(c.expected)) << c.input;
}

INSTANTIATE_TEST_SUITE_P(Texts, LenientBase64,
                         ::testing::Values(LenientCase{"TWFu", "4D 61 6E"},
                                           LenientCase{"TWFu\n", "4D 61 6E"},
                                           LenientCase{"TW Fu", "4D 61 6E"},
                                           LenientCase{"TWE=", "4D 61"}, LenientCase{"TQ==", "4D"},
                                           LenientCase{"T", ""}, LenientCase{"====", ""},
                                           LenientCase{"TQ==TQ==", "4D 04 D0"}, LenientCase{"", ""},
                                           LenientCase{"TW\xD0\xAF"
                                                       "Fu",
                                                       ""},
                                           LenientCase{"\xC3\xA9"
                                                       "TWFu",
                                                       ""},
                                           LenientCase{"T-W_F.u", "4D 61 6E"}));

TEST(LenientBase64, NewBase64DecodeMeasuresAZeroTerminatedInput) {
    std::size_t length = 99;
    const auto buffer = NewBase64Decode("TWFuTQ==", kBase64ZeroTerminated, &length);
    EXPECT_EQ(buffer.size(), 6U) << "((8 + 3) / 4) * 3 bytes are allocated";
    ASSERT_EQ(length, 4U);
    EXPECT_EQ(hex(std::span(buffer).first(length)), hex("4D 61 6E 4D"));
}

TEST(LenientBase64, LookupTableMapsTheAlphabetAndSkipsTheRest) {
    int skipped = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        if (base64DecodeLookup[i] == kBase64Skip) {
            ++skipped;
        }
    }
    EXPECT_EQ(skipped, 256 - 64);
    EXPECT_EQ(base64DecodeLookup['A'], 0);
    EXPECT_EQ(base64DecodeLookup['a'], 26);
    EXPECT_EQ(base64DecodeLookup['0'], 52);
    EXPECT_EQ(base64DecodeLookup['+'], 62);
    EXPECT_EQ(base64DecodeLookup['/'], 63);
    EXPECT_EQ(base64DecodeLookup['='], kBase64Skip);
    EXPECT_EQ(base64DecodeLookup['-'], kBase64Skip);
}

// Scrambling.

constexpr std::array<std::uint8_t, 9> kKey = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99};

TEST(ChangeSecurityCode, LeavesTheCountAndCombinesWithTheShiftingKey) {
    const auto record = testing_support::recordWithKey(kKey);
    Bytes image(24, 0);
    ASSERT_TRUE(WebServer_GetDataBase::ChangeSecurityCode(*record, image, 24));
    EXPECT_EQ(hex(std::span(image).first(4)), hex("00 00 00 00"));
    EXPECT_EQ(image[4], kKey[0]);
    EXPECT_EQ(image[12], kKey[8]);
    EXPECT_EQ(image[13], kKey[0]);
    EXPECT_EQ(image[14], kKey[1]) << "first byte of the second record";
    EXPECT_EQ(image[23], kKey[(23 - 4) % 9]);
}

TEST(ChangeSecurityCode, ScramblingTwiceRestoresAndShortImagesStay) {
    const auto record = testing_support::recordWithKey(kKey);
    Bytes image(104);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7);
    }
    const Bytes original = image;
    ASSERT_TRUE(WebServer_GetDataBase::ChangeSecurityCode(*record, image, 104));
    EXPECT_NE(image, original);
    ASSERT_TRUE(WebServer_GetDataBase::ChangeSecurityCode(*record, image, 104));
    EXPECT_EQ(hex(image), hex(original));

    Bytes four = {1, 2, 3, 4};
    ASSERT_TRUE(WebServer_GetDataBase::ChangeSecurityCode(*record, four, 4));
    EXPECT_EQ(hex(four), hex("01 02 03 04"));
}

TEST(ChangeSecurityCode, FailsAndLeavesTheBufferWhileAKeyEntryIsAPlaceholder) {
    const ConnectedTargetInfo fresh;
    Bytes image(24, 0xAB);
    EXPECT_FALSE(WebServer_GetDataBase::ChangeSecurityCode(fresh, image, 24));
    EXPECT_EQ(image, Bytes(24, 0xAB));

    // One entry left as the placeholder is enough to fail.
    auto record = testing_support::recordWithKey(kKey);
    List entries = *record->Info_T_Key();
    entries[8] = std::string("n");
    record->setInfo_T_Key(std::make_shared<const List>(entries));
    EXPECT_FALSE(WebServer_GetDataBase::ChangeSecurityCode(*record, image, 24));
    EXPECT_EQ(image, Bytes(24, 0xAB));
}

TEST(ChangeSecurityCode, RejectsALengthBeyondTheBuffer) {
    const auto record = testing_support::recordWithKey(kKey);
    Bytes image(14, 0);
    EXPECT_FALSE(WebServer_GetDataBase::ChangeSecurityCode(*record, image, 24));
    EXPECT_EQ(image, Bytes(14, 0));
}

} // namespace
