#include "usb/MassStorageController.hpp"

#include "sim/VirtualDetector.hpp"
#include "sim/VirtualUsbBus.hpp"
#include "support/RefusingBus.hpp"
#include "support/TestSupport.hpp"
#include "usb/RecoveryScenarios.hpp"

#include <csignal>
#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing_support::hex;
using testing_support::OneRefusalBus;
using testing_support::RefusingDevice;

// Passes every transfer and control request to the virtual detector and records it as it went
// over the wire.
class RecordingTransport final : public usb::UsbTransport {
public:
    struct Transfer {
        bool out;
        std::vector<std::uint8_t> bytes;
        std::size_t asked;
        bool ok;
        // "clear in", "clear out" or "reset" for a control request; empty for a bulk transfer.
        std::string control;
        std::optional<usb::UsbErrorKind> error;
    };

    explicit RecordingTransport(std::shared_ptr<sim::VirtualDetector> device)
        : m_device(std::move(device)) {}

    usb::TransferResult bulkWrite(std::span<const std::uint8_t> data,
                                  std::chrono::milliseconds timeout) override {
        auto r = m_device->bulkWrite(data, timeout);
        record({true, {data.begin(), data.end()}, data.size(), r.ok(), {}, kind(r)});
        return r;
    }
    usb::TransferResult bulkRead(std::span<std::uint8_t> buffer,
                                 std::chrono::milliseconds timeout) override {
        if (stalledStatusReads > 0 && buffer.size() == usb::kMaxTransferLength) {
            --stalledStatusReads;
            record({false, {}, buffer.size(), false, {}, usb::UsbErrorKind::Stall});
            return {0, usb::UsbError{usb::UsbErrorKind::Stall, "stalled by the test"}};
        }
        auto r = m_device->bulkRead(buffer, timeout);
        record({false,
                {buffer.begin(), buffer.begin() + r.transferred},
                buffer.size(),
                r.ok(),
                {},
                kind(r)});
        return r;
    }
    std::optional<usb::UsbError> clearHalt(usb::BulkPipe pipe,
                                           std::chrono::milliseconds timeout) override {
        auto e = m_device->clearHalt(pipe, timeout);
        record({pipe == usb::BulkPipe::Out,
                {},
                0,
                !e,
                pipe == usb::BulkPipe::In ? "clear in" : "clear out",
                {}});
        return e;
    }
    std::optional<usb::UsbError> resetMassStorage(std::chrono::milliseconds timeout) override {
        auto e = m_device->resetMassStorage(timeout);
        record({true, {}, 0, !e, "reset", {}});
        return e;
    }

    // The wire in short: "W" / "R" for bulk transfers (with " stall", " timeout" ... when they
    // failed), the control requests by name.
    std::vector<std::string> ops() const {
        std::vector<std::string> out;
        for (const auto& t : transfers) {
            out.push_back(name(t));
        }
        return out;
    }

    std::vector<Transfer> transfers;
    // Told each operation by its name in ops() as it returns, as if the call still blocked.
    std::function<void(const std::string& op)> onOp;
    // The next status reads (4096 bytes asked) stall without reaching the device.
    int stalledStatusReads = 0;

private:
    static std::string name(const Transfer& t) {
        if (!t.control.empty()) {
            return t.control;
        }
        return std::string(t.out ? "W" : "R") +
               (t.error ? std::string(" ") + usb::toString(*t.error) : "");
    }
    void record(Transfer t) {
        transfers.push_back(std::move(t));
        if (onOp) {
            onOp(name(transfers.back()));
        }
    }
    static std::optional<usb::UsbErrorKind> kind(const usb::TransferResult& r) {
        return r.ok() ? std::nullopt : std::optional(r.error->kind);
    }

    std::shared_ptr<sim::VirtualDetector> m_device;
};

// Answers every read with fewer bytes than asked, and a status afterwards.
class ShortReadTransport final : public usb::UsbTransport {
public:
    usb::TransferResult bulkWrite(std::span<const std::uint8_t> data,
                                  std::chrono::milliseconds) override {
        return {data.size(), std::nullopt};
    }
    usb::TransferResult bulkRead(std::span<std::uint8_t> buffer,
                                 std::chrono::milliseconds) override {
        const std::size_t n = std::min<std::size_t>(buffer.size(), 13);
        std::fill_n(buffer.begin(), n, 0xAB);
        return {n, std::nullopt};
    }
    std::optional<usb::UsbError> clearHalt(usb::BulkPipe, std::chrono::milliseconds) override {
        return std::nullopt;
    }
    std::optional<usb::UsbError> resetMassStorage(std::chrono::milliseconds) override {
        return std::nullopt;
    }
};

