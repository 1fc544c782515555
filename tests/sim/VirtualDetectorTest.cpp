#include "sim/VirtualDetector.hpp"

#include "support/TestSupport.hpp"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace {

using testing_support::hex;
using Answer = sim::VirtualDetector::Answer;

struct Mutation {
    const char* name;
    std::size_t offset;
    std::uint8_t value;
};

class RejectedWrapperTest : public testing::TestWithParam<Mutation> {};

// Every byte the device checks: a regression in any of them must stall.
// The templates carry selector 3 until their first call; every call writes 0 or 1.
usb::CommandWrapperBytes validRead() {
    auto wrapper = usb::kCommandReadTemplate;
    usb::writeMemoryCommand(wrapper, 0, 2);
    return wrapper;
}

// The host's reset recovery: the class reset, then both halts cleared.
void resetRecovery(sim::VirtualDetector& device) {
    EXPECT_EQ(device.control(0x21, 0xFF, 0, 0, 0), Answer::Done);
    EXPECT_EQ(device.control(0x02, 0x01, 0, 0x81, 0), Answer::Done);
    EXPECT_EQ(device.control(0x02, 0x01, 0, 0x02, 0), Answer::Done);
}

TEST_P(RejectedWrapperTest, ReadWrapperWithOneWrongByteStalls) {
    sim::VirtualDetector device;
    auto wrapper = validRead();
    wrapper[GetParam().offset] = GetParam().value;
    EXPECT_EQ(device.receive(wrapper), Answer::Stall) << GetParam().name;
    ASSERT_EQ(device.trace().size(), 1U);
    EXPECT_EQ(device.trace()[0].outcome.rfind("rejected", 0), 0U);
    EXPECT_EQ(device.receive(validRead()), Answer::Stall) << "both pipes stay halted";
    EXPECT_EQ(device.send(13).answer, Answer::Stall);
    resetRecovery(device);
    EXPECT_EQ(device.receive(validRead()), Answer::Done) << "the host recovered it";
}

TEST(VirtualDetectorTest, ClearingTheHaltsWithoutAResetDoesNotHelpAfterARejectedWrapper) {
    sim::VirtualDetector device;
    ASSERT_EQ(device.receive(usb::kCommandReadTemplate), Answer::Stall);
    EXPECT_EQ(device.control(0x02, 0x01, 0, 0x81, 0), Answer::Done);
    EXPECT_EQ(device.control(0x02, 0x01, 0, 0x02, 0), Answer::Done);
    EXPECT_EQ(device.receive(validRead()), Answer::Stall);
    EXPECT_EQ(device.control(0x21, 0xFF, 0, 0, 0), Answer::Done);
    EXPECT_EQ(device.receive(validRead()), Answer::Stall) << "a reset leaves the halts";
    EXPECT_EQ(device.control(0x02, 0x01, 0, 0x02, 0), Answer::Done);
    EXPECT_EQ(device.receive(validRead()), Answer::Done);
    EXPECT_EQ(device.control(0x02, 0x01, 0, 0x03, 0), Answer::Stall) << "no endpoint 3";
    EXPECT_EQ(device.control(0x21, 0xFF, 0, 1, 0), Answer::Stall) << "no interface 1";
    const auto text = device.traceText();
    EXPECT_NE(text.find("clear-halt ep=0x81 still halted: a reset must come first\n"
                        "clear-halt ep=0x02 still halted: a reset must come first\n"
                        "reset ok\n"
                        "clear-halt ep=0x02 ok\n"),
              std::string::npos)
        << text;
}

