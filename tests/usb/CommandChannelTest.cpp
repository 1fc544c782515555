#include "sim/StorageDriverChannel.hpp"
#include "sim/VirtualDetector.hpp"
#include "sim/VirtualPassThrough.hpp"
#include "usb/BulkOnlyChannel.hpp"
#include "usb/PassThroughChannel.hpp"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using usb::UsbErrorKind;

enum class Command { Read, Write, TestUnitReady, Inquiry };

constexpr std::uint32_t kAddress = 0x08004000;

// A transaction as the link sends it, with its wrapper as the templates give it.
struct Prepared {
    usb::CommandWrapperBytes wrapper{};
    usb::CommandTransaction transaction;
    std::vector<std::uint8_t> data;
};

Prepared prepare(Command command) {
    Prepared p;
    p.transaction.timeout = std::chrono::milliseconds(1000);
    switch (command) {
    case Command::Read:
    case Command::Write: {
        const bool read = command == Command::Read;
        p.wrapper = read ? usb::kCommandReadTemplate : usb::kCommandWriteTemplate;
        usb::writeWrapperLength(p.wrapper, 256);
        usb::writeMemoryCommand(p.wrapper, 1, usb::blockNumberFor(kAddress, 256));
        p.data.assign(256, 0);
        for (std::size_t i = 0; i < p.data.size(); ++i) {
            p.data[i] = read ? 0 : static_cast<std::uint8_t>(i * 3 + 1);
        }
        p.transaction.direction = read ? usb::DataDirection::In : usb::DataDirection::Out;
        p.transaction.announcedLength = 256;
        break;
    }
    case Command::TestUnitReady:
        p.wrapper = usb::kTestUnitReadyTemplate;
        p.transaction.announcedLength = 1024;
        break;
    case Command::Inquiry:
        p.wrapper = usb::kInquiryTemplate;
        p.data.assign(1023, 0);
        p.transaction.direction = usb::DataDirection::In;
        p.transaction.announcedLength = 1024;
        break;
    }
    p.transaction.commandBlock =
        std::span<const std::uint8_t>(p.wrapper).subspan(15, p.wrapper[14]);
    p.transaction.in = p.data;
    p.transaction.out = p.data;
    return p;
}

TEST(BulkOnlyChannel, SendsTheTemplatesByteForByte) {
    for (const auto command :
         {Command::Read, Command::Write, Command::TestUnitReady, Command::Inquiry}) {
        const auto p = prepare(command);
        EXPECT_EQ(usb::BulkOnlyChannel::wrapperFor(p.transaction), p.wrapper)
            << static_cast<int>(command);
    }
}

struct Outcome {
    std::optional<UsbErrorKind> error;
    std::size_t transferred;
};

struct Row {
    const char* name;
    Command command;
    std::optional<sim::FaultKind> fault;
    Outcome bulkOnly;
    std::optional<usb::TransactionPhase> failedPhase;
    Outcome driver;
};