class LinkTest : public testing::Test {
protected:
    void connect(sim::DeviceProfile profile = {}) {
        detector = std::make_shared<sim::VirtualDetector>(std::move(profile));
        wire = std::make_shared<RecordingTransport>(detector);
        link = std::make_unique<MassStorageController>(
            std::static_pointer_cast<usb::UsbTransport>(wire));
        link->MassStorageControllerInit();
        ASSERT_TRUE(link->Check_UsbConnection());
        wire->transfers.clear();
    }
    void TearDown() override { usb::releaseOpenInterface(); }

    std::shared_ptr<sim::VirtualDetector> detector;
    std::shared_ptr<RecordingTransport> wire;
    std::unique_ptr<MassStorageController> link;
};

TEST_F(LinkTest, ReadOfTheRadarVersionBlockSendsTheAddressAsBlockNumber) {
    connect();
    std::vector<std::uint8_t> page(256);
    ASSERT_TRUE(link->ReadFromDevice(1, 35792, page, 256, *link));
    ASSERT_EQ(wire->transfers.size(), 3U);
    EXPECT_EQ(hex(wire->transfers[0].bytes),
              hex("55534243 10C00914 00010000 80 00 0C D8 01 00008BD0 0000 01 000000 00000000"));
    EXPECT_EQ(detector->trace().back().address, 35792U);
}

TEST_F(LinkTest, ReadAt0x08002E00SendsQuotientAndLengthBytes) {
    connect();
    std::vector<std::uint8_t> page(256);
    ASSERT_TRUE(link->ReadFromDevice(0, 0x08002E00, page, 256, *link));
    const auto& w = wire->transfers[0].bytes;
    EXPECT_EQ(hex(std::span<const std::uint8_t>(w).subspan(8, 4)), hex("00 01 00 00"));
    EXPECT_EQ(hex(std::span<const std::uint8_t>(w).subspan(15, 6)), hex("D8 00 00 08 00 2E"));
}

TEST_F(LinkTest, ConsecutiveCallsNeverLeakTemplateValues) {
    connect();
    std::vector<std::uint8_t> page(4096);
    ASSERT_TRUE(link->ReadFromDevice(1, 35792, page, 4096, *link));
    ASSERT_TRUE(link->ReadFromDevice(0, 512, page, 256, *link));
    const auto& second = wire->transfers[3].bytes;
    EXPECT_EQ(hex(std::span<const std::uint8_t>(second).subspan(8, 4)), hex("00 01 00 00"));
    EXPECT_EQ(hex(std::span<const std::uint8_t>(second).subspan(15, 6)), hex("D8 00 00 00 00 02"));
    EXPECT_EQ(wire->transfers[4].asked, 256U);
}

TEST_F(LinkTest, WriteIsExactlyWrapperDataAndStatus) {
    connect();
    std::vector<std::uint8_t> data(1024);
    std::iota(data.begin(), data.end(), 0);
    ASSERT_TRUE(link->WriteToDevice(1, 0x2000, data, 1024, *link));
    ASSERT_EQ(wire->transfers.size(), 3U);
    EXPECT_TRUE(wire->transfers[0].out);
    EXPECT_EQ(hex(wire->transfers[0].bytes),
              hex("55534243 40180708 00040000 00 00 0C DA 01 00000008 0000 01 000000 00000000"));
    EXPECT_TRUE(wire->transfers[1].out);
    EXPECT_EQ(hex(wire->transfers[1].bytes), hex(data));
    EXPECT_FALSE(wire->transfers[2].out);
    EXPECT_EQ(wire->transfers[2].asked, 4096U);
    EXPECT_EQ(hex(wire->transfers[2].bytes), hex("55534253 40180708 00000000 00"));
    EXPECT_EQ(hex(detector->readMemory(1, 0x2000, 1024)), hex(data));
}

class PageSizeTest : public LinkTest, public testing::WithParamInterface<std::uint32_t> {};

