#include "usb/StorageDriverBus.hpp"

#include "sim/VirtualDetector.hpp"
#include "sim/VirtualPassThrough.hpp"
#include "support/TestSupport.hpp"
#include "usb/DetectorSurvey.hpp"
#include "usb/MassStorageController.hpp"
#include "usb/PortFilterBus.hpp"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using testing_support::hex;
using usb::UsbErrorKind;

constexpr std::uint32_t kAddress = 0x08004000;

std::string location(int port) {
    return "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)#USB(" + std::to_string(port) + ")";
}

// A disk the system lists: the detector behind it answers pass-through as the storage driver
// would; none for a disk that is not a detector.
struct FakeDisk {
    usb::DiskInterface disk;
    std::shared_ptr<sim::VirtualDetector> detector;
    std::uint32_t openError = 0;
};

FakeDisk detectorDisk(int port, std::uint16_t release = 0x0200, std::uint32_t openError = 0) {
    sim::DeviceProfile profile;
    profile.release = release;
    std::vector<std::uint8_t> stored(256);
    for (std::size_t i = 0; i < stored.size(); ++i) {
        stored[i] = static_cast<std::uint8_t>(i * 7 + port);
    }
    profile.memory.push_back({1, kAddress, stored});
    char id[40];
    std::snprintf(id, sizeof id, "USB\\VID_0483&PID_5720&REV_%04X", release);
    return {{"\\\\?\\usbstor#disk&ven_corvanth#" + std::to_string(port) + "#{53f56307}", id,
             location(port), "UMSCPT DEVICE"},
            std::make_shared<sim::VirtualDetector>(profile),
            openError};
}

class FakeCalls final : public usb::WinDeviceCalls {
public:
    class Handle final : public usb::PassThroughCalls {
    public:
        Handle(FakeCalls& calls, std::shared_ptr<sim::VirtualDetector> detector)
            : m_calls(calls)
            , m_virtual(std::move(detector)) {
            ++m_calls.openHandles;
        }
        ~Handle() override { --m_calls.openHandles; }

        usb::PassThroughReply passThrough(const usb::PassThroughRequest& request) override {
            m_calls.timeouts.push_back(request.timeoutSeconds);
            if (m_calls.scripted) {
                return *m_calls.scripted;
            }
            return m_virtual.passThrough(request);
        }

    private:
        FakeCalls& m_calls;
        sim::VirtualPassThrough m_virtual;
    };

    std::vector<usb::DiskInterface> presentDisks() override {
        std::vector<usb::DiskInterface> present;
        for (const auto& fake : disks) {
            if (!fake.detector || !fake.detector->unplugged()) {
                present.push_back(fake.disk);
            }
        }
        return present;
    }

    std::variant<std::shared_ptr<usb::PassThroughCalls>, std::uint32_t>
    openDisk(const std::string& path) override {
        for (const auto& fake : disks) {
            if (fake.disk.path == path) {
                if (fake.openError != 0) {
                    return fake.openError;
                }
                return std::make_shared<Handle>(*this, fake.detector);
            }
        }
        return usb::kErrorFileNotFound;
    }

    void waitForArrival(std::chrono::milliseconds) override { ++waits; }
    void wake() override {}

    std::vector<FakeDisk> disks;
    int openHandles = 0;
    int waits = 0;
    std::vector<std::uint32_t> timeouts;
    // Answers every pass-through request in place of the detector.
    std::optional<usb::PassThroughReply> scripted;
};

struct Rig {
    explicit Rig(std::vector<FakeDisk> disks)
        : calls(std::make_shared<FakeCalls>())
        , bus(std::make_shared<usb::StorageDriverBus>(calls, 0x0483, 0x5720)) {
        calls->disks = std::move(disks);
    }
    std::shared_ptr<FakeCalls> calls;
    std::shared_ptr<usb::StorageDriverBus> bus;
};

std::vector<std::string> names(const std::vector<std::unique_ptr<usb::UsbDevice>>& devices) {
    std::vector<std::string> out;
    for (const auto& device : devices) {
        char release[8];
        std::snprintf(release, sizeof release, "%04x", device->identity().release);
        out.push_back(device->describe() + " [" + device->portPath() + "] " + release);
    }
    return out;
}

