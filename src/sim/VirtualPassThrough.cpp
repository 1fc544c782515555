#include "sim/VirtualPassThrough.hpp"

namespace sim {

usb::PassThroughReply VirtualPassThrough::passThrough(const usb::PassThroughRequest& request) {
    usb::CommandTransaction transaction;
    transaction.commandBlock = request.commandBlock;
    transaction.direction = request.direction;
    transaction.in = request.in;
    transaction.out = request.out;
    // The driver announces the buffer it was given. For TEST UNIT READY and INQUIRY that is not
    // what the detector's own wrappers announce (1024), which the virtual detector insists on;
    // a device reached through the driver is taken to accept the driver's, so it is shown its
    // own here.
    const std::uint8_t operation = request.commandBlock.empty() ? 0 : request.commandBlock[0];
    transaction.announcedLength =
        operation == usb::kOpTestUnitReady || operation == usb::kOpInquiry
            ? 1024U
            : static_cast<std::uint32_t>(request.direction == usb::DataDirection::In
                                             ? request.in.size()
                                             : request.out.size());
    transaction.timeout = std::chrono::seconds(request.timeoutSeconds);
    const auto result = m_driver.transact(transaction);
    usb::PassThroughReply reply;
    reply.transferred = static_cast<std::uint32_t>(result.transferred);
    if (!result.error) {
        return reply;
    }
    switch (result.error->kind) {
    case usb::UsbErrorKind::Protocol:
        reply.scsiStatus = usb::kScsiCheckCondition;
        break;
    case usb::UsbErrorKind::Timeout:
        reply.systemError = usb::kErrorSemTimeout;
        break;
    case usb::UsbErrorKind::NoDevice:
        reply.systemError = usb::kErrorDeviceNotConnected;
        break;
    default:
        reply.systemError = usb::kErrorIoDevice;
        break;
    }
    return reply;
}

} // namespace sim