TEST_P(PageSizeTest, WrittenPagesReadBack) {
    connect();
    const std::uint32_t size = GetParam();
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    ASSERT_TRUE(link->WriteToDevice(0, size * 5, data, size, *link));
    std::vector<std::uint8_t> back(size);
    ASSERT_TRUE(link->ReadFromDevice(0, size * 5, back, size, *link));
    EXPECT_EQ(hex(back), hex(data));
    std::vector<std::uint8_t> other(size);
    ASSERT_TRUE(link->ReadFromDevice(1, size * 5, other, size, *link));
    EXPECT_EQ(other, std::vector<std::uint8_t>(size, 0xFF)) << "selectors are separate memories";
}

INSTANTIATE_TEST_SUITE_P(Sizes, PageSizeTest, testing::Values(256U, 1024U, 4096U));

TEST_F(LinkTest, StalledWriteStatusFailsAlthoughTheDataArrived) {
    sim::DeviceProfile profile;
    profile.faults.push_back(sim::Fault::make(sim::FaultKind::StallStatus, sim::Operation::Write));
    connect(profile);
    const std::vector<std::uint8_t> data(256, 0x42);
    EXPECT_FALSE(link->WriteToDevice(0, 0, data, 256, *link));
    EXPECT_EQ(detector->readMemory(0, 0, 256), data);
    EXPECT_EQ(kr, usb::resultCode(usb::UsbErrorKind::Stall));
    // The host clears the halt and takes the status the device still holds.
    EXPECT_THAT(wire->ops(), testing::ElementsAre("W", "W", "R stall", "clear in", "R"));
}

TEST_F(LinkTest, FailedStatusIsNotJudged) {
    sim::DeviceProfile profile;
    profile.faults.push_back(sim::Fault::make(sim::FaultKind::FailStatus));
    connect(profile);
    const std::vector<std::uint8_t> data(256, 1);
    EXPECT_TRUE(link->WriteToDevice(0, 0, data, 256, *link));
}

TEST_F(LinkTest, BadLengthsAreRefusedWithoutTraffic) {
    connect();
    std::vector<std::uint8_t> buffer(8192);
    EXPECT_FALSE(link->ReadFromDevice(0, 0, buffer, 0, *link));
    EXPECT_FALSE(link->ReadFromDevice(0, 0, buffer, 4097, *link));
    EXPECT_FALSE(link->WriteToDevice(0, 0, buffer, 0, *link));
    EXPECT_FALSE(link->WriteToDevice(0, 0, buffer, 4097, *link));
    EXPECT_FALSE(link->ReadFromDevice(0, 0, std::span(buffer).first(100), 256, *link));
    EXPECT_FALSE(link->WriteToDevice(0, 0, std::span(buffer).first(100), 256, *link));
    EXPECT_TRUE(wire->transfers.empty());
}

TEST_F(LinkTest, SilentDataPhaseGivesFalse) {
    sim::DeviceProfile profile;
    auto silent = sim::Fault::make(sim::FaultKind::NoAnswer, sim::Operation::Read);
    silent.phase = sim::Phase::Data;
    profile.faults.push_back(silent);
    connect(profile);
    std::vector<std::uint8_t> page(256, 0x11);
    EXPECT_FALSE(link->ReadFromDevice(0, 0, page, 256, *link));
    EXPECT_EQ(kr, usb::resultCode(usb::UsbErrorKind::Timeout));
    EXPECT_EQ(page, std::vector<std::uint8_t>(256, 0x11));
}

TEST_F(LinkTest, UnplugMidTransactionFailsAndConnectionStillReportsTrue) {
    sim::DeviceProfile profile;
    auto unplug = sim::Fault::make(sim::FaultKind::Unplug);
    unplug.after = 1;
    profile.faults.push_back(unplug);
    connect(profile);
    std::vector<std::uint8_t> page(256);
    EXPECT_TRUE(link->ReadFromDevice(0, 0, page, 256, *link));
    EXPECT_FALSE(link->ReadFromDevice(0, 256, page, 256, *link));
    EXPECT_EQ(kr, usb::resultCode(usb::UsbErrorKind::NoDevice));
    EXPECT_TRUE(link->Check_UsbConnection());
}

TEST_F(LinkTest, CorruptPageReadsBackWithOneByteChanged) {
    sim::DeviceProfile profile;
    auto corrupt = sim::Fault::make(sim::FaultKind::CorruptRead);
    corrupt.selector = 0;
    corrupt.address = 0x1005;
    profile.faults.push_back(corrupt);
    connect(profile);
    const std::vector<std::uint8_t> data(256, 0x30);
    ASSERT_TRUE(link->WriteToDevice(0, 0x1000, data, 256, *link));
    std::vector<std::uint8_t> back(256);
    ASSERT_TRUE(link->ReadFromDevice(0, 0x1000, back, 256, *link));
    auto expected = data;
    expected[5] = 0x31;
    EXPECT_EQ(hex(back), hex(expected));
}

