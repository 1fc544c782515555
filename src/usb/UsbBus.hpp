#pragma once
// Where matching devices come from: each device that matched is handed out once.

#include "usb/UsbDevice.hpp"

#include <chrono>
#include <memory>
#include <vector>

namespace usb {

// The link's notification source. It hands out every device matching its vendor and product:
// the first call those present, later calls those that arrived since. A device that is handed
// out and then skipped is not offered again until it is plugged in again.
class UsbBus {
public:
    UsbBus() = default;
    UsbBus(const UsbBus&) = delete;
    UsbBus& operator=(const UsbBus&) = delete;
    UsbBus(UsbBus&&) = delete;
    UsbBus& operator=(UsbBus&&) = delete;
    virtual ~UsbBus() = default;

    // Devices matched since the last call, possibly none. Never blocks for long.
    virtual std::vector<std::unique_ptr<UsbDevice>> takeMatched() = 0;

    // Sleeps until a device may have arrived, wake() is called, or `timeout` passes. Must not
    // burn processor time while waiting.
    virtual void waitForArrival(std::chrono::milliseconds timeout) = 0;

    // Ends a waitForArrival early. Safe from any thread.
    virtual void wake() = 0;
};

} // namespace usb
