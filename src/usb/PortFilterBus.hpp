#pragma once
// A bus that offers the link only the device plugged into one chosen port.

#include "usb/UsbBus.hpp"

#include <functional>
#include <memory>
#include <string>

namespace usb {

// Devices on other ports are never opened; each is reported once to the skip listener with
// the reason kNotChosenPort. The wait and wake go to the inner bus.
class PortFilterBus final : public UsbBus {
public:
    static constexpr const char* kNotChosenPort = "not the chosen port";
    using SkipListener = std::function<void(const UsbDevice& device, const std::string& why)>;

    PortFilterBus(std::shared_ptr<UsbBus> inner, std::string port, SkipListener skipped);

    // True for a port path of the form BUS-PORT[.PORT...], e.g. "1-4.2", where BUS is up to 4
    // hex digits (Windows names the host controller by its PCI location: "1400-4.2").
    static bool isPortPath(const std::string& text);

    std::vector<std::unique_ptr<UsbDevice>> takeMatched() override;
    void waitForArrival(std::chrono::milliseconds timeout) override;
    void wake() override;

private:
    std::shared_ptr<UsbBus> m_inner;
    std::string m_port;
    SkipListener m_skipped;
};

} // namespace usb
