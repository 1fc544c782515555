#pragma once
// A look at every attached detector without taking any from anyone: port, release, product, state.

#include "usb/UsbBus.hpp"

#include <chrono>
#include <span>
#include <string>
#include <vector>

namespace usb {

enum class SurveyState {
    Free,         // could be claimed just now
    Busy,         // another program or updater holds it; it was left alone
    NotPermitted, // this user may not open it
    Unreadable,   // opening or claiming failed otherwise (see `reason`)
    KernelDriver, // a kernel driver (usb-storage) holds it; it was left to it, not claimed
    NotOpened,    // not the release looked into: known from its descriptors alone
};

struct SurveyedDetector {
    std::string port;
    std::string name; // UsbDevice::describe()
    DeviceIdentity identity;
    SurveyState state = SurveyState::Free;
    // INQUIRY bytes 8 to 31 (vendor and product), without trailing blanks; for a device a
    // kernel driver holds, its product string descriptor. Empty when unread.
    std::string product;
    // Why the state is not Free, or why INQUIRY gave nothing.
    std::string reason;
};

class DetectorSurvey {
public:
    // Takes what the bus offers on one call (every matching device present) and looks at each,
    // never taking it from anyone:
    // - a release other than `release`: its descriptors only, the device is not opened;
    // - held by a kernel driver: opened, its product string read on the control pipe, nothing
    //   claimed;
    // - otherwise its first interface is claimed (never detaching a driver), asked INQUIRY and
    //   released. A device whose interface another program holds is reported as busy.
    // Sorted by port. `timeout` bounds each transfer.
    static std::vector<SurveyedDetector> survey(UsbBus& bus, std::chrono::milliseconds timeout,
                                                std::uint16_t release);

    // "free", "busy", "not permitted", "unreadable", "kernel driver" or "not opened".
    static const char* stateName(SurveyState state);
    // The INQUIRY answer's text as `product` holds it; unprintable bytes become '?'.
    static std::string productText(std::span<const std::uint8_t> answer);
};

} // namespace usb
