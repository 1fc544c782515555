#pragma once
// The detectors that a system's storage driver already holds as disks, reached through SCSI
// pass-through on the disk's handle (Windows): no driver is taken from the device.

#include "usb/UsbBus.hpp"
#include "usb/WinDeviceCalls.hpp"

#include <cstdint>
#include <memory>
#include <set>
#include <string>

namespace usb {

// Offers each disk whose USB device node has the vendor and product, once per arrival (keyed
// by interface path: a disk unplugged and plugged in again is offered again). Other disks are
// passed over silently, as a USB bus passes over other devices. The release is the link's to
// check.
//
// Its devices: open() opens the disk's handle; the configuration calls succeed without doing
// anything (the driver configured the device); the first interface is the mass-storage one
// with its transactions behind a PassThroughChannel on that handle, never its pipes; no kernel
// driver "holds" it, since the driver is the way in. The handle closes when both the device and
// the channel dropped it.
class StorageDriverBus final : public UsbBus {
public:
    StorageDriverBus(std::shared_ptr<WinDeviceCalls> calls, std::uint16_t vendor,
                     std::uint16_t product);

    std::vector<std::unique_ptr<UsbDevice>> takeMatched() override;
    // The calls' wait: at most 250 ms, then the next takeMatched() looks again.
    void waitForArrival(std::chrono::milliseconds timeout) override;
    void wake() override;

    // "opening <device>: ..." for CreateFileW's error code: NotPermitted (access denied), Busy
    // (sharing violation), NoDevice (gone), else Io with the code.
    static UsbError openError(std::uint32_t systemError, const std::string& device);

private:
    std::shared_ptr<WinDeviceCalls> m_calls;
    std::uint16_t m_vendor;
    std::uint16_t m_product;
    // Interface paths of the matching disks present at the last look.
    std::set<std::string> m_offered;
};

} // namespace usb