TEST(StorageDriverBus, OffersEachDetectorDiskOncePerArrivalAndNoOtherDisk) {
    auto stick = detectorDisk(3);
    stick.disk.hardwareId = "USB\\VID_0781&PID_5567&REV_0100";
    auto otherProduct = detectorDisk(5);
    otherProduct.disk.hardwareId = "USB\\VID_0483&PID_5740&REV_0200";
    auto noRelease = detectorDisk(6);
    noRelease.disk.hardwareId = "USB\\VID_0483&PID_5720";
    const FakeDisk sata{{"\\\\?\\scsi#disk&ven_wdc#1", "", "", ""}, nullptr, 0};
    Rig rig({detectorDisk(1), stick, sata, detectorDisk(2, 0x0100), otherProduct, noRelease});

    using Names = std::vector<std::string>;
    EXPECT_EQ(names(rig.bus->takeMatched()), (Names{"USB disk at 1400-4.1 [1400-4.1] 0200",
                                                    "USB disk at 1400-4.2 [1400-4.2] 0100"}));
    EXPECT_EQ(names(rig.bus->takeMatched()), Names{});

    // Unplugged and plugged in again (the same interface path), and a new one on another port.
    const auto first = rig.calls->disks[0];
    rig.calls->disks.erase(rig.calls->disks.begin());
    EXPECT_EQ(names(rig.bus->takeMatched()), Names{});
    auto noPort = detectorDisk(7);
    noPort.disk.locationPath = "ACPI(_SB_)#ACPI(PCI0)";
    rig.calls->disks.push_back(first);
    rig.calls->disks.push_back(noPort);
    EXPECT_EQ(names(rig.bus->takeMatched()),
              (Names{"USB disk at 1400-4.1 [1400-4.1] 0200",
                     "USB disk \\\\?\\usbstor#disk&ven_corvanth#7#{53f56307} [] 0200"}));
}

TEST(StorageDriverBus, OpenFailuresSayWhatToDo) {
    struct Row {
        std::uint32_t systemError;
        UsbErrorKind kind;
        const char* message;
    };
    const Row rows[] = {
        {5, UsbErrorKind::NotPermitted,
         "opening USB disk at 1400-4.1: access denied; run the updater as administrator (the "
         "storage driver gives write access to disks only to elevated programs)"},
        {32, UsbErrorKind::Busy,
         "opening USB disk at 1400-4.1: held by another program (sharing "
         "violation)"},
        {2, UsbErrorKind::NoDevice,
         "opening USB disk at 1400-4.1: the disk is gone (system error 2)"},
        {1167, UsbErrorKind::NoDevice,
         "opening USB disk at 1400-4.1: the disk is gone (system error 1167)"},
        {1117, UsbErrorKind::Io, "opening USB disk at 1400-4.1: system error 1117"},
    };
    for (const auto& row : rows) {
        Rig rig({detectorDisk(1, 0x0200, row.systemError)});
        auto devices = rig.bus->takeMatched();
        ASSERT_EQ(devices.size(), 1U);
        const auto error = devices[0]->open();
        ASSERT_TRUE(error.has_value()) << row.systemError;
        EXPECT_EQ(error->kind, row.kind) << row.systemError;
        EXPECT_EQ(error->message, row.message);
        EXPECT_EQ(rig.calls->openHandles, 0);
    }
}

// The link's own checks on what the bus offers: the release, and a disk it may not open.
TEST(StorageDriverBus, TheLinkSkipsAWrongReleaseAndAnUnelevatedOpen) {
    struct Row {
        FakeDisk disk;
        usb::SkipKind kind;
        const char* text;
    };
    const Row rows[] = {
        {detectorDisk(1, 0x0100), usb::SkipKind::WrongIdentity, "release 0100 is not 0200"},
        {detectorDisk(1, 0x0200, usb::kErrorAccessDenied), usb::SkipKind::NotPermitted,
         "opening USB disk at 1400-4.1: access denied; run the updater as administrator (the "
         "storage driver gives write access to disks only to elevated programs)"},
    };
    for (const auto& row : rows) {
        Rig rig({row.disk});
        MassStorageController link(std::static_pointer_cast<usb::UsbBus>(rig.bus));
        std::vector<usb::SkipReason> skips;
        link.setSkipListener([&](const std::optional<usb::SkipReason>& reason) {
            if (reason) {
                skips.push_back(*reason);
                link.requestStop();
            }
        });
        link.MassStorageControllerInit();
        EXPECT_FALSE(link.Check_UsbConnection()) << row.text;
        ASSERT_EQ(skips.size(), 1U) << row.text;
        EXPECT_EQ(skips[0].kind, row.kind) << row.text;
        EXPECT_EQ(skips[0].device, "USB disk at 1400-4.1");
        EXPECT_EQ(skips[0].text, row.text);
        EXPECT_EQ(rig.calls->openHandles, 0) << row.text;
        usb::releaseOpenInterface();
    }
}