// --- recovery ---

struct RecoveryCase {
    const char* name;
    std::vector<sim::FaultKind> faults; // each once, on the operation at 0x1000
    bool write = false;
    std::uint8_t selector = 0; // 2: a wrapper the device rejects
    bool result = false;
    std::optional<usb::UsbErrorKind> kr;
    std::vector<std::string> ops;
    sim::Phase phase = sim::Phase::Data; // of a no-answer fault
};

void PrintTo(const RecoveryCase& c, std::ostream* os) { *os << c.name; }

class RecoveryTest : public LinkTest, public testing::WithParamInterface<RecoveryCase> {};

TEST_P(RecoveryTest, FailedOperationKeepsItsResultAndTheLinkIsRecovered) {
    const auto& c = GetParam();
    sim::DeviceProfile profile;
    profile.memory.push_back({0, 0x1100, std::vector<std::uint8_t>(256, 0xB2)});
    for (const auto kind : c.faults) {
        sim::Fault fault = sim::Fault::make(kind);
        fault.address = 0x1000;
        fault.phase = c.phase;
        fault.times = 1;
        profile.faults.push_back(fault);
    }
    connect(profile);
    std::vector<std::uint8_t> page(256, 0x42);
    const bool result = c.write ? link->WriteToDevice(c.selector, 0x1000, page, 256, *link)
                                : link->ReadFromDevice(c.selector, 0x1000, page, 256, *link);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(kr, c.kr ? usb::resultCode(*c.kr) : 0);
    EXPECT_THAT(wire->ops(), testing::ElementsAreArray(c.ops)) << detector->traceText();
    wire->transfers.clear();
    ASSERT_TRUE(link->ReadFromDevice(0, 0x1100, page, 256, *link)) << detector->traceText();
    EXPECT_THAT(wire->ops(), testing::ElementsAre("W", "R", "R"));
    EXPECT_EQ(page, std::vector<std::uint8_t>(256, 0xB2));
}

using K = sim::FaultKind;
using E = usb::UsbErrorKind;
const std::vector<std::string> kResetAfterStatus{"W", "R", "R", "reset", "clear in", "clear out"};

