#pragma once
// Runs virtual detectors behind umockdev's usbdevfs ioctl handler, so that the product's own
// libusb code talks to them as to real devices. Needs the process to run under umockdev's
// preload (see UsbEmulationMain.cpp).

#include "sim/VirtualDetector.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

struct EmulatedDevice;

class UsbEmulation {
public:
    // Re-runs this program under umockdev's preload library, which the emulation needs in this
    // very process (it fakes /sys, /dev and udev for libusb). Returns when already under it, or
    // when exec failed (the emulation then reports the missing preload).
    static void reExecUnderPreload(char** argv);

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
        // String descriptor 2 (iProduct), given on the control pipe.
        std::string productString = "Mass Storage Device";
    };

    // Plugs `detector` in as bus 1 device `devnum` (2..99) on port 1-`devnum`; its release
    // comes from the detector.
    void plug(int devnum, std::shared_ptr<sim::VirtualDetector> detector, Options options);
    void plug(int devnum, std::shared_ptr<sim::VirtualDetector> detector) {
        plug(devnum, std::move(detector), Options{});
    }
    // Plugs it in at a port path on bus 1 ("1-4.2"); the root hub and the hubs above the port
    // are added first, so libusb reports the same port numbers as on real hardware. Any process
    // running under the preload with this testbed's UMOCKDEV_DIR sees the devices; a claim
    // holds the interface for the claiming connection (another gets EBUSY, as from the kernel)
    // until it releases it or closes the device.
    void plugAt(const std::string& port, int devnum, std::shared_ptr<sim::VirtualDetector> detector,
                Options options);
    void plugAt(const std::string& port, int devnum,
                std::shared_ptr<sim::VirtualDetector> detector) {
        plugAt(port, devnum, std::move(detector), Options{});
    }
    // Sends the remove event, fails outstanding and later requests with "no device".
    void unplug(int devnum);

    // How often the kernel driver was taken from the interface, and whether it is bound now.
    int driverDetachCount(int devnum) const;
    bool driverBound(int devnum) const;
    // How often the interface was claimed (by any connection), and how many requests reached
    // the device node at all; opening it is one.
    int claimCount(int devnum) const;
    int requestCount(int devnum) const;

private:
    void* m_testbed = nullptr; // UMockdevTestbed*
    std::string m_root;
    void addHub(const std::string& path);

    std::map<int, std::unique_ptr<EmulatedDevice>> m_devices;
    std::vector<std::string> m_hubs; // sysfs paths, removed last
};

} // namespace testing_support
