#include "app/FlowFixture.hpp"
#include "support/TestSupport.hpp"

#include <cstdio>
#include <numeric>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using flow_testing::describeWrite;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing_support::hex;

namespace {

constexpr std::uint32_t kStart = 0x00010000;

Bytes pattern(std::size_t length, std::uint8_t seed = 1) {
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 8));
    }
    return bytes;
}

// The write loop alone: a controller, a link opened on a virtual detector, a recorded window.
struct LoopRig {
    std::shared_ptr<sim::VirtualDetector> detector = std::make_shared<sim::VirtualDetector>();
    MassStorageController link{std::shared_ptr<usb::UsbTransport>(detector)};
    MainWindowModel window;
    std::vector<std::string> notices;
    SynchronousDispatcher dispatcher;
    RecordingPacer pacer;
    flow_testing::ScriptedPresenter presenter;
    std::unique_ptr<ViewController> vc;

    LoopRig() {
        link.MassStorageControllerInit();
        EXPECT_TRUE(link.Check_UsbConnection());
        window.setListener([this](const ElementChange& c) {
            if (c.property == Property::Value || c.property == Property::Text) {
                notices.push_back(describe(c));
            }
        });
        server::ServerSettings settings;
        vc = std::make_unique<ViewController>(ViewController::Dependencies{
            .window = window,
            .dispatcher = dispatcher,
            .pacer = pacer,
            .localizer = flow_testing::texts(),
            .presenter = presenter,
            .makeLink = {},
            .server = server::ServerAccess(nullptr, settings),
            .onSequenceEnded = {},
        });
    }

    bool write(const Bytes& image, std::uint32_t pageSize, std::uint32_t selector,
               std::uint32_t cutStart, std::uint32_t cutEnd) {
        return vc->downloadToDevice(link, image, kStart, pageSize, selector, cutStart, cutEnd);
    }

    std::vector<std::string> ops() const {
        std::vector<std::string> lines;
        for (const auto& t : detector->trace()) {
            if (t.operation == sim::Operation::ClearHalt || t.operation == sim::Operation::Reset) {
                char text[32];
                std::snprintf(text, sizeof text, "clear-halt 0x%02X", t.address);
                lines.push_back(t.operation == sim::Operation::Reset ? "reset" : text);
                continue;
            }
            lines.push_back(std::string(t.operation == sim::Operation::Write ? "W " : "R ") +
                            describeWrite(t.selector, t.address, t.length));
        }
        return lines;
    }

    std::vector<std::string> posts(const std::vector<int>& percents) const {
        std::vector<std::string> expected;
        for (const int p : percents) {
            expected.push_back("progressbar_download.value=" + std::to_string(p));
            expected.push_back("txt_Infomation.text=" + std::to_string(p) + " %");
        }
        return expected;
    }
};

} // namespace

TEST(WriteLoop, PadsTheLastPageAndReaches100OnIt) {
    LoopRig r;
    const Bytes image = pattern(2500);
    ASSERT_TRUE(r.write(image, 1024, 0, 0, 2500));
    EXPECT_THAT(r.ops(),
                ElementsAre("W sel=0 addr=0x00010000 len=1024", "R sel=0 addr=0x00010000 len=1024",
                            "W sel=0 addr=0x00010400 len=1024", "R sel=0 addr=0x00010400 len=1024",
                            "W sel=0 addr=0x00010800 len=1024",
                            "R sel=0 addr=0x00010800 len=1024"));
    Bytes expected = image;
    expected.resize(3072, 0xFF);
    EXPECT_EQ(hex(r.detector->readMemory(0, kStart, 3072)), hex(expected));
    EXPECT_THAT(r.notices, ElementsAreArray(r.posts({33, 66, 100})));
    EXPECT_THAT(r.pacer.pauses(), ElementsAreArray(std::vector<double>(6, 0.07)));
}

TEST(WriteLoop, DeviceAddressesWrapAt32BitsWhileOffsetsDoNot) {
    LoopRig r;
    const Bytes image = pattern(0x200);
    // Offsets and percentages run on in 64 bits; the second page's address wraps to 0.
    ASSERT_TRUE(r.vc->downloadToDevice(r.link, image, 0xFFFFFF00U, 0x100, 0, 0, 0x200));
    EXPECT_THAT(r.ops(),
                ElementsAre("W sel=0 addr=0xFFFFFF00 len=256", "R sel=0 addr=0xFFFFFF00 len=256",
                            "W sel=0 addr=0x00000000 len=256", "R sel=0 addr=0x00000000 len=256"));
    EXPECT_THAT(r.notices, ElementsAreArray(r.posts({50, 100})));
}

