#include "usb/SystemBus.hpp"

namespace usb {

// The storage-driver link (SetupAPI, CfgMgr32, pass-through) is not in this build yet: the
// Windows build carries the portable core and its tests only.
bool systemBusCarriesWholeCommands() { return true; }

std::variant<std::shared_ptr<UsbBus>, UsbError>
openSystemBus(std::uint16_t /*vendor*/, std::uint16_t /*product*/, bool /*forcePolling*/) {
    return UsbError{UsbErrorKind::Io, "this Windows build has no link to a real detector yet"};
}

} // namespace usb