TEST(VirtualDetectorTest, TimedOutAnswerGoesToTheNextReadAndNewWrappersAreIgnored) {
    sim::DeviceProfile profile;
    profile.memory.push_back({0, 0x200, std::vector<std::uint8_t>(256, 0x5A)});
    auto late = sim::Fault::make(sim::FaultKind::NoAnswer, sim::Operation::Read);
    late.phase = sim::Phase::Data;
    late.times = 2;
    profile.faults.push_back(late);
    sim::VirtualDetector device(profile);
    ASSERT_EQ(device.receive(validRead()), Answer::Done); // block 2 of 256: 0x200
    EXPECT_EQ(device.send(256).answer, Answer::NoAnswer);
    auto other = validRead();
    usb::writeMemoryCommand(other, 0, 7);
    EXPECT_EQ(device.receive(other), Answer::Done) << "taken, and ignored";
    EXPECT_EQ(device.send(256).data, std::vector<std::uint8_t>(256, 0x5A)) << "the old page";
    EXPECT_EQ(hex(device.send(4096).data), hex("55534253 10C00914 00000000 00"));
    // A reset drops an answer still pending.
    ASSERT_EQ(device.receive(validRead()), Answer::Done);
    EXPECT_EQ(device.send(256).answer, Answer::NoAnswer);
    resetRecovery(device);
    ASSERT_EQ(device.receive(other), Answer::Done);
    EXPECT_EQ(device.send(256).data, std::vector<std::uint8_t>(256, 0xFF)) << "block 7's page";
    EXPECT_EQ(device.traceText(),
              "read in sel=0 addr=0x00000200 len=256 no answer, ok\n"
              "wrapper none sel=0 addr=0x00000000 len=31 ignored: a transaction is pending\n"
              "read in sel=0 addr=0x00000200 len=256 no answer, reset\n"
              "reset ok\n"
              "clear-halt ep=0x81 ok\n"
              "clear-halt ep=0x02 ok\n"
              "read in sel=0 addr=0x00000700 len=256 pending\n");
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, RejectedWrapperTest,
    testing::Values(Mutation{"signature", 0, 0x00}, Mutation{"tag", 4, 0x11},
                    Mutation{"little-endian length", 8, 0x01}, Mutation{"byte 11", 11, 0x01},
                    Mutation{"flags", 12, 0x00}, Mutation{"unit", 13, 0x01},
                    Mutation{"block length", 14, 0x10}, Mutation{"opcode", 15, 0xD9},
                    Mutation{"selector", 16, 0x02}, Mutation{"byte 6", 21, 0x01},
                    Mutation{"byte 8", 23, 0x00}, Mutation{"byte 15", 30, 0x01}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (auto& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
        }
        return name;
    });

TEST(VirtualDetectorTest, LittleEndianLengthAboveOneByteIsRejected) {
    sim::VirtualDetector device;
    auto wrapper = validRead();
    wrapper[8] = 0x24; // 36 in the published byte order
    wrapper[9] = 0x00;
    EXPECT_EQ(device.receive(wrapper), Answer::Stall);
}

TEST(VirtualDetectorTest, TemplateSelectorThreeIsRejected) {
    sim::VirtualDetector device;
    EXPECT_EQ(device.receive(usb::kCommandReadTemplate), Answer::Stall);
}

TEST(VirtualDetectorTest, ShortWrapperAndWrongDirectionStall) {
    sim::VirtualDetector device;
    const auto read = validRead();
    EXPECT_EQ(device.receive(std::span<const std::uint8_t>(read).first(30)), Answer::Stall);
    resetRecovery(device);
    auto write = usb::kCommandWriteTemplate;
    usb::writeMemoryCommand(write, 0, 0);
    write[12] = 0x80;
    EXPECT_EQ(device.receive(write), Answer::Stall);
    resetRecovery(device);
    EXPECT_EQ(device.send(13).answer, Answer::NoAnswer) << "nothing to say when idle";
}

TEST(VirtualDetectorTest, TestUnitReadyAnswersOnlyAStatus) {
    sim::VirtualDetector device;
    ASSERT_EQ(device.receive(usb::kTestUnitReadyTemplate), Answer::Done);
    const auto status = device.send(4096);
    EXPECT_EQ(hex(status.data), hex("55534253 00A5F413 00040000 00"));
}

TEST(VirtualDetectorTest, InquiryCarriesTheProductText) {
    sim::DeviceProfile profile;
    profile.product = "*CORVANTHIS UMSCPT DEVIC";
    sim::VirtualDetector device(profile);
    ASSERT_EQ(device.receive(usb::kInquiryTemplate), Answer::Done);
    const auto data = device.send(1024);
    ASSERT_EQ(data.data.size(), 36U);
    EXPECT_EQ(std::string(data.data.begin() + 8, data.data.begin() + 32), profile.product);
    EXPECT_EQ(data.data[4], 31);
    const auto status = device.send(4096);
    EXPECT_EQ(hex(status.data), hex("55534253 10C00914 DC030000 00"));
}

