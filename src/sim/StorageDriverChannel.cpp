#include "sim/StorageDriverChannel.hpp"

#include "usb/BulkOnlyChannel.hpp"

namespace sim {

usb::CommandResult StorageDriverChannel::transact(const usb::CommandTransaction& transaction) {
    m_status.fill(0);
    usb::BulkOnlyChannel wire(m_detector, m_commandTimeout, m_status, true);
    usb::CommandResult result = wire.transact(transaction);
    result.failedPhase.reset();
    if (result.error) {
        switch (result.error->kind) {
        case usb::UsbErrorKind::Timeout:
        case usb::UsbErrorKind::NoDevice:
            return result;
        case usb::UsbErrorKind::Stall: {
            // The recovery has read the status that the halt left behind, if any.
            const auto status = usb::unpackStatusWrapper(m_status);
            result.error.reset();
            if (status &&
                status->tag == usb::wrapperTag(usb::BulkOnlyChannel::wrapperFor(transaction))) {
                result.status = status->status;
            }
            break;
        }
        default:
            result.error->kind = usb::UsbErrorKind::Io;
            return result;
        }
    }
    if (!result.status) {
        result.error = usb::UsbError{usb::UsbErrorKind::Io, "the device's status is not valid"};
    } else if (*result.status == 1) {
        result.error = usb::UsbError{usb::UsbErrorKind::Protocol, "check condition, no sense data"};
    } else if (*result.status != 0) {
        result.error = usb::UsbError{usb::UsbErrorKind::Io, "phase error"};
    }
    return result;
}

} // namespace sim
