#pragma once
// The platform's bus of real detectors (libusb on Linux, the storage driver on Windows).

#include "usb/UsbBus.hpp"

#include <cstdint>
#include <memory>
#include <variant>

namespace usb {

// Fails when the platform's USB access cannot start. `forcePolling` looks at the devices present
// on each call instead of waiting for arrival notices (for a listing of what is there now).
std::variant<std::shared_ptr<UsbBus>, UsbError>
openSystemBus(std::uint16_t vendor, std::uint16_t product, bool forcePolling = false);

// Whether the platform's storage driver carries whole command transactions (Windows), rather
// than this program sending bulk-only wrappers on the pipes (libusb).
bool systemBusCarriesWholeCommands();

} // namespace usb
