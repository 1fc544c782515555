#pragma once
// The Windows calls the storage-driver bus makes (SetupAPI, CfgMgr32, CreateFileW, the wait),
// behind an interface so that the bus is built and tested where Windows is not.

#include "usb/PassThroughChannel.hpp"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace usb {

// More of the system's error codes, as CreateFileW reports them.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorSharingViolation = 32;

// One present disk device interface, with the USB device node it hangs under.
struct DiskInterface {
    // The interface path CreateFileW opens, in UTF-8.
    std::string path;
    // The USB device node's first hardware ID ("USB\VID_0483&PID_5720&REV_0200"); empty for a
    // disk with no USB device node above it.
    std::string hardwareId;
    // That node's first location path ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)#USB(1)").
    std::string locationPath;
    // That node's product text (the bus-reported description, else the device description).
    std::string description;
};

class WinDeviceCalls {
public:
    WinDeviceCalls() = default;
    WinDeviceCalls(const WinDeviceCalls&) = delete;
    WinDeviceCalls& operator=(const WinDeviceCalls&) = delete;
    WinDeviceCalls(WinDeviceCalls&&) = delete;
    WinDeviceCalls& operator=(WinDeviceCalls&&) = delete;
    virtual ~WinDeviceCalls() = default;

    // The disk interfaces present now; none when the system cannot list them. Never blocks for
    // long.
    virtual std::vector<DiskInterface> presentDisks() = 0;

    // Opens an interface path for reading and writing, sharing it with others. The handle is
    // closed when the last holder drops it; its one call is the pass-through ioctl. On failure
    // the system's error code (kErrorAccessDenied, kErrorSharingViolation, ...).
    virtual std::variant<std::shared_ptr<PassThroughCalls>, std::uint32_t>
    openDisk(const std::string& path) = 0;

    // Sleeps until wake() is called or `timeout` passes, at most 250 ms: disks that arrived
    // meanwhile are found by the next presentDisks(). A wake() with no one waiting ends the
    // next wait at once.
    virtual void waitForArrival(std::chrono::milliseconds timeout) = 0;
    // Safe from any thread.
    virtual void wake() = 0;
};

// The real calls; only in the Windows build. Fails when the wait's event cannot be created.
std::variant<std::shared_ptr<WinDeviceCalls>, UsbError> makeSystemDeviceCalls();

} // namespace usb
