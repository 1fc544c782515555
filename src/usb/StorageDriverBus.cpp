#include "usb/StorageDriverBus.hpp"

#include "usb/WinDeviceIds.hpp"

#include <utility>

namespace usb {
namespace {

// The mass-storage interface as the detector's descriptors give it (SCSI transparent).
constexpr std::uint8_t kMassStorageClass = 0x08;
constexpr std::uint8_t kScsiSubClass = 0x06;
// The driver selected the device's only configuration.
constexpr std::uint8_t kConfigurationValue = 1;

class StorageDriverDevice final : public UsbDevice {
public:
    StorageDriverDevice(std::shared_ptr<WinDeviceCalls> calls, DiskInterface disk,
                        DeviceIdentity identity)
        : m_calls(std::move(calls))
        , m_disk(std::move(disk))
        , m_identity(identity)
        , m_port(portPathFromLocation(m_disk.locationPath).value_or("")) {}

    DeviceIdentity identity() const override { return m_identity; }

    std::string describe() const override {
        return m_port.empty() ? "USB disk " + m_disk.path : "USB disk at " + m_port;
    }

    std::string portPath() const override { return m_port; }

    UsbStatus open() override {
        auto opened = m_calls->openDisk(m_disk.path);
        if (const auto* code = std::get_if<std::uint32_t>(&opened)) {
            return StorageDriverBus::openError(*code, describe());
        }
        m_handle = std::get<std::shared_ptr<PassThroughCalls>>(std::move(opened));
        return std::nullopt;
    }

    void close() override { m_handle.reset(); }

    std::uint8_t numberOfConfigurations() override { return 1; }

    std::optional<std::uint8_t> configurationValue(std::uint8_t index) override {
        return index == 0 ? std::optional(kConfigurationValue) : std::nullopt;
    }

    UsbStatus setConfiguration(std::uint8_t value) override {
        if (!m_handle) {
            return UsbError{UsbErrorKind::Io, describe() + " is not open"};
        }
        if (value != kConfigurationValue) {
            return UsbError{UsbErrorKind::Protocol,
                            describe() + " has no configuration " + std::to_string(value)};
        }
        return std::nullopt;
    }

    std::variant<OpenedInterface, UsbError> openFirstInterface() override {
        if (!m_handle) {
            return UsbError{UsbErrorKind::Io, describe() + " is not open"};
        }
        OpenedInterface opened;
        opened.interfaceClass = kMassStorageClass;
        opened.interfaceSubClass = kScsiSubClass;
        opened.pipeDirections = {PipeDirection::In, PipeDirection::Out};
        opened.channel = std::make_shared<PassThroughChannel>(m_handle);
        return opened;
    }

    // Nothing is taken from the storage driver either way.
    std::variant<OpenedInterface, UsbError> openFirstInterfaceIfFree() override {
        return openFirstInterface();
    }

    bool kernelDriverHolds() override { return false; }

    std::string productString() override { return m_handle ? m_disk.description : ""; }

private:
    std::shared_ptr<WinDeviceCalls> m_calls;
    DiskInterface m_disk;
    DeviceIdentity m_identity;
    std::string m_port;
    std::shared_ptr<PassThroughCalls> m_handle;
};

} // namespace

StorageDriverBus::StorageDriverBus(std::shared_ptr<WinDeviceCalls> calls, std::uint16_t vendor,
                                   std::uint16_t product)
    : m_calls(std::move(calls))
    , m_vendor(vendor)
    , m_product(product) {}

std::vector<std::unique_ptr<UsbDevice>> StorageDriverBus::takeMatched() {
    std::vector<std::unique_ptr<UsbDevice>> found;
    std::set<std::string> present;
    for (auto& disk : m_calls->presentDisks()) {
        const auto identity = identityFromHardwareId(disk.hardwareId);
        if (!identity || identity->vendor != m_vendor || identity->product != m_product) {
            continue;
        }
        if (!present.insert(disk.path).second || m_offered.count(disk.path) != 0) {
            continue;
        }
        found.push_back(std::make_unique<StorageDriverDevice>(m_calls, std::move(disk), *identity));
    }
    m_offered = std::move(present);
    return found;
}

void StorageDriverBus::waitForArrival(std::chrono::milliseconds timeout) {
    m_calls->waitForArrival(timeout);
}

void StorageDriverBus::wake() { m_calls->wake(); }

UsbError StorageDriverBus::openError(std::uint32_t systemError, const std::string& device) {
    const std::string what = "opening " + device + ": ";
    switch (systemError) {
    case kErrorAccessDenied:
        return {UsbErrorKind::NotPermitted,
                what + "access denied; run the updater as administrator (the storage driver "
                       "gives write access to disks only to elevated programs)"};
    case kErrorSharingViolation:
        return {UsbErrorKind::Busy, what + "held by another program (sharing violation)"};
    case kErrorFileNotFound:
    case kErrorPathNotFound:
    case kErrorNoSuchDevice:
    case kErrorDeviceNotConnected:
        return {UsbErrorKind::NoDevice,
                what + "the disk is gone (system error " + std::to_string(systemError) + ")"};
    default:
        return {UsbErrorKind::Io, what + "system error " + std::to_string(systemError)};
    }
}

} // namespace usb