INSTANTIATE_TEST_SUITE_P(
    Link, RecoveryTest,
    testing::Values(
        RecoveryCase{"ReadDataStall",
                     {K::StallData},
                     false,
                     0,
                     false,
                     E::Stall,
                     {"W", "R stall", "clear in", "R"}},
        RecoveryCase{"ReadStatusStall",
                     {K::StallStatus},
                     false,
                     0,
                     false,
                     E::Stall,
                     {"W", "R", "R stall", "clear in", "R"}},
        RecoveryCase{"ReadDataAndStatusStall",
                     {K::StallData, K::StallStatus},
                     false,
                     0,
                     false,
                     E::Stall,
                     {"W", "R stall", "clear in", "R stall", "clear in", "R"}},
        RecoveryCase{"ReadDataTimeout",
                     {K::NoAnswer},
                     false,
                     0,
                     false,
                     E::Timeout,
                     {"W", "R timeout", "reset", "clear in", "clear out"}},
        RecoveryCase{"ReadStatusTimeout",
                     {K::NoAnswer},
                     false,
                     0,
                     false,
                     E::Timeout,
                     {"W", "R", "R timeout", "reset", "clear in", "clear out"},
                     sim::Phase::Status},
        RecoveryCase{
            "PhaseErrorStillSucceeds", {K::PhaseError}, false, 0, true, {}, kResetAfterStatus},
        RecoveryCase{
            "WrongStatusTagStillSucceeds", {K::BadStatus}, false, 0, true, {}, kResetAfterStatus},
        RecoveryCase{
            "FailedStatusNeedsNothing", {K::FailStatus}, false, 0, true, {}, {"W", "R", "R"}},
        RecoveryCase{"WriteDataStall",
                     {K::StallData},
                     true,
                     0,
                     false,
                     E::Stall,
                     {"W", "W stall", "clear out", "R"}},
        RecoveryCase{"WriteStatusStall",
                     {K::StallStatus},
                     true,
                     0,
                     false,
                     E::Stall,
                     {"W", "W", "R stall", "clear in", "R"}},
        RecoveryCase{"WriteDataTimeout",
                     {K::NoAnswer},
                     true,
                     0,
                     false,
                     E::Timeout,
                     {"W", "W timeout", "reset", "clear in", "clear out"}},
        RecoveryCase{"RejectedWrapper",
                     {},
                     false,
                     2,
                     false,
                     E::Stall,
                     {"W stall", "reset", "clear in", "clear out"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkTest, StatusThatStallsAgainAfterTheClearGetsResetRecovery) {
    sim::DeviceProfile profile;
    profile.memory.push_back({0, 0x1100, std::vector<std::uint8_t>(256, 0xB2)});
    auto stall = sim::Fault::make(K::StallData);
    stall.address = 0x1000;
    profile.faults.push_back(stall);
    connect(profile);
    wire->stalledStatusReads = 2;
    std::vector<std::uint8_t> page(256);
    EXPECT_FALSE(link->ReadFromDevice(0, 0x1000, page, 256, *link));
    EXPECT_THAT(wire->ops(), testing::ElementsAre("W", "R stall", "clear in", "R stall", "clear in",
                                                  "R stall", "reset", "clear in", "clear out"));
    EXPECT_TRUE(link->ReadFromDevice(0, 0x1100, page, 256, *link)) << detector->traceText();
    EXPECT_EQ(page, std::vector<std::uint8_t>(256, 0xB2));
}

// A clear-halt over libusb ignores its time-out (the kernel gives it 5 s): a quit must not wait
// for the steps after the one in flight.
TEST_F(LinkTest, StopDuringRecoveryIssuesNoFurtherStep) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"R timeout", {"W", "R timeout"}},
        {"clear in", {"W", "R timeout", "reset", "clear in"}},
    };
    for (const auto& [stopAt, expected] : cases) {
        sim::DeviceProfile profile;
        auto silent = sim::Fault::make(K::NoAnswer);
        silent.address = 0x1000;
        silent.phase = sim::Phase::Data;
        profile.faults.push_back(silent);
        connect(profile);
        wire->onOp = [this, stopAt = stopAt](const std::string& op) {
            if (op == stopAt) {
                link->requestStop();
            }
        };
        std::vector<std::uint8_t> page(256);
        EXPECT_FALSE(link->ReadFromDevice(0, 0x1000, page, 256, *link));
        EXPECT_THAT(wire->ops(), testing::ElementsAreArray(expected)) << "stop at " << stopAt;
        usb::releaseOpenInterface();
    }
}

TEST_F(LinkTest, GoneDeviceEndsRecoveryAtOnce) {
    sim::DeviceProfile profile;
    profile.faults.push_back(sim::Fault::make(K::Unplug));
    connect(profile);
    std::vector<std::uint8_t> page(256);
    EXPECT_FALSE(link->ReadFromDevice(0, 0, page, 256, *link));
    EXPECT_EQ(kr, usb::resultCode(E::NoDevice));
    EXPECT_THAT(wire->ops(), testing::ElementsAre("W", "R no device"));
}

class RecoveryNeeded : public LinkTest,
                       public testing::WithParamInterface<recovery_scenarios::Scenario> {};

TEST_P(RecoveryNeeded, NextCommandWorks) {
    connect(GetParam().profile);
    GetParam().run(*link, *detector);
}

INSTANTIATE_TEST_SUITE_P(InProcess, RecoveryNeeded, testing::ValuesIn(recovery_scenarios::all()),
                         [](const auto& info) { return info.param.name; });

TEST(LinkShortReadTest, ShortDataPhaseIsAFailure) {
    MassStorageController link(std::make_shared<ShortReadTransport>());
    link.MassStorageControllerInit();
    ASSERT_TRUE(link.Check_UsbConnection());
    std::vector<std::uint8_t> page(256, 0);
    EXPECT_FALSE(link.ReadFromDevice(0, 0, page, 256, link));
    EXPECT_EQ(page[12], 0xAB);
    EXPECT_EQ(page[13], 0x00) << "the rest of the buffer keeps what it held";
    usb::releaseOpenInterface();
}

TEST(LinkStateTest, NothingIsSentBeforeAConnection) {
    auto bus = std::make_shared<sim::VirtualUsbBus>();
    MassStorageController link(bus);
    std::vector<std::uint8_t> page(256);
    EXPECT_FALSE(link.Check_UsbConnection());
    EXPECT_FALSE(link.UsbConnectionStatus());
    EXPECT_FALSE(link.ReadFromDevice(0, 0, page, 256, link));
}

