#pragma once
// The system's USB bus through libusb: hotplug where the platform has it, polling otherwise.

#include "usb/UsbBus.hpp"

#include <cstdint>
#include <memory>
#include <variant>

namespace usb {

class LibusbBus final : public UsbBus {
public:
    struct Options {
        // Poll the device list even where hotplug exists (tests both paths).
        bool forcePolling = false;
    };

    // Fails with Io when libusb cannot be initialised.
    static std::variant<std::shared_ptr<LibusbBus>, UsbError>
    create(std::uint16_t vendor, std::uint16_t product, Options options);
    static std::variant<std::shared_ptr<LibusbBus>, UsbError> create(std::uint16_t vendor,
                                                                     std::uint16_t product) {
        return create(vendor, product, Options{});
    }

    LibusbBus(const LibusbBus&) = delete;
    LibusbBus& operator=(const LibusbBus&) = delete;
    LibusbBus(LibusbBus&&) = delete;
    LibusbBus& operator=(LibusbBus&&) = delete;
    ~LibusbBus() override;

    std::vector<std::unique_ptr<UsbDevice>> takeMatched() override;
    // With hotplug, runs libusb's event handling for up to `timeout` (arrivals wake it);
    // otherwise sleeps. Never spins.
    void waitForArrival(std::chrono::milliseconds timeout) override;
    void wake() override;

    bool usesHotplug() const;

    struct Impl;

private:
    explicit LibusbBus(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace usb