// The link as the update flow drives it: connected through the storage driver, its memory
// reads and writes go through pass-through on the disk's handle.
TEST(StorageDriverBus, TheLinkReadsAndWritesTheDetectorThroughTheDriver) {
    Rig rig({detectorDisk(2, 0x0100), detectorDisk(1)});
    const auto& detector = *rig.calls->disks[1].detector;
    usb::setDiagnosticSink([](std::string_view) {});
    {
        MassStorageController link(std::static_pointer_cast<usb::UsbBus>(rig.bus));
        link.MassStorageControllerInit();
        ASSERT_TRUE(link.Check_UsbConnection());
        EXPECT_EQ(rig.calls->openHandles, 1);
        std::vector<std::uint8_t> read(256, 0);
        ASSERT_TRUE(link.ReadFromDevice(1, kAddress, read, 256, link));
        EXPECT_EQ(hex(read), hex(detector.readMemory(1, kAddress, 256)));
        std::vector<std::uint8_t> written(512);
        for (std::size_t i = 0; i < written.size(); ++i) {
            written[i] = static_cast<std::uint8_t>(i ^ 0x5A);
        }
        ASSERT_TRUE(link.WriteToDevice(0, 0x1000, written, 512, link));
        EXPECT_EQ(hex(detector.readMemory(0, 0x1000, 512)), hex(written));
        EXPECT_EQ(rig.calls->timeouts, (std::vector<std::uint32_t>{10, 10}));
        usb::releaseOpenInterface();
    }
    usb::setDiagnosticSink({});
    EXPECT_EQ(rig.calls->openHandles, 0);
}

enum class Command { Read, Write };

// A memory read or write of 256 bytes at kAddress, with the command block the link sends.
struct Transfer {
    usb::CommandWrapperBytes wrapper;
    std::vector<std::uint8_t> data;
    usb::CommandTransaction transaction;

    explicit Transfer(Command command)
        : wrapper(command == Command::Read ? usb::kCommandReadTemplate : usb::kCommandWriteTemplate)
        , data(256, 0) {
        usb::writeWrapperLength(wrapper, 256);
        usb::writeMemoryCommand(wrapper, 1, usb::blockNumberFor(kAddress, 256));
        for (std::size_t i = 0; command == Command::Write && i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(0xC0 ^ i);
        }
        transaction.commandBlock = std::span<const std::uint8_t>(wrapper).subspan(15, wrapper[14]);
        transaction.direction =
            command == Command::Read ? usb::DataDirection::In : usb::DataDirection::Out;
        transaction.in = data;
        transaction.out = data;
        transaction.announcedLength = 256;
        transaction.timeout = std::chrono::milliseconds(10000);
    }
};

usb::PassThroughReply checkCondition(std::uint8_t key) {
    usb::PassThroughReply reply;
    reply.scsiStatus = usb::kScsiCheckCondition;
    reply.sense[0] = 0x70;
    reply.sense[2] = key;
    reply.sense[7] = 10;
    reply.senseLength = 18;
    return reply;
}

TEST(StorageDriverBus, TransactionsGoThroughTheDiskHandle) {
    struct Row {
        const char* name;
        Command command;
        std::optional<sim::FaultKind> fault;
        std::optional<usb::PassThroughReply> scripted;
        std::optional<UsbErrorKind> kind;
        const char* message;
        std::size_t transferred;
    };
    const Row rows[] = {
        {"read", Command::Read, {}, {}, {}, "", 256},
        {"write", Command::Write, {}, {}, {}, "", 256},
        {"medium error",
         Command::Read,
         {},
         checkCondition(0x03),
         UsbErrorKind::Protocol,
         "check condition, sense key 0x3 (medium error)",
         0},
        {"no answer",
         Command::Read,
         sim::FaultKind::NoAnswer,
         {},
         UsbErrorKind::Timeout,
         "the storage driver timed the command out",
         256},
        {"gone mid-write",
         Command::Write,
         sim::FaultKind::Unplug,
         {},
         UsbErrorKind::NoDevice,
         "the detector is no longer connected",
         0},
    };
    for (const auto& row : rows) {
        Rig rig({detectorDisk(1)});
        const auto& detector = *rig.calls->disks[0].detector;
        const auto before = detector.readMemory(1, kAddress, 256);
        if (row.fault) {
            rig.calls->disks[0].detector->addFault(sim::Fault::make(*row.fault));
        }
        rig.calls->scripted = row.scripted;
        auto devices = rig.bus->takeMatched();
        ASSERT_EQ(devices.size(), 1U) << row.name;
        auto& device = *devices[0];
        ASSERT_FALSE(device.open()) << row.name;
        ASSERT_FALSE(device.setConfiguration(*device.configurationValue(0))) << row.name;
        auto opened = device.openFirstInterface();
        ASSERT_TRUE(std::holds_alternative<usb::OpenedInterface>(opened)) << row.name;
        auto interface = std::get<usb::OpenedInterface>(std::move(opened));
        EXPECT_EQ(interface.interfaceClass, 0x08);
        EXPECT_EQ(interface.interfaceSubClass, 0x06);
        EXPECT_EQ(interface.pipeDirections,
                  (std::vector{usb::PipeDirection::In, usb::PipeDirection::Out}));
        EXPECT_EQ(interface.transport, nullptr);
        ASSERT_NE(interface.channel, nullptr) << row.name;
        // As the link does: the device closes, the channel keeps the handle.
        device.close();
        EXPECT_EQ(rig.calls->openHandles, 1) << row.name;

        Transfer transfer(row.command);
        const auto result = interface.channel->transact(transfer.transaction);
        EXPECT_EQ(result.error ? std::optional(result.error->kind) : std::nullopt, row.kind)
            << row.name;
        EXPECT_EQ(result.error ? result.error->message : "", row.message) << row.name;
        EXPECT_EQ(result.transferred, row.transferred) << row.name;
        EXPECT_EQ(rig.calls->timeouts, std::vector<std::uint32_t>{10}) << row.name;
        if (row.command == Command::Read && !row.kind) {
            EXPECT_EQ(hex(transfer.data), hex(before)) << row.name;
        }
        const auto after = detector.readMemory(1, kAddress, 256);
        EXPECT_EQ(hex(after),
                  hex(row.command == Command::Write && !row.kind ? transfer.data : before))
            << row.name;
        if (row.fault == sim::FaultKind::Unplug) {
            EXPECT_TRUE(rig.calls->presentDisks().empty());
        }
        interface.channel.reset();
        EXPECT_EQ(rig.calls->openHandles, 0) << row.name;
    }
}