TEST(VirtualDetectorTest, ChangedInquiryBlockIsRejected) {
    sim::VirtualDetector device;
    auto wrapper = usb::kInquiryTemplate;
    wrapper[19] = 0x24; // allocation length 36 instead of 136
    EXPECT_EQ(device.receive(wrapper), Answer::Stall);
}

TEST(VirtualDetectorTest, TraceRecordsEveryTransaction) {
    sim::VirtualDetector device;
    std::vector<std::uint8_t> page(256, 0x55);
    device.bulkWrite(usb::kTestUnitReadyTemplate, {});
    std::array<std::uint8_t, 64> status{};
    device.bulkRead(status, {});
    auto write = usb::kCommandWriteTemplate;
    usb::writeWrapperLength(write, 256);
    usb::writeMemoryCommand(write, 1, 35792);
    device.bulkWrite(write, {});
    device.bulkWrite(page, {});
    device.bulkRead(status, {});
    EXPECT_EQ(device.traceText(), "test-unit-ready none sel=0 addr=0x00000000 len=1024 ok\n"
                                  "write out sel=1 addr=0x00008BD0 len=256 ok\n");
    EXPECT_EQ(device.readMemory(1, 35792, 2), (std::vector<std::uint8_t>{0x55, 0x55}));
    EXPECT_EQ(device.completedTransactions(), 2U);
}

TEST(VirtualDetectorTest, MoreDataThanAnnouncedStalls) {
    sim::VirtualDetector device;
    auto write = usb::kCommandWriteTemplate;
    usb::writeWrapperLength(write, 256);
    usb::writeMemoryCommand(write, 0, 0);
    ASSERT_EQ(device.receive(write), Answer::Done);
    std::vector<std::uint8_t> tooMuch(257);
    EXPECT_EQ(device.receive(tooMuch), Answer::Stall);
}

TEST(VirtualDetectorTest, IntelHexOfOneSelector) {
    sim::VirtualDetector device;
    const std::vector<std::uint8_t> bytes{0x01, 0x02, 0x03};
    device.writeMemory(0, 0x08002E00, bytes);
    device.writeMemory(1, 0x10, bytes);
    EXPECT_EQ(device.intelHex(0), ":020000040800F2\n"
                                  ":102E0000010203FFFFFFFFFFFFFFFFFFFFFFFFFFC9\n"
                                  ":00000001FF\n");
    EXPECT_EQ(device.intelHex(1), ":020000040000FA\n"
                                  ":10001000010203FFFFFFFFFFFFFFFFFFFFFFFFFFE7\n"
                                  ":00000001FF\n");
    const auto folder = std::filesystem::temp_directory_path() / "vd-hex-test";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(device.dumpIntelHex(folder, "dump"));
    std::string first;
    {
        // Closed before the removal: Windows does not remove an open file.
        std::ifstream in(folder / "dump-selector1.hex");
        std::getline(in, first);
    }
    EXPECT_EQ(first, ":020000040000FA");
    std::filesystem::remove_all(folder);
}

TEST(VirtualDetectorTest, FaultWithTimesAppliesThatOften) {
    sim::VirtualDetector device;
    auto stall = sim::Fault::make(sim::FaultKind::StallStatus);
    stall.times = 1;
    device.addFault(stall);
    ASSERT_EQ(device.receive(usb::kTestUnitReadyTemplate), Answer::Done);
    EXPECT_EQ(device.send(13).answer, Answer::Stall);
    EXPECT_EQ(device.send(13).answer, Answer::Stall) << "halted until cleared";
    EXPECT_EQ(device.control(0x02, 0x01, 0, 0x81, 0), Answer::Done);
    EXPECT_EQ(device.send(13).answer, Answer::Done) << "the status after the clear";
    ASSERT_EQ(device.receive(usb::kTestUnitReadyTemplate), Answer::Done);
    EXPECT_EQ(device.send(13).answer, Answer::Done) << "once only";
}

TEST(VirtualDetectorTest, UnplugListenerFiresOnce) {
    sim::DeviceProfile profile;
    auto unplug = sim::Fault::make(sim::FaultKind::Unplug);
    profile.faults.push_back(unplug);
    sim::VirtualDetector device(profile);
    int calls = 0;
    device.setUnplugListener([&] { ++calls; });
    EXPECT_EQ(device.receive(usb::kTestUnitReadyTemplate), Answer::Done);
    EXPECT_EQ(device.send(13).answer, Answer::NoDevice);
    EXPECT_EQ(device.receive(usb::kTestUnitReadyTemplate), Answer::NoDevice);
    EXPECT_EQ(calls, 1);
}

