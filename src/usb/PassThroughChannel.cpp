#include "usb/PassThroughChannel.hpp"

#include <cstdio>
#include <string>

namespace usb {
namespace {

const char* senseKeyName(std::uint8_t key) {
    static constexpr const char* kNames[] = {
        "no sense",       "recovered error", "not ready",      "medium error",
        "hardware error", "illegal request", "unit attention", "data protect",
        "blank check",    "vendor specific", "copy aborted",   "aborted command",
        "reserved",       "volume overflow", "miscompare",     "reserved"};
    return kNames[key & 0x0FU];
}

// Fixed (0x70, 0x71) and descriptor (0x72, 0x73) sense data keep the key in different bytes.
std::optional<std::uint8_t> senseKey(const PassThroughReply& reply) {
    const std::size_t length = std::min(reply.senseLength, reply.sense.size());
    if (length < 3) {
        return std::nullopt;
    }
    const std::uint8_t code = reply.sense[0] & 0x7FU;
    if (code == 0x70 || code == 0x71) {
        return reply.sense[2] & 0x0FU;
    }
    if (code == 0x72 || code == 0x73) {
        return reply.sense[1] & 0x0FU;
    }
    return std::nullopt;
}

} // namespace

std::optional<UsbError> translatePassThrough(const PassThroughReply& reply) {
    switch (reply.systemError) {
    case 0:
        break;
    case kErrorSemTimeout:
    case kErrorTimeout:
        return UsbError{UsbErrorKind::Timeout, "the storage driver timed the command out"};
    case kErrorDeviceNotConnected:
    case kErrorNoSuchDevice:
        return UsbError{UsbErrorKind::NoDevice, "the detector is no longer connected"};
    default:
        return UsbError{UsbErrorKind::Io, "the storage driver failed the command (system error " +
                                              std::to_string(reply.systemError) + ")"};
    }
    if (reply.scsiStatus == 0) {
        return std::nullopt;
    }
    if (reply.scsiStatus == kScsiCheckCondition) {
        const auto key = senseKey(reply);
        if (!key) {
            return UsbError{UsbErrorKind::Protocol, "check condition, no sense data"};
        }
        char text[64];
        std::snprintf(text, sizeof text, "check condition, sense key 0x%X (%s)", *key,
                      senseKeyName(*key));
        return UsbError{UsbErrorKind::Protocol, text};
    }
    char text[48];
    std::snprintf(text, sizeof text, "SCSI status 0x%02X", reply.scsiStatus);
    return UsbError{UsbErrorKind::Io, text};
}

std::uint32_t passThroughSeconds(std::chrono::milliseconds timeout) {
    if (timeout.count() <= 1000) {
        return 1;
    }
    const auto seconds = (static_cast<std::uint64_t>(timeout.count()) + 999U) / 1000U;
    return seconds > 0xFFFFFFFFU ? 0xFFFFFFFFU : static_cast<std::uint32_t>(seconds);
}

CommandResult PassThroughChannel::transact(const CommandTransaction& transaction) {
    PassThroughRequest request;
    request.commandBlock = transaction.commandBlock;
    request.direction = transaction.direction;
    request.in = transaction.in;
    request.out = transaction.out;
    request.timeoutSeconds = passThroughSeconds(transaction.timeout);
    const PassThroughReply reply = m_calls->passThrough(request);
    CommandResult result;
    const std::size_t room = transaction.direction == DataDirection::In    ? transaction.in.size()
                             : transaction.direction == DataDirection::Out ? transaction.out.size()
                                                                           : 0;
    result.transferred = std::min<std::size_t>(reply.transferred, room);
    result.error = translatePassThrough(reply);
    if (reply.systemError == 0) {
        result.status = reply.scsiStatus == 0 ? 0 : 1;
    }
    return result;
}

} // namespace usb
