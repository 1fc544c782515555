#include "usb/StorageDriverBus.hpp"
#include "usb/SystemBus.hpp"
#include "usb/WinDeviceCalls.hpp"

namespace usb {

bool systemBusCarriesWholeCommands() { return true; }

// The detector stays with Windows' storage driver; the link talks to it as a disk. The bus
// looks at the disks present on every call, so there is nothing to poll differently.
std::variant<std::shared_ptr<UsbBus>, UsbError>
openSystemBus(std::uint16_t vendor, std::uint16_t product, bool /*forcePolling*/) {
    auto calls = makeSystemDeviceCalls();
    if (auto* error = std::get_if<UsbError>(&calls)) {
        return *error;
    }
    return std::shared_ptr<UsbBus>(std::make_shared<StorageDriverBus>(
        std::get<std::shared_ptr<WinDeviceCalls>>(std::move(calls)), vendor, product));
}

} // namespace usb
