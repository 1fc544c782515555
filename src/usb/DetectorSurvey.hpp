#pragma once
// A look at every attached detector without keeping any: port, release, INQUIRY text and state.

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
};

struct SurveyedDetector {
    std::string port;
    std::string name; // UsbDevice::describe()
    DeviceIdentity identity;
    SurveyState state = SurveyState::Free;
    // INQUIRY bytes 8 to 31 (vendor and product), without trailing blanks; empty when unread.
    std::string product;
    // Why the state is not Free, or why INQUIRY gave nothing.
    std::string reason;
};

class DetectorSurvey {
public:
    // Takes what the bus offers on one call (every matching device present) and looks at each:
    // opens it, claims its first interface, asks INQUIRY and lets it go again, giving a kernel
    // driver it took back. A device whose interface another program holds is reported as busy
    // and never taken from it. Sorted by port. `timeout` bounds each transfer.
    static std::vector<SurveyedDetector> survey(UsbBus& bus, std::chrono::milliseconds timeout);

    // "free", "busy", "not permitted" or "unreadable".
    static const char* stateName(SurveyState state);
    // The INQUIRY answer's text as `product` holds it; unprintable bytes become '?'.
    static std::string productText(std::span<const std::uint8_t> answer);
};

} // namespace usb