TEST(WriteLoop, SelectorOnePausesLongerAndTenPagesGiveTensOfPercent) {
    LoopRig r;
    const Bytes image = pattern(10 * 256, 9);
    ASSERT_TRUE(r.write(image, 256, 1, 0, 10 * 256));
    EXPECT_THAT(r.notices, ElementsAreArray(r.posts({10, 20, 30, 40, 50, 60, 70, 80, 90, 100})));
    EXPECT_THAT(r.pacer.pauses(), ElementsAreArray(std::vector<double>(20, 0.15)));
    EXPECT_EQ(hex(r.detector->readMemory(1, kStart, 2560)), hex(image));
    EXPECT_EQ(hex(r.detector->readMemory(0, kStart, 16)), hex(Bytes(16, 0xFF)));
}

TEST(WriteLoop, AnEmptyCutWritesAndPostsNothing) {
    LoopRig r;
    EXPECT_TRUE(r.write(pattern(100), 64, 0, 40, 40));
    EXPECT_TRUE(r.ops().empty());
    EXPECT_TRUE(r.notices.empty());
    EXPECT_TRUE(r.pacer.pauses().empty());
}

TEST(WriteLoop, CutStartFourSkipsTheCount) {
    LoopRig r;
    const Bytes image = pattern(22, 3);
    ASSERT_TRUE(r.write(image, 8, 0, 4, 22));
    Bytes expected(image.begin() + 4, image.end());
    expected.resize(24, 0xFF);
    EXPECT_EQ(hex(r.detector->readMemory(0, kStart, 24)), hex(expected));
    EXPECT_THAT(r.notices, ElementsAreArray(r.posts({33, 66, 100})));
}

TEST(WriteLoop, ACutBeyondTheImageWritesErasedBytes) {
    LoopRig r;
    const Bytes image = pattern(10, 5);
    ASSERT_TRUE(r.write(image, 16, 0, 0, 40));
    Bytes expected = image;
    expected.resize(48, 0xFF);
    EXPECT_EQ(hex(r.detector->readMemory(0, kStart, 48)), hex(expected));
}

TEST(WriteLoop, ABadThirdPageEndsTheLoopAfterTwoPosts) {
    LoopRig r;
    sim::Fault corrupt = sim::Fault::make(sim::FaultKind::CorruptRead, sim::Operation::Read);
    corrupt.address = kStart + 2 * 512 + 17;
    r.detector->addFault(corrupt);
    EXPECT_FALSE(r.write(pattern(5 * 512), 512, 0, 0, 5 * 512));
    EXPECT_EQ(r.ops().size(), 6U);
    EXPECT_EQ(r.ops().back(), "R sel=0 addr=0x00010400 len=512");
    EXPECT_THAT(r.notices, ElementsAreArray(r.posts({20, 40})));
    EXPECT_EQ(r.pacer.pauses().size(), 6U);
}

struct Refused {
    std::string name;
    std::uint32_t pageSize;
    std::uint32_t cutStart;
    std::uint32_t cutEnd;
};

class WriteLoopRefuses : public testing::TestWithParam<Refused> {};

TEST_P(WriteLoopRefuses, BeforeAnythingIsWritten) {
    const auto& c = GetParam();
    LoopRig r;
    EXPECT_FALSE(r.write(pattern(64), c.pageSize, 0, c.cutStart, c.cutEnd));
    EXPECT_TRUE(r.ops().empty());
    EXPECT_TRUE(r.notices.empty());
    EXPECT_TRUE(r.pacer.pauses().empty());
}

INSTANTIATE_TEST_SUITE_P(WriteLoop, WriteLoopRefuses,
                         testing::Values(Refused{"PageSizeZero", 0, 0, 64},
                                         Refused{"PageAboveOneTransfer", 4097, 0, 64},
                                         Refused{"CutEndBelowCutStart", 16, 40, 8},
                                         Refused{"WrappingCut", 16, 1, 0}),
                         [](const auto& info) { return info.param.name; });

