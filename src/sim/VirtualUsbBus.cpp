#include "sim/VirtualUsbBus.hpp"

#include "sim/VirtualPassThrough.hpp"

namespace sim {
namespace {

class VirtualDevice final : public usb::UsbDevice {
public:
    VirtualDevice(std::shared_ptr<VirtualDetector> detector, std::size_t number,
                  VirtualCarrier carrier)
        : m_detector(std::move(detector))
        , m_number(number)
        , m_carrier(carrier) {}

    usb::DeviceIdentity identity() const override {
        return {0x0483, 0x5720, m_detector->release()};
    }
    std::string describe() const override { return "virtual device " + std::to_string(m_number); }
    usb::UsbStatus open() override {
        if (m_detector->unplugged()) {
            return usb::UsbError{usb::UsbErrorKind::NoDevice, describe() + " is gone"};
        }
        return std::nullopt;
    }
    void close() override {}
    std::uint8_t numberOfConfigurations() override { return 1; }
    std::optional<std::uint8_t> configurationValue(std::uint8_t index) override {
        return index == 0 ? std::optional<std::uint8_t>(1) : std::nullopt;
    }
    usb::UsbStatus setConfiguration(std::uint8_t value) override {
        if (!m_detector->acceptsConfiguration()) {
            return usb::UsbError{usb::UsbErrorKind::Io, "selecting configuration " +
                                                            std::to_string(value) + " of " +
                                                            describe() + " failed"};
        }
        return std::nullopt;
    }
    std::variant<usb::OpenedInterface, usb::UsbError> openFirstInterface() override {
        if (m_detector->unplugged()) {
            return usb::UsbError{usb::UsbErrorKind::NoDevice, describe() + " is gone"};
        }
        if (!m_detector->acceptsClaim()) {
            return usb::UsbError{usb::UsbErrorKind::Busy,
                                 "claiming interface 0 of " + describe() + ": LIBUSB_ERROR_BUSY"};
        }
        usb::OpenedInterface opened{
            0x08, 0x06, {usb::PipeDirection::In, usb::PipeDirection::Out}, m_detector, nullptr};
        if (m_carrier == VirtualCarrier::PassThrough) {
            opened.transport.reset();
            opened.channel = std::make_shared<usb::PassThroughChannel>(
                std::make_shared<VirtualPassThrough>(m_detector));
        }
        return opened;
    }

private:
    std::shared_ptr<VirtualDetector> m_detector;
    std::size_t m_number;
    VirtualCarrier m_carrier;
};

} // namespace

void VirtualUsbBus::plug(std::shared_ptr<VirtualDetector> detector) {
    {
        const std::lock_guard lock(m_mutex);
        m_pending.push_back(std::move(detector));
    }
    m_changed.notify_all();
}

std::vector<std::unique_ptr<usb::UsbDevice>> VirtualUsbBus::takeMatched() {
    const std::lock_guard lock(m_mutex);
    std::vector<std::unique_ptr<usb::UsbDevice>> out;
    for (auto& detector : m_pending) {
        out.push_back(std::make_unique<VirtualDevice>(std::move(detector), ++m_plugged, m_carrier));
    }
    m_pending.clear();
    return out;
}

void VirtualUsbBus::waitForArrival(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    ++m_waits;
    m_changed.wait_for(lock, timeout, [this] { return m_woken || !m_pending.empty(); });
    m_woken = false;
}

void VirtualUsbBus::wake() {
    {
        const std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_changed.notify_all();
}

std::size_t VirtualUsbBus::waitCount() const {
    const std::lock_guard lock(m_mutex);
    return m_waits;
}

} // namespace sim
