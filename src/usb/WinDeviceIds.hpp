#pragma once
// The texts Windows' device manager gives for a USB device, read into the link's terms. Plain
// string work, so it is built and tested everywhere; the calls that fetch the texts are not.

#include "usb/UsbDevice.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace usb {

// "USB\VID_0483&PID_5720&REV_0200" (letters in either case, more after it allowed): vendor,
// product and release. Nothing when one of the three is missing or not four hex digits.
std::optional<DeviceIdentity> identityFromHardwareId(std::string_view hardwareId);

// The port path of a location path such as "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)#USB(1)":
// the host controller's PCI location, a dash, then the ports from the root hub down joined by
// dots ("1400-4.1"), in the form of the Linux "bus-ports" path. Every controller has its own
// PCI location, so the path names one socket. Nothing without a USBROOT and at least one port.
std::optional<std::string> portPathFromLocation(std::string_view locationPath);

} // namespace usb