// `list` on Windows: each detector asked INQUIRY through the driver, none taken from anyone.
TEST(StorageDriverBus, TheSurveyAsksEachDetectorThroughTheDriver) {
    Rig rig({detectorDisk(3, 0x0200, usb::kErrorSharingViolation), detectorDisk(2, 0x0100),
             detectorDisk(1)});
    const auto found =
        usb::DetectorSurvey::survey(*rig.bus, std::chrono::milliseconds(1000), 0x0200);
    struct Row {
        const char* port;
        usb::SurveyState state;
        const char* product;
        const char* reason;
    };
    const Row rows[] = {
        {"1400-4.1", usb::SurveyState::Free, "CORVANTHIS UMSCPT DEVICE", ""},
        {"1400-4.2", usb::SurveyState::NotOpened, "", ""},
        {"1400-4.3", usb::SurveyState::Busy, "",
         "opening USB disk at 1400-4.3: held by another program (sharing violation)"},
    };
    ASSERT_EQ(found.size(), std::size(rows));
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].port, rows[i].port);
        EXPECT_EQ(found[i].name, std::string("USB disk at ") + rows[i].port);
        EXPECT_EQ(found[i].state, rows[i].state) << rows[i].port;
        EXPECT_EQ(found[i].product, rows[i].product) << rows[i].port;
        EXPECT_EQ(found[i].reason, rows[i].reason) << rows[i].port;
    }
    EXPECT_EQ(rig.calls->openHandles, 0);
    const auto asked = rig.calls->disks[2].detector->trace();
    ASSERT_EQ(asked.size(), 1U);
    EXPECT_EQ(asked[0].operation, sim::Operation::Inquiry);
    EXPECT_EQ(asked[0].outcome, "ok");
}

TEST(StorageDriverBus, ThePortFilterPicksTheDetectorAskedFor) {
    for (const char* port : {"1400-4.1", "1400-4.2"}) {
        Rig rig({detectorDisk(1), detectorDisk(2)});
        std::vector<std::string> passed;
        usb::PortFilterBus filtered(rig.bus, port,
                                    [&](const usb::UsbDevice& device, const std::string& why) {
                                        passed.push_back(device.describe() + ": " + why);
                                    });
        const auto chosen = filtered.takeMatched();
        ASSERT_EQ(chosen.size(), 1U) << port;
        EXPECT_EQ(chosen[0]->portPath(), port);
        const std::string other = std::string(port) == "1400-4.1" ? "1400-4.2" : "1400-4.1";
        EXPECT_EQ(passed,
                  std::vector<std::string>{"USB disk at " + other + ": not the chosen port"});
    }
    const std::pair<const char*, bool> paths[] = {
        {"1-4.2", true},    {"1400-4.1", true}, {"1d07-3", true},
        {"14000-4", false}, {"14g0-4", false},  {"1400-", false},
        {"1400", false},    {"-4.1", false},    {"1400-4.1.", false},
    };
    for (const auto& [path, valid] : paths) {
        EXPECT_EQ(usb::PortFilterBus::isPortPath(path), valid) << path;
    }
    Rig rig({detectorDisk(1)});
    rig.calls->disks[0].disk.locationPath = "PCIROOT(0)#PCI(1D07)#USBROOT(0)#USB(3)";
    usb::PortFilterBus lowerCase(rig.bus, "1d07-3", {});
    EXPECT_EQ(lowerCase.takeMatched().size(), 1U);
}

} // namespace
