#include "usb/LibusbBus.hpp"

#include "usb/LibusbSupport.hpp"
#include "usb/LibusbTransport.hpp"
#include "usb/SystemBus.hpp"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <set>
#include <utility>

namespace usb {
namespace {

struct DeviceRef {
    libusb_device* device = nullptr;
    explicit DeviceRef(libusb_device* d)
        : device(libusb_ref_device(d)) {}
    DeviceRef(const DeviceRef&) = delete;
    DeviceRef& operator=(const DeviceRef&) = delete;
    DeviceRef(DeviceRef&& other) noexcept
        : device(std::exchange(other.device, nullptr)) {}
    DeviceRef& operator=(DeviceRef&&) = delete;
    ~DeviceRef() {
        if (device != nullptr) {
            libusb_unref_device(device);
        }
    }
};

std::string nameOf(libusb_device* device) {
    char text[48];
    std::snprintf(text, sizeof text, "bus %u device %u", libusb_get_bus_number(device),
                  libusb_get_device_address(device));
    return text;
}

class LibusbDevice final : public UsbDevice {
public:
    LibusbDevice(std::shared_ptr<detail::LibusbContext> context, DeviceRef device)
        : m_context(std::move(context))
        , m_device(std::move(device)) {
        if (libusb_get_device_descriptor(m_device.device, &m_descriptor) != LIBUSB_SUCCESS) {
            m_descriptor = {};
        }
    }

    DeviceIdentity identity() const override {
        return {m_descriptor.idVendor, m_descriptor.idProduct, m_descriptor.bcdDevice};
    }

    std::string describe() const override { return nameOf(m_device.device); }

    std::string portPath() const override {
        // USB allows at most 7 tiers of ports below the root.
        std::uint8_t ports[7] = {};
        const int count = libusb_get_port_numbers(m_device.device, ports, sizeof ports);
        if (count <= 0) {
            return {};
        }
        std::string path = std::to_string(libusb_get_bus_number(m_device.device)) + "-";
        for (int i = 0; i < count; ++i) {
            // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict on the
            // concatenation of a temporary.
            if (i != 0) {
                path += '.';
            }
            path += std::to_string(ports[i]);
        }
        return path;
    }

    UsbStatus open() override {
        libusb_device_handle* handle = nullptr;
        const int rc = libusb_open(m_device.device, &handle);
        if (rc != LIBUSB_SUCCESS) {
            return detail::translateLibusbError(rc, "opening " + describe());
        }
        m_handle = std::make_shared<detail::LibusbHandle>();
        m_handle->context = m_context;
        m_handle->handle = handle;
        return std::nullopt;
    }

    void close() override { m_handle.reset(); }

    std::uint8_t numberOfConfigurations() override { return m_descriptor.bNumConfigurations; }

    std::optional<std::uint8_t> configurationValue(std::uint8_t index) override {
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_config_descriptor(m_device.device, index, &config) != LIBUSB_SUCCESS) {
            return std::nullopt;
        }
        const std::uint8_t value = config->bConfigurationValue;
        libusb_free_config_descriptor(config);
        return value;
    }

    UsbStatus setConfiguration(std::uint8_t value) override {
        if (!m_handle) {
            return UsbError{UsbErrorKind::Io, describe() + " is not open"};
        }
        // Selecting the active configuration again would be refused (BUSY) while the kernel's
        // mass-storage driver holds the interface, so only a different one is selected.
        int active = -1;
        if (libusb_get_configuration(m_handle->handle, &active) == LIBUSB_SUCCESS &&
            active == value) {
            return std::nullopt;
        }
        const int rc = libusb_set_configuration(m_handle->handle, value);
        if (rc != LIBUSB_SUCCESS) {
            return detail::translateLibusbError(
                rc, "selecting configuration " + std::to_string(value) + " of " + describe());
        }
        return std::nullopt;
    }

    std::variant<OpenedInterface, UsbError> openFirstInterface() override {
        return claimFirstInterface(true);
    }

    std::variant<OpenedInterface, UsbError> openFirstInterfaceIfFree() override {
        return claimFirstInterface(false);
    }

