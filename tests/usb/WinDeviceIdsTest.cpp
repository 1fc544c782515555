#include "usb/WinDeviceIds.hpp"

#include <gtest/gtest.h>

namespace {

TEST(WinDeviceIds, HardwareIdGivesTheIdentityTheRulesCheck) {
    struct Row {
        const char* id;
        bool read;
        usb::DeviceIdentity identity;
    };
    const Row rows[] = {
        {"USB\\VID_0483&PID_5720&REV_0200", true, {0x0483, 0x5720, 0x0200}},
        {"usb\\vid_0483&pid_5720&rev_02aF", true, {0x0483, 0x5720, 0x02AF}},
        {"USB\\VID_0483&PID_5720&REV_0200&MI_00", true, {0x0483, 0x5720, 0x0200}},
        {"USB\\VID_0483&PID_5720", false, {}},
        {"USB\\VID_0483&PID_572&REV_0200", false, {}},
        {"USB\\VID_0483&PID_57200&REV_0200", false, {}},
        {"USB\\VID_04G3&PID_5720&REV_0200", false, {}},
        {"USBSTOR\\DISK&VEN_CORVANTH&PROD_UMSCPT&REV_1.00", false, {}},
        {"", false, {}},
    };
    for (const auto& row : rows) {
        const auto got = usb::identityFromHardwareId(row.id);
        ASSERT_EQ(got.has_value(), row.read) << row.id;
        if (got) {
            EXPECT_EQ(got->vendor, row.identity.vendor) << row.id;
            EXPECT_EQ(got->product, row.identity.product) << row.id;
            EXPECT_EQ(got->release, row.identity.release) << row.id;
        }
    }
}

TEST(WinDeviceIds, LocationPathGivesOnePortPathPerSocket) {
    const std::pair<const char*, const char*> rows[] = {
        {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)#USB(1)", "1400-4.1"},
        {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)#USB(2)", "1400-4.2"},
        {"PCIROOT(0)#PCI(0101)#PCI(0000)#USBROOT(0)#USB(3)", "0000-3"},
        {"pciroot(0)#pci(1400)#usbroot(0)#usb(11)", "1400-11"},
        {"PCIROOT(0)#PCI(1400)#USBROOT(0)", ""},
        {"PCIROOT(0)#PCI(1400)#USB(4)", ""},
        {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)#USBMI(0)", ""},
        {"ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS04)", ""},
        {"", ""},
    };
    for (const auto& [location, port] : rows) {
        EXPECT_EQ(usb::portPathFromLocation(location).value_or(""), port) << location;
    }
}

} // namespace