// --- discovery ---

// Counts the claims of each device, in the order the inner bus offered them.
class ClaimCountingBus final : public usb::UsbBus {
public:
    explicit ClaimCountingBus(std::shared_ptr<usb::UsbBus> inner)
        : m_inner(std::move(inner)) {}

    std::vector<std::unique_ptr<usb::UsbDevice>> takeMatched() override {
        auto devices = m_inner->takeMatched();
        for (auto& d : devices) {
            m_counts->push_back(0);
            d = std::make_unique<Counted>(std::move(d), m_counts, m_counts->size() - 1);
        }
        return devices;
    }
    void waitForArrival(std::chrono::milliseconds timeout) override {
        m_inner->waitForArrival(timeout);
    }
    void wake() override { m_inner->wake(); }
    std::vector<int> claimAttempts() const { return *m_counts; }

private:
    using Counts = std::shared_ptr<std::vector<int>>;
    class Counted final : public usb::UsbDevice {
    public:
        Counted(std::unique_ptr<usb::UsbDevice> inner, Counts counts, std::size_t index)
            : m_inner(std::move(inner))
            , m_counts(std::move(counts))
            , m_index(index) {}
        usb::DeviceIdentity identity() const override { return m_inner->identity(); }
        std::string describe() const override { return m_inner->describe(); }
        usb::UsbStatus open() override { return m_inner->open(); }
        void close() override { m_inner->close(); }
        std::uint8_t numberOfConfigurations() override { return m_inner->numberOfConfigurations(); }
        std::optional<std::uint8_t> configurationValue(std::uint8_t index) override {
            return m_inner->configurationValue(index);
        }
        usb::UsbStatus setConfiguration(std::uint8_t value) override {
            return m_inner->setConfiguration(value);
        }
        std::variant<usb::OpenedInterface, usb::UsbError> openFirstInterface() override {
            ++(*m_counts)[m_index];
            return m_inner->openFirstInterface();
        }

    private:
        std::unique_ptr<usb::UsbDevice> m_inner;
        Counts m_counts;
        std::size_t m_index;
    };

    std::shared_ptr<usb::UsbBus> m_inner;
    Counts m_counts = std::make_shared<std::vector<int>>();
};

class DiscoveryTest : public testing::Test {
protected:
    void TearDown() override { usb::releaseOpenInterface(); }

    static std::shared_ptr<sim::VirtualDetector> device(std::uint16_t release,
                                                        bool refuseConfiguration = false) {
        sim::DeviceProfile profile;
        profile.release = release;
        if (refuseConfiguration) {
            profile.faults.push_back(sim::Fault::make(sim::FaultKind::RefuseConfiguration));
        }
        return std::make_shared<sim::VirtualDetector>(profile);
    }