    bool kernelDriverHolds() override {
        if (!m_handle) {
            return false;
        }
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(m_device.device, &config) != LIBUSB_SUCCESS) {
            return false;
        }
        int number = -1;
        if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
            number = config->interface[0].altsetting[0].bInterfaceNumber;
        }
        libusb_free_config_descriptor(config);
        // Asks usbfs which driver is bound (GETDRIVER); usbfs itself, another program's claim,
        // does not count.
        return number >= 0 && libusb_kernel_driver_active(m_handle->handle, number) == 1;
    }

    std::string productString() override {
        if (!m_handle || m_descriptor.iProduct == 0) {
            return {};
        }
        unsigned char text[128] = {};
        const int length = libusb_get_string_descriptor_ascii(
            m_handle->handle, m_descriptor.iProduct, text, static_cast<int>(sizeof text - 1));
        std::string product;
        for (int i = 0; i < length; ++i) {
            const auto c = text[i];
            product += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
        }
        return product;
    }

private:
    std::variant<OpenedInterface, UsbError> claimFirstInterface(bool takeFromKernelDriver) {
        if (!m_handle) {
            return UsbError{UsbErrorKind::Io, describe() + " is not open"};
        }
        libusb_config_descriptor* config = nullptr;
        int rc = libusb_get_active_config_descriptor(m_device.device, &config);
        if (rc != LIBUSB_SUCCESS) {
            return detail::translateLibusbError(rc, "reading the configuration of " + describe());
        }
        OpenedInterface opened;
        std::uint8_t out = 0;
        std::uint8_t in = 0;
        bool haveOut = false;
        bool haveIn = false;
        int number = -1;
        if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
            const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
            number = alt.bInterfaceNumber;
            opened.interfaceClass = alt.bInterfaceClass;
            opened.interfaceSubClass = alt.bInterfaceSubClass;
            for (int i = 0; i < alt.bNumEndpoints; ++i) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[i];
                const bool isIn = (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0;
                opened.pipeDirections.push_back(isIn ? PipeDirection::In : PipeDirection::Out);
                if ((ep.bmAttributes & 0x03U) != LIBUSB_TRANSFER_TYPE_BULK) {
                    continue;
                }
                if (isIn && !haveIn) {
                    in = ep.bEndpointAddress;
                    haveIn = true;
                } else if (!isIn && !haveOut) {
                    out = ep.bEndpointAddress;
                    haveOut = true;
                }
            }
        }
        libusb_free_config_descriptor(config);
        if (number < 0) {
            return UsbError{UsbErrorKind::Protocol, describe() + " has no interface"};
        }
        // Guessed endpoint addresses would only fail later, at the first command, with a
        // misleading transfer error.
        if (!haveOut || !haveIn) {
            return UsbError{UsbErrorKind::Protocol, "interface " + std::to_string(number) + " of " +
                                                        describe() + " has no bulk " +
                                                        (haveOut  ? "IN"
                                                         : haveIn ? "OUT"
                                                                  : "IN or OUT") +
                                                        " endpoint"};
        }
        // Where the kernel's mass-storage driver holds the interface, take it for this run;
        // otherwise a driver's hold makes the claim fail with BUSY.
        libusb_set_auto_detach_kernel_driver(m_handle->handle, takeFromKernelDriver ? 1 : 0);
        rc = libusb_claim_interface(m_handle->handle, number);
        if (rc != LIBUSB_SUCCESS) {
            return detail::translateLibusbError(rc, "claiming interface " + std::to_string(number) +
                                                        " of " + describe());
        }
        m_handle->claimedInterface = number;
        opened.transport = std::make_shared<LibusbTransport>(m_handle, out, in);
        return opened;
    }

    std::shared_ptr<detail::LibusbContext> m_context;
    DeviceRef m_device;
    libusb_device_descriptor m_descriptor{};
    std::shared_ptr<detail::LibusbHandle> m_handle;
};

} // namespace

struct LibusbBus::Impl {
    std::shared_ptr<detail::LibusbContext> context;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    bool hotplug = false;
    libusb_hotplug_callback_handle callback{};

    std::mutex mutex;
    std::condition_variable wakeUp;
    bool woken = false;
    std::vector<DeviceRef> arrived;
    // Polling: devices (bus, address) already offered and still present.
    std::set<std::pair<int, int>> offered;
    bool firstPoll = true;

    static int LIBUSB_CALL onArrival(libusb_context* /*ctx*/, libusb_device* device,
                                     libusb_hotplug_event /*event*/, void* self) {
        auto* impl = static_cast<Impl*>(self);
        const std::lock_guard lock(impl->mutex);
        impl->arrived.emplace_back(device);
        return 0;
    }

