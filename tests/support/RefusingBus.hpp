#pragma once
// A bus that first offers a device the link must skip, then the virtual detectors plugged in.

#include "sim/VirtualUsbBus.hpp"
#include "usb/UsbBus.hpp"

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace testing_support {

// A device that matched the bus but is not what the link wants, or cannot be opened.
class RefusingDevice final : public usb::UsbDevice {
public:
    RefusingDevice(usb::DeviceIdentity id, std::optional<usb::UsbErrorKind> openError)
        : m_id(id)
        , m_openError(openError) {}
    usb::DeviceIdentity identity() const override { return m_id; }
    std::string describe() const override { return "stub device"; }
    usb::UsbStatus open() override {
        if (m_openError) {
            return usb::UsbError{*m_openError, "opening stub device: refused"};
        }
        return std::nullopt;
    }
    void close() override {}
    std::uint8_t numberOfConfigurations() override { return 1; }
    std::optional<std::uint8_t> configurationValue(std::uint8_t) override { return 1; }
    usb::UsbStatus setConfiguration(std::uint8_t) override { return std::nullopt; }
    std::variant<usb::OpenedInterface, usb::UsbError> openFirstInterface() override {
        return usb::UsbError{usb::UsbErrorKind::Protocol, "no interface"};
    }

private:
    usb::DeviceIdentity m_id;
    std::optional<usb::UsbErrorKind> m_openError;
};

// Offers one refusing device, then the virtual detectors plugged into `rest`.
class OneRefusalBus final : public usb::UsbBus {
public:
    OneRefusalBus(std::unique_ptr<usb::UsbDevice> first, std::shared_ptr<sim::VirtualUsbBus> rest)
        : m_first(std::move(first))
        , m_rest(std::move(rest)) {}
    std::vector<std::unique_ptr<usb::UsbDevice>> takeMatched() override {
        auto devices = m_rest->takeMatched();
        if (m_first) {
            devices.insert(devices.begin(), std::move(m_first));
        }
        return devices;
    }
    void waitForArrival(std::chrono::milliseconds timeout) override {
        m_rest->waitForArrival(timeout);
    }
    void wake() override { m_rest->wake(); }

private:
    std::unique_ptr<usb::UsbDevice> m_first;
    std::shared_ptr<sim::VirtualUsbBus> m_rest;
};

} // namespace testing_support
