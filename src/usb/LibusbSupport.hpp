#pragma once
// Internal to the libusb back end (never included outside src/usb/Libusb*.cpp): owners of
// libusb handles and the one translation of libusb error codes.

#include "usb/UsbTransport.hpp"

#include <memory>
#include <string>

#include <libusb.h>

namespace usb::detail {

struct LibusbContext {
    libusb_context* context = nullptr;

    LibusbContext() = default;
    LibusbContext(const LibusbContext&) = delete;
    LibusbContext& operator=(const LibusbContext&) = delete;
    LibusbContext(LibusbContext&&) = delete;
    LibusbContext& operator=(LibusbContext&&) = delete;
    ~LibusbContext() {
        if (context != nullptr) {
            libusb_exit(context);
        }
    }
};

// An open device; releases the claimed interface and closes on destruction. Keeps the context
// alive as long as the handle lives.
struct LibusbHandle {
    std::shared_ptr<LibusbContext> context;
    libusb_device_handle* handle = nullptr;
    int claimedInterface = -1;

    LibusbHandle() = default;
    LibusbHandle(const LibusbHandle&) = delete;
    LibusbHandle& operator=(const LibusbHandle&) = delete;
    LibusbHandle(LibusbHandle&&) = delete;
    LibusbHandle& operator=(LibusbHandle&&) = delete;
    ~LibusbHandle() {
        if (handle != nullptr) {
            if (claimedInterface >= 0) {
                libusb_release_interface(handle, claimedInterface);
            }
            libusb_close(handle);
        }
    }
};

// The one place where libusb's codes become error kinds. `what` names the failing operation.
UsbError translateLibusbError(int code, const std::string& what);

} // namespace usb::detail