// --- profiles ---

TEST(DeviceProfileTest, ParsesTheDocumentedFormat) {
    const auto profile = sim::DeviceProfile::fromJson(R"({
        "description": "demo",
        "product": "CORVANTHIS UMSCPT DEVICE",
        "release": "0x0100",
        "memory": [
            {"selector": 1, "address": "0x8BD0", "text": "AB"},
            {"selector": 0, "address": 4096, "hex": "DE AD be ef"}
        ],
        "faults": [
            {"kind": "stall-status", "operation": "write", "selector": 0, "address": "0x100", "times": 2},
            {"kind": "no-answer", "phase": "data"},
            {"kind": "unplug", "after": 5},
            {"kind": "stall-data"}, {"kind": "phase-error"}, {"kind": "bad-status"}
        ]})");
    EXPECT_EQ(profile.release, 0x0100);
    ASSERT_EQ(profile.memory.size(), 2U);
    EXPECT_EQ(profile.memory[0].address, 0x8BD0U);
    EXPECT_EQ(profile.memory[0].bytes, (std::vector<std::uint8_t>{'A', 'B'}));
    EXPECT_EQ(profile.memory[1].bytes, (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
    ASSERT_EQ(profile.faults.size(), 6U);
    EXPECT_EQ(profile.faults[3].kind, sim::FaultKind::StallData);
    EXPECT_EQ(profile.faults[4].kind, sim::FaultKind::PhaseError);
    EXPECT_EQ(profile.faults[5].kind, sim::FaultKind::BadStatus);
    EXPECT_EQ(profile.faults[0].times, 2U);
    EXPECT_EQ(profile.faults[0].operation, sim::Operation::Write);
    EXPECT_EQ(profile.faults[1].phase, sim::Phase::Data);
    EXPECT_EQ(profile.faults[2].after, 5U);
    sim::VirtualDetector device(profile);
    EXPECT_EQ(device.readMemory(1, 0x8BD0, 3), (std::vector<std::uint8_t>{'A', 'B', 0xFF}));
}

TEST(DeviceProfileTest, ReleaseDefaultsTo0x0200) {
    EXPECT_EQ(sim::DeviceProfile::fromJson(R"({"product":"CORVANTHIS UMSCPT DEVICE"})").release,
              0x0200);
}

class BadProfileTest : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(BadProfileTest, IsRefusedNamingTheProblem) {
    try {
        sim::DeviceProfile::fromJson(GetParam().first);
        FAIL() << "accepted " << GetParam().first;
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().second), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, BadProfileTest,
    testing::Values(
        std::pair{"{", "JSON"}, std::pair{R"({"product":"SHORT"})", "not 24"},
        std::pair{R"({"product":"CORVANTHIS UMSCPT DEVICE","x":1})", "unknown key"},
        std::pair{R"({"product":"CORVANTHIS UMSCPT DEVICE","release":"0x10000"})", "above"},
        std::pair{
            R"({"product":"CORVANTHIS UMSCPT DEVICE","memory":[{"selector":2,"address":0,"text":"a"}]})",
            "memory[0]"},
        std::pair{
            R"({"product":"CORVANTHIS UMSCPT DEVICE","memory":[{"selector":0,"address":"0xZ","text":"a"}]})",
            "not a number"},
        std::pair{
            R"({"product":"CORVANTHIS UMSCPT DEVICE","memory":[{"selector":0,"address":0,"text":"a","hex":"00"}]})",
            "exactly one"},
        std::pair{
            R"({"product":"CORVANTHIS UMSCPT DEVICE","memory":[{"selector":0,"address":"0xFFFFFFFF","hex":"0000"}]})",
            "past the end"},
        std::pair{R"({"product":"CORVANTHIS UMSCPT DEVICE","faults":[{"kind":"melt"}]})",
                  "unknown fault"},
        std::pair{
            R"({"product":"CORVANTHIS UMSCPT DEVICE","memory":[{"selector":0,"address":-1,"text":"a"}]})",
            "negative"}));

} // namespace