// The same transactions through the wire, through a storage driver and through the system's
// pass-through call: what each reports, and that the device is in step afterwards.
TEST(CommandChannel, BothCarriersReportEachOutcomeAndLeaveTheDeviceInStep) {
    using Phase = usb::TransactionPhase;
    const Row rows[] = {
        {"read", Command::Read, {}, {{}, 256}, {}, {{}, 256}},
        {"write", Command::Write, {}, {{}, 256}, {}, {{}, 256}},
        {"test unit ready", Command::TestUnitReady, {}, {{}, 0}, {}, {{}, 0}},
        {"inquiry", Command::Inquiry, {}, {{}, 36}, {}, {{}, 36}},
        {"read, data halted",
         Command::Read,
         sim::FaultKind::StallData,
         {UsbErrorKind::Stall, 0},
         Phase::DataIn,
         {UsbErrorKind::Protocol, 0}},
        {"write, status halted once",
         Command::Write,
         sim::FaultKind::StallStatus,
         {UsbErrorKind::Stall, 256},
         Phase::Status,
         {{}, 256}},
        {"read, failed status",
         Command::Read,
         sim::FaultKind::FailStatus,
         {{}, 256},
         {},
         {UsbErrorKind::Protocol, 256}},
        {"write, phase error",
         Command::Write,
         sim::FaultKind::PhaseError,
         {{}, 256},
         {},
         {UsbErrorKind::Io, 256}},
        {"inquiry, wrong status tag",
         Command::Inquiry,
         sim::FaultKind::BadStatus,
         {{}, 36},
         {},
         {UsbErrorKind::Io, 36}},
        {"test unit ready, late status",
         Command::TestUnitReady,
         sim::FaultKind::NoAnswer,
         {UsbErrorKind::Timeout, 0},
         Phase::Status,
         {UsbErrorKind::Timeout, 0}},
        {"read, unplugged",
         Command::Read,
         sim::FaultKind::Unplug,
         {UsbErrorKind::NoDevice, 0},
         Phase::DataIn,
         {UsbErrorKind::NoDevice, 0}},
    };
    for (const auto& row : rows) {
        constexpr std::array<const char*, 3> kCarriers{" (wire)", " (driver)", " (pass-through)"};
        for (std::size_t carrier = 0; carrier < kCarriers.size(); ++carrier) {
            const bool driver = carrier > 0;
            const std::string where = std::string(row.name) + kCarriers[carrier];
            auto shared = std::make_shared<sim::VirtualDetector>();
            sim::VirtualDetector& detector = *shared;
            const std::vector<std::uint8_t> stored(256, 0x5A);
            detector.writeMemory(1, kAddress, stored);
            if (row.fault) {
                auto fault = sim::Fault::make(*row.fault);
                fault.times = 1;
                detector.addFault(fault);
            }
            std::array<std::uint8_t, 64> status{};
            usb::BulkOnlyChannel wire(detector, std::chrono::milliseconds(1000), status, true);
            sim::StorageDriverChannel storage(detector, std::chrono::milliseconds(1000));
            usb::PassThroughChannel passThrough(std::make_shared<sim::VirtualPassThrough>(shared));
            const std::array<usb::CommandChannel*, 3> channels{&wire, &storage, &passThrough};
            usb::CommandChannel& channel = *channels[carrier];

            auto p = prepare(row.command);
            const auto result = channel.transact(p.transaction);
            const Outcome& expected = driver ? row.driver : row.bulkOnly;
            EXPECT_EQ(result.error ? std::optional(result.error->kind) : std::nullopt,
                      expected.error)
                << where << ": " << (result.error ? result.error->message : "");
            EXPECT_EQ(result.transferred, expected.transferred) << where;
            EXPECT_EQ(result.failedPhase, driver ? std::nullopt : row.failedPhase) << where;
            if (row.command == Command::Read && expected.transferred == 256) {
                EXPECT_EQ(p.data, stored) << where;
            }
            if (row.command == Command::Inquiry && expected.transferred > 0) {
                EXPECT_EQ(std::string(p.data.begin() + 8, p.data.begin() + 32),
                          "CORVANTHIS UMSCPT DEVICE")
                    << where;
            }
            if (row.command == Command::Write && !expected.error) {
                EXPECT_EQ(detector.readMemory(1, kAddress, 256), p.data) << where;
            }
            if (row.fault == sim::FaultKind::Unplug) {
                continue;
            }
            // In step: the next command goes through on its own.
            auto next = prepare(Command::Read);
            const auto after = channel.transact(next.transaction);
            EXPECT_TRUE(after.ok()) << where << ": " << after.error->message;
            EXPECT_EQ(after.status, std::optional<std::uint8_t>(0)) << where;
        }
    }
}

struct ReplyRow {
    usb::PassThroughReply reply;
    std::optional<UsbErrorKind> kind;
    const char* message;
};

usb::PassThroughReply reply(std::uint32_t error, std::uint8_t status = 0,
                            std::vector<std::uint8_t> sense = {}) {
    usb::PassThroughReply r;
    r.systemError = error;
    r.scsiStatus = status;
    std::copy(sense.begin(), sense.end(), r.sense.begin());
    r.senseLength = sense.size();
    return r;
}

TEST(PassThroughChannel, TranslatesEachReplyInOnePlace) {
    const ReplyRow rows[] = {
        {reply(0), {}, ""},
        {reply(0, 2, {0x70, 0, 0x05}), UsbErrorKind::Protocol,
         "check condition, sense key 0x5 (illegal request)"},
        {reply(0, 2, {0xF0, 0, 0x26}), UsbErrorKind::Protocol,
         "check condition, sense key 0x6 (unit attention)"},
        {reply(0, 2, {0x72, 0x0B, 0}), UsbErrorKind::Protocol,
         "check condition, sense key 0xB (aborted command)"},
        {reply(0, 2), UsbErrorKind::Protocol, "check condition, no sense data"},
        {reply(0, 0x08), UsbErrorKind::Io, "SCSI status 0x08"},
        {reply(usb::kErrorSemTimeout), UsbErrorKind::Timeout,
         "the storage driver timed the command out"},
        {reply(usb::kErrorTimeout), UsbErrorKind::Timeout,
         "the storage driver timed the command out"},
        {reply(usb::kErrorDeviceNotConnected), UsbErrorKind::NoDevice,
         "the detector is no longer connected"},
        {reply(usb::kErrorNoSuchDevice), UsbErrorKind::NoDevice,
         "the detector is no longer connected"},
        {reply(usb::kErrorAccessDenied, 2, {0x70, 0, 0x05}), UsbErrorKind::Io,
         "the storage driver failed the command (system error 5)"},
    };
    for (const auto& row : rows) {
        const auto error = usb::translatePassThrough(row.reply);
        EXPECT_EQ(error ? std::optional(error->kind) : std::nullopt, row.kind) << row.message;
        EXPECT_EQ(error ? error->message : "", row.message);
    }
    const std::pair<int, std::uint32_t> seconds[] = {{0, 1},    {1, 1},    {1000, 1},
                                                     {1001, 2}, {5000, 5}, {10000, 10}};
    for (const auto& [ms, s] : seconds) {
        EXPECT_EQ(usb::passThroughSeconds(std::chrono::milliseconds(ms)), s) << ms;
    }
}

} // namespace
