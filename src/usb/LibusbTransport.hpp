#pragma once
// The two bulk pipes of a claimed interface, through libusb.

#include "usb/UsbTransport.hpp"

#include <cstdint>
#include <memory>

namespace usb {

namespace detail {
struct LibusbHandle;
}

// Pipe 2 is the bulk OUT endpoint, pipe 1 the bulk IN endpoint. Keeps the device open (and
// its interface claimed) as long as it lives.
class LibusbTransport final : public UsbTransport {
public:
    LibusbTransport(std::shared_ptr<detail::LibusbHandle> handle, std::uint8_t outEndpoint,
                    std::uint8_t inEndpoint);
    ~LibusbTransport() override;

    TransferResult bulkWrite(std::span<const std::uint8_t> data,
                             std::chrono::milliseconds timeout) override;
    TransferResult bulkRead(std::span<std::uint8_t> buffer,
                            std::chrono::milliseconds timeout) override;
    // libusb_clear_halt, a synchronous request: `timeout` is not applied, since libusb takes
    // none. The kernel bounds it at 5 s, and nothing wakes the calling thread before; a stop
    // is honoured between recovery steps instead (LinkRecovery).
    std::optional<UsbError> clearHalt(BulkPipe pipe, std::chrono::milliseconds timeout) override;
    // A class control transfer to the claimed interface; never libusb_reset_device, which would
    // re-enumerate the device.
    std::optional<UsbError> resetMassStorage(std::chrono::milliseconds timeout) override;

    std::uint8_t outEndpoint() const { return m_out; }
    std::uint8_t inEndpoint() const { return m_in; }

private:
    std::shared_ptr<detail::LibusbHandle> m_handle;
    std::uint8_t m_out;
    std::uint8_t m_in;
};

} // namespace usb
