#include "usb/UsbTransport.hpp"

namespace usb {

const char* toString(UsbErrorKind kind) {
    switch (kind) {
    case UsbErrorKind::Timeout:
        return "timeout";
    case UsbErrorKind::Stall:
        return "stall";
    case UsbErrorKind::NoDevice:
        return "no device";
    case UsbErrorKind::Io:
        return "I/O error";
    case UsbErrorKind::Protocol:
        return "protocol error";
    case UsbErrorKind::NotPermitted:
        return "not permitted";
    case UsbErrorKind::Busy:
        return "busy";
    }
    return "unknown";
}

} // namespace usb
