#pragma once
// Runs virtual detectors behind umockdev's usbdevfs ioctl handler, so that the product's own
// libusb code talks to them as to real devices. Needs the process to run under umockdev's
// preload (see UsbEmulationMain.cpp).

#include "sim/VirtualDetector.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace testing_support {

struct EmulatedDevice;

class UsbEmulation {
public:
    UsbEmulation();
    UsbEmulation(const UsbEmulation&) = delete;
    UsbEmulation& operator=(const UsbEmulation&) = delete;
    UsbEmulation(UsbEmulation&&) = delete;
    UsbEmulation& operator=(UsbEmulation&&) = delete;
    // Unplugs what is left and deletes the testbed folder.
    ~UsbEmulation();

    struct Options {
        // The kernel's usb-storage driver holds the interface until it is detached.
        bool driverBound = true;
        // Detaching the driver fails with EBUSY (another program holds the device).
        bool refuseDetach = false;
        // The interface's two endpoints are bulk ones; false makes them interrupt endpoints.
        bool bulkEndpoints = true;
    };

    // Plugs `detector` in as bus 1 device `devnum` (2..127); its release comes from the detector.
    void plug(int devnum, std::shared_ptr<sim::VirtualDetector> detector, Options options);
    void plug(int devnum, std::shared_ptr<sim::VirtualDetector> detector) {
        plug(devnum, std::move(detector), Options{});
    }
    // Sends the remove event, fails outstanding and later requests with "no device".
    void unplug(int devnum);

    // How often the kernel driver was taken from the interface, and whether it is bound now.
    int driverDetachCount(int devnum) const;
    bool driverBound(int devnum) const;

private:
    void* m_testbed = nullptr; // UMockdevTestbed*
    std::string m_root;
    std::map<int, std::unique_ptr<EmulatedDevice>> m_devices;
};

} // namespace testing_support
