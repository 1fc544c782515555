#pragma once
// The two bulk pipes of an open detector interface, as the link talks through them.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace usb {

// The closed set of ways a USB operation can fail. NotPermitted and Busy only come from opening
// a device; transfers report the first five.
enum class UsbErrorKind { Timeout, Stall, NoDevice, Io, Protocol, NotPermitted, Busy };

const char* toString(UsbErrorKind kind);

struct UsbError {
    UsbErrorKind kind = UsbErrorKind::Io;
    // Names the failing operation and value, e.g. "bulk read on 0x81: timed out after 5000 ms".
    std::string message;
};

// Outcome of one bulk transfer: the bytes actually moved, and the error if it failed. A failed
// transfer may still have moved some bytes (a time-out after a partial transfer).
struct TransferResult {
    std::size_t transferred = 0;
    std::optional<UsbError> error;

    bool ok() const { return !error.has_value(); }
};

// The two bulk pipes, named by their pipe references.
enum class BulkPipe { In = 1, Out = 2 };

// Holds no protocol state: one call is one bulk transfer or one control request.
class UsbTransport {
public:
    UsbTransport() = default;
    UsbTransport(const UsbTransport&) = delete;
    UsbTransport& operator=(const UsbTransport&) = delete;
    UsbTransport(UsbTransport&&) = delete;
    UsbTransport& operator=(UsbTransport&&) = delete;
    virtual ~UsbTransport() = default;

    // Sends all of `data` on pipe 2 (bulk OUT). Returns the bytes sent; fails with Timeout when
    // the device took nothing (or not everything) within `timeout`, Stall when it halted the
    // pipe, NoDevice when it is gone, Io otherwise. Never blocks longer than `timeout`.
    virtual TransferResult bulkWrite(std::span<const std::uint8_t> data,
                                     std::chrono::milliseconds timeout) = 0;

    // Receives up to `buffer.size()` bytes on pipe 1 (bulk IN); a short packet ends the
    // transfer early, which is not an error. Fails as bulkWrite does. Bytes of `buffer` past
    // the reported count are left untouched.
    virtual TransferResult bulkRead(std::span<std::uint8_t> buffer,
                                    std::chrono::milliseconds timeout) = 0;

    // CLEAR_FEATURE(ENDPOINT_HALT) for that pipe's endpoint (and the host's data toggle with
    // it). Nothing on success; fails with Timeout, Stall (the device refused the request),
    // NoDevice or Io. A device that must first be reset may take the request and stay halted.
    // Whether `timeout` bounds it depends on the implementation (libusb: it does not).
    virtual std::optional<UsbError> clearHalt(BulkPipe pipe, std::chrono::milliseconds timeout) = 0;

    // The Bulk-Only Mass Storage Reset: class request 0xFF (bmRequestType 0x21, wValue 0, no
    // data) to the interface. The halts stay as they are. Fails as clearHalt does. Never a port
    // reset: the device is not enumerated again.
    virtual std::optional<UsbError> resetMassStorage(std::chrono::milliseconds timeout) = 0;
};

} // namespace usb