    // Runs the wait until a device opens or it is stopped after `rounds` bus waits.
    static void initWithStop(MassStorageController& link, std::shared_ptr<sim::VirtualUsbBus> bus,
                             std::size_t rounds) {
        std::stop_source stop;
        std::jthread watchdog([&, bus] {
            while (bus->waitCount() < rounds && !stop.stop_requested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            stop.request_stop();
        });
        link.MassStorageControllerInit(stop.get_token());
        stop.request_stop();
    }

    static bool isOpen(const std::shared_ptr<sim::VirtualDetector>& d) {
        return intf.get() == static_cast<usb::UsbTransport*>(d.get());
    }
};

TEST_F(DiscoveryTest, WrongReleaseIsSkippedAndTheWaitGoesOn) {
    auto bus = std::make_shared<sim::VirtualUsbBus>();
    auto old = device(0x0100);
    auto good = device(0x0200);
    bus->plug(old);
    MassStorageController link(bus);
    std::jthread plugLater([&] {
        while (bus->waitCount() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        bus->plug(good);
    });
    link.MassStorageControllerInit();
    ASSERT_TRUE(link.Check_UsbConnection());
    EXPECT_TRUE(isOpen(good));
    EXPECT_EQ(link.intf_final().get(), static_cast<usb::UsbTransport*>(good.get()));
}

TEST_F(DiscoveryTest, DeviceWhoseConfigurationCannotBeSetIsSkipped) {
    auto bus = std::make_shared<sim::VirtualUsbBus>();
    bus->plug(device(0x0200, true));
    MassStorageController link(bus);
    initWithStop(link, bus, 2);
    EXPECT_FALSE(link.Check_UsbConnection());
    ASSERT_TRUE(usb::lastSkipReason().has_value());
    EXPECT_NE(usb::lastSkipReason()->find("configuration"), std::string::npos);
}

// With several matching devices the first that opens is kept and the rest are never touched,
// so other updater processes can claim them; a busy device is passed over, and no later
// device can undo an earlier success.
struct SeveralDevicesCase {
    const char* name;
    std::vector<bool> claimable;
    int kept; // index of the device whose interface is open, -1 for none
    std::vector<int> claimAttempts;
};

class SeveralDevicesTest : public DiscoveryTest,
                           public testing::WithParamInterface<SeveralDevicesCase> {};

TEST_P(SeveralDevicesTest, FirstClaimableIsKeptAndTheOthersLeftAlone) {
    const auto& c = GetParam();
    auto bus = std::make_shared<sim::VirtualUsbBus>();
    std::vector<std::shared_ptr<sim::VirtualDetector>> devices;
    for (const bool claimable : c.claimable) {
        devices.push_back(device(0x0200));
        if (!claimable) {
            devices.back()->addFault(sim::Fault::make(sim::FaultKind::RefuseInterface));
        }
        bus->plug(devices.back());
    }
    auto counted = std::make_shared<ClaimCountingBus>(bus);
    MassStorageController link(counted);
    initWithStop(link, bus, 1);
    EXPECT_EQ(link.Check_UsbConnection(), c.kept >= 0);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(isOpen(devices[i]), static_cast<int>(i) == c.kept) << "device " << i;
    }
    EXPECT_EQ(counted->claimAttempts(), c.claimAttempts);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SeveralDevicesTest,
    testing::Values(SeveralDevicesCase{"TwoFreeFirstKept", {true, true}, 0, {1, 0}},
                    SeveralDevicesCase{"BusyFirstSkipped", {false, true, true}, 1, {1, 1, 0}},
                    SeveralDevicesCase{"LaterBusyNeverTouched", {true, false}, 0, {1, 0}},
                    SeveralDevicesCase{"AllBusy", {false, false}, -1, {1, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiscoveryTest, StopEndsTheWaitWithoutAConnection) {
    auto bus = std::make_shared<sim::VirtualUsbBus>();
    MassStorageController link(bus);
    std::jthread stopper([&] {
        while (bus->waitCount() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        link.requestStop();
    });
    link.MassStorageControllerInit();
    EXPECT_FALSE(link.Check_UsbConnection());
}

TEST_F(DiscoveryTest, FindInterfacesListsPipesUpToTheEndpointCount) {
    auto detector = device(0x0200);
    auto bus = std::make_shared<sim::VirtualUsbBus>();
    bus->plug(detector);
    auto devices = bus->takeMatched();
    ASSERT_EQ(devices.size(), 1U);
    testing::internal::CaptureStdout();
    EXPECT_EQ(FindInterfaces(*devices[0]), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "direction in, ");
    EXPECT_EQ(ConfigureAnchorDevice(*devices[0]), 0);
}

struct SkipCase {
    const char* name;
    usb::DeviceIdentity identity;
    std::optional<usb::UsbErrorKind> openError;
    usb::SkipKind kind;
    const char* text;
};

void PrintTo(const SkipCase& c, std::ostream* os) { *os << c.name; }

class SkipReasonTest : public testing::TestWithParam<SkipCase> {
protected:
    void TearDown() override { usb::releaseOpenInterface(); }
};

TEST_P(SkipReasonTest, NamesWhatDidNotMatchAndClearsWhenADeviceOpens) {
    const auto& c = GetParam();
    auto rest = std::make_shared<sim::VirtualUsbBus>();
    auto bus = std::make_shared<OneRefusalBus>(
        std::make_unique<RefusingDevice>(c.identity, c.openError), rest);
    MassStorageController link(std::static_pointer_cast<usb::UsbBus>(bus));
    std::vector<std::string> told;
    link.setSkipListener([&](const std::optional<usb::SkipReason>& reason) {
        told.push_back(reason ? std::to_string(static_cast<int>(reason->kind)) + " " +
                                    reason->device + ": " + reason->text
                              : "cleared");
    });
    std::jthread plugLater([&] {
        while (rest->waitCount() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        sim::DeviceProfile profile;
        rest->plug(std::make_shared<sim::VirtualDetector>(profile));
    });
    link.MassStorageControllerInit();
    ASSERT_TRUE(link.Check_UsbConnection());
    const std::string expected =
        std::to_string(static_cast<int>(c.kind)) + " stub device: " + c.text;
    EXPECT_EQ(told, (std::vector<std::string>{expected, "cleared"}));
    EXPECT_EQ(usb::lastSkipReason(), "stub device: " + std::string(c.text));
}

INSTANTIATE_TEST_SUITE_P(Cases, SkipReasonTest,
                         testing::Values(SkipCase{"Vendor",
                                                  {0x1234, 0x5720, 0x0200},
                                                  {},
                                                  usb::SkipKind::WrongIdentity,
                                                  "vendor 1234 is not 0483"},
                                         SkipCase{"Product",
                                                  {0x0483, 0x5721, 0x0200},
                                                  {},
                                                  usb::SkipKind::WrongIdentity,
                                                  "product 5721 is not 5720"},
                                         SkipCase{"Release",
                                                  {0x0483, 0x5720, 0x0100},
                                                  {},
                                                  usb::SkipKind::WrongIdentity,
                                                  "release 0100 is not 0200"},
                                         SkipCase{"NotPermitted",
                                                  {0x0483, 0x5720, 0x0200},
                                                  usb::UsbErrorKind::NotPermitted,
                                                  usb::SkipKind::NotPermitted,
                                                  "opening stub device: refused"},
                                         SkipCase{"Busy",
                                                  {0x0483, 0x5720, 0x0200},
                                                  usb::UsbErrorKind::Busy,
                                                  usb::SkipKind::Busy,
                                                  "opening stub device: refused"},
                                         SkipCase{"Interface",
                                                  {0x0483, 0x5720, 0x0200},
                                                  {},
                                                  usb::SkipKind::SetupFailed,
                                                  "no interface"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LinkStartTest, AUsbLibraryThatCannotStartEndsTheWaitWithAReason) {
    int created = 0;
    MassStorageController link(MassStorageController::BusFactory(
        [&]() -> std::variant<std::shared_ptr<usb::UsbBus>, usb::UsbError> {
            ++created;
            return usb::UsbError{usb::UsbErrorKind::Io, "initialising libusb: LIBUSB_ERROR_OTHER"};
        }));
    std::string diagnostics;
    usb::setDiagnosticSink([&](std::string_view text) { diagnostics += text; });
    link.MassStorageControllerInit();
    usb::setDiagnosticSink({});
    EXPECT_EQ(created, 1);
    EXPECT_FALSE(link.Check_UsbConnection());
    EXPECT_EQ(link.startFailure(), "USB cannot be used: initialising libusb: LIBUSB_ERROR_OTHER");
    EXPECT_EQ(diagnostics, "ERR: Couldn't create a master IOKit Port(ffffffff)\n");
}

TEST(LinkStartTest, ReleaseOpenInterfaceDropsTheInterfaceAndTheBus) {
    auto bus = std::make_shared<sim::VirtualUsbBus>();
    sim::DeviceProfile profile;
    auto detector = std::make_shared<sim::VirtualDetector>(profile);
    bus->plug(detector);
    std::weak_ptr<sim::VirtualUsbBus> watched = bus;
    {
        MassStorageController link(std::static_pointer_cast<usb::UsbBus>(std::move(bus)));
        std::string diagnostics;
        usb::setDiagnosticSink([&](std::string_view text) { diagnostics += text; });
        link.MassStorageControllerInit();
        usb::setDiagnosticSink({});
        ASSERT_TRUE(link.Check_UsbConnection());
        EXPECT_EQ(diagnostics, "direction in, ") << "the sink, not standard output";
    }
    EXPECT_EQ(intf.get(), static_cast<usb::UsbTransport*>(detector.get()));
    EXPECT_FALSE(watched.expired()) << "the module still holds the bus";
    usb::releaseOpenInterface();
    EXPECT_EQ(intf, nullptr);
    EXPECT_EQ(gNotifyPort, nullptr);
    EXPECT_TRUE(watched.expired());
}

TEST(SignalHandlerDeathTest, InterruptEndsTheProcessWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto bus = std::make_shared<sim::VirtualUsbBus>();
            MassStorageController link(bus);
            std::thread([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                std::raise(SIGINT);
            }).detach();
            link.MassStorageControllerInit();
            std::_Exit(3);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
