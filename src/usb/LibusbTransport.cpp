#include "usb/LibusbTransport.hpp"

#include "usb/LibusbSupport.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace usb {
namespace {

unsigned timeoutMs(std::chrono::milliseconds timeout) {
    // libusb reads 0 as "wait for ever"; every transfer here is bounded.
    return static_cast<unsigned>(std::clamp<long long>(timeout.count(), 1, 24LL * 3600 * 1000));
}

TransferResult transfer(libusb_device_handle* handle, std::uint8_t endpoint, std::uint8_t* data,
                        std::size_t size, std::chrono::milliseconds timeout) {
    TransferResult result;
    if (size > static_cast<std::size_t>(INT_MAX)) {
        result.error = UsbError{UsbErrorKind::Protocol,
                                "transfer of " + std::to_string(size) + " bytes is too long"};
        return result;
    }
    int moved = 0;
    const int rc = libusb_bulk_transfer(handle, endpoint, data, static_cast<int>(size), &moved,
                                        timeoutMs(timeout));
    result.transferred = static_cast<std::size_t>(std::max(moved, 0));
    if (rc != LIBUSB_SUCCESS) {
        char what[96];
        std::snprintf(what, sizeof what, "bulk %s of %zu bytes on endpoint 0x%02x (%lld ms)",
                      (endpoint & 0x80U) != 0 ? "read" : "write", size, endpoint,
                      static_cast<long long>(timeout.count()));
        result.error = detail::translateLibusbError(rc, what);
    }
    return result;
}

} // namespace

namespace detail {

UsbError translateLibusbError(int code, const std::string& what) {
    UsbErrorKind kind = UsbErrorKind::Io;
    switch (code) {
    case LIBUSB_ERROR_TIMEOUT:
        kind = UsbErrorKind::Timeout;
        break;
    case LIBUSB_ERROR_PIPE:
        kind = UsbErrorKind::Stall;
        break;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
        kind = UsbErrorKind::NoDevice;
        break;
    case LIBUSB_ERROR_ACCESS:
        kind = UsbErrorKind::NotPermitted;
        break;
    case LIBUSB_ERROR_BUSY:
        kind = UsbErrorKind::Busy;
        break;
    case LIBUSB_ERROR_OVERFLOW:
    case LIBUSB_ERROR_INVALID_PARAM:
    case LIBUSB_ERROR_NOT_SUPPORTED:
        kind = UsbErrorKind::Protocol;
        break;
    default:
        kind = UsbErrorKind::Io;
        break;
    }
    return UsbError{kind, what + ": " + libusb_error_name(code)};
}

} // namespace detail

LibusbTransport::LibusbTransport(std::shared_ptr<detail::LibusbHandle> handle,
                                 std::uint8_t outEndpoint, std::uint8_t inEndpoint)
    : m_handle(std::move(handle))
    , m_out(outEndpoint)
    , m_in(inEndpoint) {}

LibusbTransport::~LibusbTransport() = default;

TransferResult LibusbTransport::bulkWrite(std::span<const std::uint8_t> data,
                                          std::chrono::milliseconds timeout) {
    // libusb takes a non-const pointer for both directions; an OUT transfer only reads it.
    return transfer(m_handle->handle, m_out, const_cast<std::uint8_t*>(data.data()), data.size(),
                    timeout);
}

TransferResult LibusbTransport::bulkRead(std::span<std::uint8_t> buffer,
                                         std::chrono::milliseconds timeout) {
    return transfer(m_handle->handle, m_in, buffer.data(), buffer.size(), timeout);
}

std::optional<UsbError> LibusbTransport::clearHalt(BulkPipe pipe,
                                                   std::chrono::milliseconds /*timeout*/) {
    const std::uint8_t endpoint = pipe == BulkPipe::In ? m_in : m_out;
    const int rc = libusb_clear_halt(m_handle->handle, endpoint);
    if (rc == LIBUSB_SUCCESS) {
        return std::nullopt;
    }
    char what[48];
    std::snprintf(what, sizeof what, "clearing the halt of endpoint 0x%02x", endpoint);
    return detail::translateLibusbError(rc, what);
}

std::optional<UsbError> LibusbTransport::resetMassStorage(std::chrono::milliseconds timeout) {
    constexpr std::uint8_t kClassToInterface = 0x21;
    constexpr std::uint8_t kMassStorageReset = 0xFF;
    const auto interface = static_cast<std::uint16_t>(std::max(m_handle->claimedInterface, 0));
    const int rc = libusb_control_transfer(m_handle->handle, kClassToInterface, kMassStorageReset,
                                           0, interface, nullptr, 0, timeoutMs(timeout));
    if (rc >= 0) {
        return std::nullopt;
    }
    return detail::translateLibusbError(rc, "mass storage reset of interface " +
                                                std::to_string(interface) + " (" +
                                                std::to_string(timeout.count()) + " ms)");
}

} // namespace usb
