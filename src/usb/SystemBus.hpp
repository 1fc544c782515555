#pragma once
// The platform's bus of real detectors (libusb on Linux, the storage driver on Windows).

#include "usb/UsbBus.hpp"

#include <cstdint>
#include <memory>
#include <variant>

namespace usb {

// Fails when the platform's USB access cannot start.
std::variant<std::shared_ptr<UsbBus>, UsbError> openSystemBus(std::uint16_t vendor,
                                                              std::uint16_t product);

} // namespace usb