TEST(WriteLoop, AFailedWriteFailsThePageWithoutReadingIt) {
    LoopRig r;
    sim::Fault stall = sim::Fault::make(sim::FaultKind::StallStatus, sim::Operation::Write);
    stall.address = kStart + 64;
    r.detector->addFault(stall);
    EXPECT_FALSE(r.write(pattern(256), 64, 0, 0, 256));
    // The host clears the stalled pipe and reads the status; nothing more is written.
    EXPECT_THAT(r.ops(),
                ElementsAre("W sel=0 addr=0x00010000 len=64", "R sel=0 addr=0x00010000 len=64",
                            "W sel=0 addr=0x00010040 len=64", "clear-halt 0x81"));
    EXPECT_THAT(r.notices, ElementsAreArray(r.posts({25})));
}

TEST(WriteLoop, AFailedReadBackFailsThePage) {
    LoopRig r;
    sim::Fault stall = sim::Fault::make(sim::FaultKind::StallStatus, sim::Operation::Read);
    stall.address = kStart + 64;
    r.detector->addFault(stall);
    EXPECT_FALSE(r.write(pattern(256), 64, 0, 0, 256));
    EXPECT_THAT(r.ops(),
                ElementsAre("W sel=0 addr=0x00010000 len=64", "R sel=0 addr=0x00010000 len=64",
                            "W sel=0 addr=0x00010040 len=64", "R sel=0 addr=0x00010040 len=64",
                            "clear-halt 0x81"));
    EXPECT_THAT(r.notices, ElementsAreArray(r.posts({25})));
}

TEST(WriteLoop, ANeverAnsweredReadBackFailsThePage) {
    LoopRig r;
    sim::Fault silent = sim::Fault::make(sim::FaultKind::NoAnswer, sim::Operation::Read);
    silent.address = kStart + 128;
    silent.phase = sim::Phase::Data;
    r.detector->addFault(silent);
    EXPECT_FALSE(r.write(pattern(256), 64, 0, 0, 256));
    EXPECT_THAT(r.notices, ElementsAreArray(r.posts({25, 50})));
}

TEST(WriteLoop, UnpluggedDuringErasedPaddingPagesFails) {
    // Pages 2 to 4 are all 0xFF, as the previous page read back: a stale buffer would pass.
    LoopRig r;
    Bytes image(256, 0xFF);
    std::iota(image.begin(), image.begin() + 32, std::uint8_t{1});
    // Two transactions per page: the device leaves after the second page.
    sim::Fault unplug = sim::Fault::make(sim::FaultKind::Unplug);
    unplug.after = 4;
    r.detector->addFault(unplug);
    EXPECT_FALSE(r.write(image, 64, 0, 0, 256));
    EXPECT_THAT(r.notices, ElementsAreArray(r.posts({25, 50})));
}

TEST(WriteLoop, StopsWithoutWritingOnceAStopIsRequested) {
    LoopRig r;
    r.vc->requestStop();
    EXPECT_FALSE(r.write(pattern(256), 64, 0, 0, 256));
    EXPECT_TRUE(r.ops().empty());
}

TEST(DownloadBlocks, VerifyBlockIsTheTextThenErased) {
    const std::string text(30, 'V');
    const Bytes block = ViewController::verifyBlock(text, 1024);
    Bytes expected(1024, 0xFF);
    std::fill_n(expected.begin(), 30, 'V');
    EXPECT_EQ(hex(block), hex(expected));
    EXPECT_EQ(ViewController::verifyBlock(std::string(300, 'x'), 256).size(), 256U);
}

TEST(DownloadBlocks, DatabaseHeaderCarriesTheLowCountBytesAndTheirComplement) {
    const Bytes block = ViewController::databaseHeaderBlock({0x00, 0x00, 0x12, 0x34, 0xAA});
    Bytes expected(256, 0x00);
    expected[0] = 0x34;
    expected[1] = 0x12;
    expected[2] = 0xCB;
    expected[3] = 0xED;
    EXPECT_EQ(hex(block), hex(expected));
    EXPECT_TRUE(ViewController::databaseHeaderBlock({0x00, 0x01, 0x02}).empty());
}
