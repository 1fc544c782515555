#pragma once
// An in-process USB bus on which virtual detectors are plugged in and out.

#include "sim/VirtualDetector.hpp"
#include "usb/UsbBus.hpp"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace sim {

// How an opened virtual detector carries its commands: bulk-only wrappers on its pipes (as
// libusb gives them), or whole transactions through a storage driver's pass-through (as
// Windows gives them).
enum class VirtualCarrier { BulkOnly, PassThrough };

// Every detector plugged in is offered once to the link, with vendor 0x0483, product 0x5720
// and the profile's release. Thread-safe: tests plug devices in while the link waits.
class VirtualUsbBus final : public usb::UsbBus {
public:
    explicit VirtualUsbBus(VirtualCarrier carrier = VirtualCarrier::BulkOnly)
        : m_carrier(carrier) {}

    void plug(std::shared_ptr<VirtualDetector> detector);

    std::vector<std::unique_ptr<usb::UsbDevice>> takeMatched() override;
    void waitForArrival(std::chrono::milliseconds timeout) override;
    void wake() override;

    // How often the link waited on this bus (a busy loop would show up here).
    std::size_t waitCount() const;

private:
    VirtualCarrier m_carrier;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::shared_ptr<VirtualDetector>> m_pending;
    std::size_t m_plugged = 0;
    std::size_t m_waits = 0;
    bool m_woken = false;
};

} // namespace sim