    std::vector<DeviceRef> poll() {
        std::vector<DeviceRef> found;
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context->context, &list);
        if (count < 0) {
            return found;
        }
        std::set<std::pair<int, int>> present;
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(list[i], &descriptor) != LIBUSB_SUCCESS ||
                descriptor.idVendor != vendor || descriptor.idProduct != product) {
                continue;
            }
            const std::pair<int, int> key{libusb_get_bus_number(list[i]),
                                          libusb_get_device_address(list[i])};
            present.insert(key);
            if (offered.count(key) == 0) {
                found.emplace_back(list[i]);
            }
        }
        libusb_free_device_list(list, 1);
        offered = std::move(present);
        return found;
    }
};

LibusbBus::LibusbBus(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl)) {}

std::variant<std::shared_ptr<LibusbBus>, UsbError>
LibusbBus::create(std::uint16_t vendor, std::uint16_t product, Options options) {
    auto impl = std::make_unique<Impl>();
    impl->vendor = vendor;
    impl->product = product;
    impl->context = std::make_shared<detail::LibusbContext>();
    const int rc = libusb_init(&impl->context->context);
    if (rc != LIBUSB_SUCCESS) {
        impl->context->context = nullptr;
        return detail::translateLibusbError(rc, "initialising libusb");
    }
    Impl* raw = impl.get();
    std::shared_ptr<LibusbBus> bus(new LibusbBus(std::move(impl)));
    if (!options.forcePolling && libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0) {
        // ENUMERATE offers the devices already present, like the first poll.
        const int hrc = libusb_hotplug_register_callback(
            raw->context->context, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, LIBUSB_HOTPLUG_ENUMERATE,
            vendor, product, LIBUSB_HOTPLUG_MATCH_ANY, &Impl::onArrival, raw, &raw->callback);
        raw->hotplug = hrc == LIBUSB_SUCCESS;
    }
    return bus;
}

LibusbBus::~LibusbBus() {
    if (m_impl->hotplug) {
        libusb_hotplug_deregister_callback(m_impl->context->context, m_impl->callback);
    }
    const std::lock_guard lock(m_impl->mutex);
    m_impl->arrived.clear();
}

bool LibusbBus::usesHotplug() const { return m_impl->hotplug; }

std::vector<std::unique_ptr<UsbDevice>> LibusbBus::takeMatched() {
    std::vector<DeviceRef> devices;
    if (m_impl->hotplug) {
        const std::lock_guard lock(m_impl->mutex);
        devices.swap(m_impl->arrived);
    } else {
        devices = m_impl->poll();
    }
    std::vector<std::unique_ptr<UsbDevice>> out;
    out.reserve(devices.size());
    for (auto& device : devices) {
        out.push_back(std::make_unique<LibusbDevice>(m_impl->context, std::move(device)));
    }
    return out;
}

void LibusbBus::waitForArrival(std::chrono::milliseconds timeout) {
    if (m_impl->hotplug) {
        {
            const std::lock_guard lock(m_impl->mutex);
            if (!m_impl->arrived.empty() || std::exchange(m_impl->woken, false)) {
                return;
            }
        }
        timeval tv{};
        tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
        tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
        libusb_handle_events_timeout_completed(m_impl->context->context, &tv, nullptr);
        const std::lock_guard lock(m_impl->mutex);
        m_impl->woken = false;
        return;
    }
    std::unique_lock lock(m_impl->mutex);
    m_impl->wakeUp.wait_for(lock, timeout, [this] { return m_impl->woken; });
    m_impl->woken = false;
}

void LibusbBus::wake() {
    {
        const std::lock_guard lock(m_impl->mutex);
        m_impl->woken = true;
    }
    m_impl->wakeUp.notify_all();
    if (m_impl->hotplug) {
        libusb_interrupt_event_handler(m_impl->context->context);
    }
}

bool systemBusCarriesWholeCommands() { return false; }

std::variant<std::shared_ptr<UsbBus>, UsbError>
openSystemBus(std::uint16_t vendor, std::uint16_t product, bool forcePolling) {
    auto created = LibusbBus::create(vendor, product, LibusbBus::Options{forcePolling});
    if (auto* error = std::get_if<UsbError>(&created)) {
        return *error;
    }
    return std::shared_ptr<UsbBus>(std::get<std::shared_ptr<LibusbBus>>(std::move(created)));
}

} // namespace usb
