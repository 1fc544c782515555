#pragma once
// A USB device that matched the link's vendor and product, before and while it is set up.

#include "usb/CommandChannel.hpp"
#include "usb/UsbTransport.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace usb {

struct DeviceIdentity {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    // bcdDevice of the device descriptor.
    std::uint16_t release = 0;
};

// Endpoint directions as the diagnostics print them: 0 out, 1 in, 2 none, 3 any.
enum class PipeDirection : std::uint8_t { Out = 0, In = 1, None = 2, Any = 3 };

// The first interface of a device, claimed, with its two bulk pipes behind `transport`, or,
// where the system's storage driver keeps the pipes, its command transactions behind `channel`
// (then `transport` is empty).
struct OpenedInterface {
    std::uint8_t interfaceClass = 0;
    std::uint8_t interfaceSubClass = 0;
    // Direction of each endpoint in descriptor order; pipe reference N is entry N-1.
    std::vector<PipeDirection> pipeDirections;
    std::shared_ptr<UsbTransport> transport;
    std::shared_ptr<CommandChannel> channel;
};

// No return value means success.
using UsbStatus = std::optional<UsbError>;

// The device handle the set-up steps work on. Implementations: libusb, and the virtual bus.
class UsbDevice {
public:
    UsbDevice() = default;
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;
    UsbDevice(UsbDevice&&) = delete;
    UsbDevice& operator=(UsbDevice&&) = delete;
    virtual ~UsbDevice() = default;

    // Descriptor values, read without opening the device.
    virtual DeviceIdentity identity() const = 0;
    // A short name for messages, e.g. "bus 1 device 2".
    virtual std::string describe() const = 0;
    // Where the device is plugged in: the bus, a dash and the port numbers from the root hub
    // down, e.g. "1-4.2". Stays the same when the device is plugged into the same port again.
    // Empty when the bus has no ports.
    virtual std::string portPath() const { return {}; }

    // Opens the device for exclusive use. Fails with NotPermitted, Busy, NoDevice or Io.
    virtual UsbStatus open() = 0;
    // Closes the device; an interface already claimed through openFirstInterface stays usable.
    virtual void close() = 0;

    // Number of configurations in the device descriptor.
    virtual std::uint8_t numberOfConfigurations() = 0;
    // bConfigurationValue of the configuration at `index`; nothing when it cannot be read.
    virtual std::optional<std::uint8_t> configurationValue(std::uint8_t index) = 0;
    // Selects the configuration with that value. Needs open().
    virtual UsbStatus setConfiguration(std::uint8_t value) = 0;

    // Claims the first interface (taking it from a kernel driver bound to it) and returns its
    // pipes. Needs open(). Fails with NotPermitted, Busy, NoDevice, Protocol (no interface, no
    // bulk endpoints) or Io.
    virtual std::variant<OpenedInterface, UsbError> openFirstInterface() = 0;

    // For looking at a device without taking it from anyone. The defaults suit a device no
    // kernel driver can hold (a virtual one).
    // Whether a kernel driver (e.g. usb-storage) has the first interface bound: asked, nothing
    // taken. Needs open(). False where it cannot be told.
    virtual bool kernelDriverHolds() { return false; }
    // The product string descriptor, read on the control pipe without claiming anything;
    // empty when the device has none or does not give it. Needs open().
    virtual std::string productString() { return {}; }
    // As openFirstInterface, but a kernel driver bound to the interface keeps it: the claim
    // then fails with Busy.
    virtual std::variant<OpenedInterface, UsbError> openFirstInterfaceIfFree() {
        return openFirstInterface();
    }
};

} // namespace usb
