#include "usb/CommandWrapper.hpp"

#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

namespace {

using testing_support::hex;

TEST(CommandWrapperTest, TemplatesAreByteForByteAsTheDeviceExpects) {
    EXPECT_EQ(hex(usb::kCommandReadTemplate),
              hex("55534243 10C00914 00010000 80 00 0C D8030000000000000100000000000000"));
    EXPECT_EQ(hex(usb::kCommandWriteTemplate),
              hex("55534243 40180708 00040000 00 00 0C DA030000000000000100000000000000"));
    EXPECT_EQ(hex(usb::kTestUnitReadyTemplate),
              hex("55534243 00A5F413 00040000 00 00 06 00000000000000000000000000000000"));
    EXPECT_EQ(hex(usb::kInquiryTemplate),
              hex("55534243 10C00914 00040000 80 00 0C 12008000880000000000000000000000"));
}

struct LengthCase {
    std::uint32_t length;
    const char* bytes8to11;
};

class WrapperLengthTest : public testing::TestWithParam<LengthCase> {};

TEST_P(WrapperLengthTest, LengthIsMostSignificantFirstWithByte11Zero) {
    auto wrapper = usb::kCommandReadTemplate;
    wrapper[11] = 0;
    usb::writeWrapperLength(wrapper, GetParam().length);
    EXPECT_EQ(hex(std::span<const std::uint8_t>(wrapper).subspan(8, 4)),
              hex(GetParam().bytes8to11));
    EXPECT_EQ(usb::unpackCommandWrapper(wrapper)->length, GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(Lengths, WrapperLengthTest,
                         testing::Values(LengthCase{256, "00 01 00 00"},
                                         LengthCase{1024, "00 04 00 00"},
                                         LengthCase{4096, "00 10 00 00"},
                                         LengthCase{36, "00 00 24 00"},
                                         LengthCase{0x123456, "12 34 56 00"}));

TEST(CommandWrapperTest, WritingTheLengthLeavesByte11Alone) {
    auto wrapper = usb::kCommandReadTemplate;
    wrapper[11] = 0x5A;
    usb::writeWrapperLength(wrapper, 0xFFFFFFFF);
    EXPECT_EQ(wrapper[8], 0xFF);
    EXPECT_EQ(wrapper[10], 0xFF);
    EXPECT_EQ(wrapper[11], 0x5A);
}

struct BlockCase {
    std::uint32_t address;
    std::uint32_t length;
    std::uint32_t block;
};

class BlockNumberTest : public testing::TestWithParam<BlockCase> {};

TEST_P(BlockNumberTest, FollowsTheDivisionRuleWithTheRadarBlockException) {
    EXPECT_EQ(usb::blockNumberFor(GetParam().address, GetParam().length), GetParam().block);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, BlockNumberTest,
    testing::Values(BlockCase{35792, 256, 35792}, BlockCase{35792, 4096, 35792},
                    BlockCase{35792, 1, 35792}, BlockCase{35791, 1, 35791},
                    BlockCase{35793 * 256, 256, 35793}, BlockCase{0x08002E00, 256, 0x0008002E},
                    BlockCase{0x08002E00 + 255, 256, 0x0008002E}, BlockCase{0, 4096, 0},
                    BlockCase{0xFFFFFFFF, 1, 0xFFFFFFFF}, BlockCase{4095, 4096, 0}));

TEST(CommandWrapperTest, MemoryCommandPutsSelectorAndBigEndianBlock) {
    auto wrapper = usb::kCommandWriteTemplate;
    usb::writeMemoryCommand(wrapper, 1, 0x0008002E);
    EXPECT_EQ(hex(std::span<const std::uint8_t>(wrapper).subspan(15, 12)),
              hex("DA 01 00 08 00 2E 00 00 01 00 00 00"));
}

TEST(CommandWrapperTest, PackAndUnpackAreInverse) {
    usb::CommandWrapper w;
    w.tag = 0x01020304;
    w.length = 0xABCDEF;
    w.lengthFourthByte = 7;
    w.flags = 0x80;
    w.lun = 2;
    w.commandBlockLength = 12;
    w.commandBlock[0] = 0xD8;
    w.commandBlock[15] = 0x99;
    const auto bytes = usb::packCommandWrapper(w);
    EXPECT_EQ(hex(std::span<const std::uint8_t>(bytes).first(12)),
              hex("55534243 04030201 ABCDEF07"));
    EXPECT_EQ(usb::unpackCommandWrapper(bytes), w);
}

TEST(CommandWrapperTest, UnpackRefusesWrongSizeOrSignature) {
    auto bytes = usb::kInquiryTemplate;
    EXPECT_FALSE(usb::unpackCommandWrapper(std::span<const std::uint8_t>(bytes).first(30)));
    bytes[3] = 'S';
    EXPECT_FALSE(usb::unpackCommandWrapper(bytes));
}

TEST(StatusWrapperTest, IsLittleEndianAfterTheSignature) {
    const auto bytes = usb::packStatusWrapper({0x1409C010, 988, 1});
    EXPECT_EQ(hex(bytes), hex("55534253 10C00914 DC030000 01"));
    EXPECT_EQ(usb::unpackStatusWrapper(bytes), (usb::StatusWrapper{0x1409C010, 988, 1}));
    EXPECT_FALSE(usb::unpackStatusWrapper(std::span<const std::uint8_t>(bytes).first(12)));
}

} // namespace
