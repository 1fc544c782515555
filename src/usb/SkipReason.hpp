#pragma once
// Why the link passed over a device while waiting, as told to whoever shows it to the user.

#include <functional>
#include <optional>
#include <string>

namespace usb {

// What kept a matching device from being used. NotPermitted and Busy are for the user to fix
// (the udev rule, another program); the wait goes on in every case.
enum class SkipKind {
    WrongIdentity, // vendor, product or release is not the detector's
    NotPermitted,  // opening or claiming it was refused for lack of permission
    Busy,          // another program or driver holds it
    SetupFailed,   // configuration or interface set-up failed otherwise
};

struct SkipReason {
    SkipKind kind = SkipKind::SetupFailed;
    // The device, as UsbDevice::describe() names it.
    std::string device;
    // What went wrong, naming the value, e.g. "release 0100 is not 0200".
    std::string text;
};

// Told on the waiting thread each time a device is skipped, and once with nothing when a
// device has opened after a skip was told. Must not block for long.
using SkipListener = std::function<void(const std::optional<SkipReason>&)>;

} // namespace usb
