#include "usb-emulation/UsbEmulation.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>
#include <unistd.h>

namespace testing_support {

struct Urb {
    UMockdevIoctlData* urb = nullptr; // resolved struct usbdevfs_urb
    UMockdevIoctlData* buffer = nullptr;
    std::uint64_t clientAddress = 0;
};

struct EmulatedDevice {
    std::shared_ptr<sim::VirtualDetector> detector;
    UsbEmulation::Options options;
    std::string sysPath;
    std::string node;
    UMockdevIoctlBase* handler = nullptr;
    gulong signal = 0;

    mutable std::mutex mutex;
    // The connection holding the claimed interface (one per open() of the node, in any process).
    UMockdevIoctlClient* owner = nullptr;
    bool driverBound = true;
    int detachCount = 0;
    int claimCount = 0;
    int requestCount = 0;
    bool unplugged = false;
    // Set by the detector's own unplug (from inside a request); handled under the lock.
    std::atomic<bool> unplugRequested{false};
    std::deque<Urb> pending; // submitted, not answered
    std::deque<Urb> done;    // answered, waiting to be reaped

    static void release(Urb& u) {
        if (u.buffer != nullptr) {
            g_object_unref(u.buffer);
        }
        if (u.urb != nullptr) {
            g_object_unref(u.urb);
        }
        u = Urb{};
    }

    static usbdevfs_urb* fields(const Urb& u) {
        return reinterpret_cast<usbdevfs_urb*>(u.urb->data);
    }

    void finish(Urb u, int status, int actual) {
        fields(u)->status = status;
        fields(u)->actual_length = actual;
        done.push_back(u);
    }

    void failAllLocked() {
        unplugged = true;
        while (!pending.empty()) {
            finish(pending.front(), -ESHUTDOWN, 0);
            pending.pop_front();
        }
    }

    // umockdev does not say when a client goes away, so a claim is given up when its holder is
    // found disconnected.
    bool heldByOther(UMockdevIoctlClient* client) {
        if (owner == nullptr || owner == client) {
            return false;
        }
        if (umockdev_ioctl_client_get_connected(owner) != FALSE) {
            return true;
        }
        g_object_unref(owner);
        owner = nullptr;
        return false;
    }

    void claimFor(UMockdevIoctlClient* client) {
        ++claimCount;
        if (owner != client) {
            if (owner != nullptr) {
                g_object_unref(owner);
            }
            owner = static_cast<UMockdevIoctlClient*>(g_object_ref(client));
        }
    }

    // Called on the testbed's worker thread.
    bool handle(UMockdevIoctlClient* client) {
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        GError* error = nullptr;
        const std::lock_guard lock(mutex);
        ++requestCount;
        if (unplugRequested.exchange(false)) {
            failAllLocked();
        }
        // As the kernel with REAP_AFTER_DISCONNECT: finished requests can still be reaped.
        if (unplugged && request != USBDEVFS_RELEASEINTERFACE &&
            !(request == USBDEVFS_REAPURBNDELAY && !done.empty())) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return true;
        }
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), &error);
            if (caps == nullptr) {
                break;
            }
            const std::uint32_t value = USBDEVFS_CAP_BULK_SCATTER_GATHER |
                                        USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                        USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            std::memcpy(caps->data, &value, sizeof value);
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        case USBDEVFS_CLEAR_HALT: {
            UMockdevIoctlData* ep =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), &error);
            if (ep == nullptr) {
                break;
            }
            unsigned int endpoint = 0;
            std::memcpy(&endpoint, ep->data, sizeof endpoint);
            completeControl(
                client, detector->control(0x02, 0x01, 0, static_cast<std::uint16_t>(endpoint), 0));
            return true;
        }
        case USBDEVFS_CONTROL: {
            UMockdevIoctlData* c =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ctrltransfer), &error);
            if (c == nullptr) {
                break;
            }
            usbdevfs_ctrltransfer setup{};
            std::memcpy(&setup, c->data, sizeof setup);
            completeControl(client, detector->control(setup.bRequestType, setup.bRequest,
                                                      setup.wValue, setup.wIndex, setup.wLength));
            return true;
        }
        case USBDEVFS_SETCONFIGURATION:
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        case USBDEVFS_RELEASEINTERFACE:
            if (owner == client) {
                g_object_unref(owner);
                owner = nullptr;
            }
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        case USBDEVFS_GETDRIVER: {
            UMockdevIoctlData* d =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), &error);
            if (d == nullptr) {
                break;
            }
            if (!driverBound) {
                umockdev_ioctl_client_complete(client, -1, ENODATA);
                return true;
            }
            auto* info = reinterpret_cast<usbdevfs_getdriver*>(d->data);
            std::snprintf(info->driver, sizeof info->driver, "usb-storage");
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        case USBDEVFS_CLAIMINTERFACE:
            if (driverBound || heldByOther(client)) {
                umockdev_ioctl_client_complete(client, -1, EBUSY);
                return true;
            }
            claimFor(client);
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        case USBDEVFS_DISCONNECT_CLAIM:
            // libusb asks to detach any driver but usbfs: another program's claim stays.
            if (options.refuseDetach || heldByOther(client)) {
                umockdev_ioctl_client_complete(client, -1, EBUSY);
                return true;
            }
            claimFor(client);
            if (driverBound) {
                driverBound = false;
                ++detachCount;
            }
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        case USBDEVFS_IOCTL: {
            UMockdevIoctlData* d =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), &error);
            if (d == nullptr) {
                break;
            }
            const auto* io = reinterpret_cast<usbdevfs_ioctl*>(d->data);
            if (io->ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
                driverBound = true;
            } else if (io->ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
                driverBound = false;
                ++detachCount;
            }
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        case USBDEVFS_SUBMITURB:
            return submit(client, arg);
        case USBDEVFS_REAPURBNDELAY: {
            if (done.empty()) {
                umockdev_ioctl_client_complete(client, -1, EAGAIN);
                return true;
            }
            UMockdevIoctlData* p = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), &error);
            if (p == nullptr) {
                break;
            }
            Urb u = done.front();
            done.pop_front();
            umockdev_ioctl_data_set_ptr(p, 0, u.urb);
            umockdev_ioctl_client_complete(client, 0, 0);
            release(u);
            return true;
        }
        case USBDEVFS_DISCARDURB: {
            std::uint64_t address = 0;
            std::memcpy(&address, arg->data, std::min<std::size_t>(sizeof address, arg->data_len));
            const auto it = std::find_if(pending.begin(), pending.end(),
                                         [&](const Urb& u) { return u.clientAddress == address; });
            if (it == pending.end()) {
                umockdev_ioctl_client_complete(client, -1, EINVAL);
                return true;
            }
            finish(*it, -ENOENT, 0);
            pending.erase(it);
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        default:
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return true;
        }
        if (error != nullptr) {
            g_error_free(error);
        }
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return true;
    }

    bool submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        GError* error = nullptr;
        Urb u;
        std::memcpy(&u.clientAddress, arg->data, sizeof u.clientAddress);
        UMockdevIoctlData* urbData =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), &error);
        if (urbData == nullptr) {
            g_clear_error(&error);
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return true;
        }
        u.urb = umockdev_ioctl_data_ref(urbData);
        auto* f = fields(u);
        const int length = std::max(f->buffer_length, 0);
        UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
            urbData, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(length), &error);
        if (buffer == nullptr) {
            g_clear_error(&error);
            release(u);
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return true;
        }
        u.buffer = umockdev_ioctl_data_ref(buffer);
        const bool in = (f->endpoint & 0x80U) != 0;
        if (f->type == USBDEVFS_URB_TYPE_CONTROL) {
            // The setup packet leads the buffer; only requests without data are known.
            if (length < 8) {
                finish(u, -EINVAL, 0);
            } else if (const auto text = stringDescriptor(u.buffer->data)) {
                const auto size = std::min(text->size(), static_cast<std::size_t>(length - 8));
                std::copy_n(text->begin(), size, u.buffer->data + 8);
                finish(u, 0, static_cast<int>(size));
            } else {
                const std::uint8_t* p = u.buffer->data;
                const auto word = [p](int at) {
                    return static_cast<std::uint16_t>(p[at] | (p[at + 1] << 8U));
                };
                answerWith(u, detector->control(p[0], p[1], word(2), word(4), word(6)), {});
            }
        } else if (in) {
            const auto answer = detector->send(static_cast<std::size_t>(length));
            answerWith(u, answer.answer, answer.data);
        } else {
            const auto answer =
                detector->receive({u.buffer->data, static_cast<std::size_t>(length)});
            answerWith(u, answer, {}, length);
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }

    // GET_DESCRIPTOR(STRING) as the device's USB core answers it: the language list (US
    // English) and the product string; nothing for other requests.
    std::optional<std::vector<std::uint8_t>> stringDescriptor(const std::uint8_t* setup) const {
        if (setup[0] != 0x80 || setup[1] != 0x06 || setup[3] != 0x03) {
            return std::nullopt;
        }
        if (setup[2] == 0) {
            return std::vector<std::uint8_t>{4, 0x03, 0x09, 0x04};
        }
        if (setup[2] != 2) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> text{0, 0x03};
        for (const char c : options.productString) {
            text.push_back(static_cast<std::uint8_t>(c));
            text.push_back(0);
        }
        text[0] = static_cast<std::uint8_t>(text.size());
        return text;
    }

    void answerWith(Urb u, sim::VirtualDetector::Answer answer,
                    const std::vector<std::uint8_t>& data, int outLength = 0) {
        using Answer = sim::VirtualDetector::Answer;
        switch (answer) {
        case Answer::Done:
            std::copy(data.begin(), data.end(), u.buffer->data);
            finish(u, 0, outLength != 0 ? outLength : static_cast<int>(data.size()));
            break;
        case Answer::Stall:
            finish(u, -EPIPE, 0);
            break;
        case Answer::NoDevice:
            pending.push_back(u);
            failAllLocked();
            break;
        case Answer::NoAnswer:
            pending.push_back(u);
            break;
        }
    }

    static void completeControl(UMockdevIoctlClient* client, sim::VirtualDetector::Answer answer) {
        using Answer = sim::VirtualDetector::Answer;
        switch (answer) {
        case Answer::Done:
            umockdev_ioctl_client_complete(client, 0, 0);
            return;
        case Answer::Stall:
            umockdev_ioctl_client_complete(client, -1, EPIPE);
            return;
        case Answer::NoDevice:
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return;
        case Answer::NoAnswer:
            umockdev_ioctl_client_complete(client, -1, ETIMEDOUT);
            return;
        }
    }

    static gboolean onIoctl(UMockdevIoctlBase* /*handler*/, UMockdevIoctlClient* client,
                            gpointer self) {
        return static_cast<EmulatedDevice*>(self)->handle(client) ? TRUE : FALSE;
    }

    ~EmulatedDevice() {
        if (owner != nullptr) {
            g_object_unref(owner);
        }
        for (auto* list : {&pending, &done}) {
            for (auto& u : *list) {
                release(u);
            }
        }
    }
    EmulatedDevice() = default;
    EmulatedDevice(const EmulatedDevice&) = delete;
    EmulatedDevice& operator=(const EmulatedDevice&) = delete;
    EmulatedDevice(EmulatedDevice&&) = delete;
    EmulatedDevice& operator=(EmulatedDevice&&) = delete;
};

namespace {

UMockdevTestbed* testbed(void* p) { return static_cast<UMockdevTestbed*>(p); }

// Bus 1's folder; a device's folder below it is named by its port path.
constexpr const char* kBusFolder = "/sys/devices/pci0000:00/0000:00:14.0/usb1/";

std::string hex16(std::uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X", v & 0xFFU, v >> 8U);
    return text;
}

} // namespace

void UsbEmulation::reExecUnderPreload(char** argv) {
    const char* current = std::getenv("LD_PRELOAD");
    if (current != nullptr && std::strstr(current, "libumockdev-preload") != nullptr) {
        return;
    }
    std::string preload = "libumockdev-preload.so.0";
    if (current != nullptr && *current != '\0') {
        preload += std::string(":") + current;
    }
    setenv("LD_PRELOAD", preload.c_str(), 1);
    // AddressSanitizer insists on being first in the library list; the preload comes first.
    std::string asan = std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "";
    asan += asan.empty() ? "verify_asan_link_order=0" : ":verify_asan_link_order=0";
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    execv("/proc/self/exe", argv);
}

UsbEmulation::UsbEmulation() {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr) {
        throw std::runtime_error("not running under umockdev's preload library");
    }
    m_testbed = umockdev_testbed_new();
    gchar* root = umockdev_testbed_get_root_dir(testbed(m_testbed));
    m_root = root;
    g_free(root);
}

UsbEmulation::~UsbEmulation() {
    for (auto& [devnum, device] : m_devices) {
        if (!device->sysPath.empty()) {
            umockdev_testbed_uevent(testbed(m_testbed), device->sysPath.c_str(), "remove");
            umockdev_testbed_remove_device(testbed(m_testbed), device->sysPath.c_str());
        }
        umockdev_testbed_detach_ioctl(testbed(m_testbed), device->node.c_str(), nullptr);
        g_signal_handler_disconnect(device->handler, device->signal);
        g_object_unref(device->handler);
    }
    m_devices.clear();
    for (auto it = m_hubs.rbegin(); it != m_hubs.rend(); ++it) {
        umockdev_testbed_remove_device(testbed(m_testbed), it->c_str());
    }
    g_object_unref(testbed(m_testbed));
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

void UsbEmulation::plug(int devnum, std::shared_ptr<sim::VirtualDetector> detector,
                        Options options) {
    plugAt("1-" + std::to_string(devnum), devnum, std::move(detector), options);
}

void UsbEmulation::addHub(const std::string& path) {
    const bool root = path == "usb1";
    std::string sysPath = kBusFolder;
    if (root) {
        sysPath.pop_back();
    } else {
        sysPath += path;
    }
    if (std::find(m_hubs.begin(), m_hubs.end(), sysPath) != m_hubs.end()) {
        return;
    }
    // The root hub 1d6b:0002 is device 1, other hubs (05e3:0608) count from 100; each has a hub
    // interface with one interrupt endpoint.
    const int devnum = root ? 1 : 100 + static_cast<int>(m_hubs.size());
    char node[32];
    std::snprintf(node, sizeof node, "%03d", devnum);
    const std::string descriptors = std::string("12010002090001") + "40" +
                                    (root ? "6B1D02000606" : "E30508060100") +
                                    "03020101"
                                    "09021900010100E000"
                                    "090400000109000000"
                                    "0705810301000C";
    const std::string record =
        "P: " + sysPath.substr(4) + "\nN: bus/usb/001/" + node +
        "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=/dev/bus/usb/001/" + node +
        "\nE: BUSNUM=001\nE: DEVNUM=" + node +
        "\nA: busnum=1\\n\nA: devnum=" + std::to_string(devnum) +
        "\\n\nA: bConfigurationValue=1\\n\nA: speed=480\\n\nH: descriptors=" + descriptors + "\n";
    GError* error = nullptr;
    if (umockdev_testbed_add_from_string(testbed(m_testbed), record.c_str(), &error) == FALSE) {
        const std::string why = error != nullptr ? error->message : "?";
        g_clear_error(&error);
        throw std::runtime_error("adding hub " + path + ": " + why);
    }
    m_hubs.push_back(sysPath);
}

void UsbEmulation::plugAt(const std::string& port, int devnum,
                          std::shared_ptr<sim::VirtualDetector> detector, Options options) {
    if (!port.starts_with("1-")) {
        throw std::invalid_argument("only bus 1 is emulated: " + port);
    }
    addHub("usb1");
    for (auto dot = port.find('.'); dot != std::string::npos; dot = port.find('.', dot + 1)) {
        addHub(port.substr(0, dot));
    }
    auto device = std::make_unique<EmulatedDevice>();
    device->detector = detector;
    device->options = options;
    device->driverBound = options.driverBound;
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", devnum);
    device->node = node;
    device->sysPath = std::string(kBusFolder) + port;
    device->handler = umockdev_ioctl_base_new();
    device->signal = g_signal_connect(device->handler, "handle-ioctl",
                                      G_CALLBACK(&EmulatedDevice::onIoctl), device.get());
    GError* error = nullptr;
    if (umockdev_testbed_attach_ioctl(testbed(m_testbed), node, device->handler, &error) == FALSE) {
        const std::string why = error != nullptr ? error->message : "?";
        g_clear_error(&error);
        throw std::runtime_error("attaching the ioctl handler: " + why);
    }
    // Device descriptor, then configuration, interface (mass storage, bulk-only), IN 0x81, OUT
    // 0x02.
    const std::string descriptors = "12010002000000408304" + hex16(0x5720) +
                                    hex16(detector->release()) +
                                    "01020301"
                                    "09022000010100C032"
                                    "090400000208065000"
                                    "070581" +
                                    (options.bulkEndpoints ? "02" : "03") +
                                    "000200"
                                    "070502" +
                                    (options.bulkEndpoints ? "02" : "03") + "000200";
    const std::string record =
        "P: " + device->sysPath.substr(4) + "\nN: bus/usb/001/" + (node + 17) +
        "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=" + node +
        "\nE: BUSNUM=001\nE: DEVNUM=" + (node + 17) +
        "\nA: busnum=1\\n\nA: devnum=" + std::to_string(devnum) +
        "\\n\nA: bConfigurationValue=1\\n\nA: speed=480\\n\nH: descriptors=" + descriptors + "\n";
    if (umockdev_testbed_add_from_string(testbed(m_testbed), record.c_str(), &error) == FALSE) {
        const std::string why = error != nullptr ? error->message : "?";
        g_clear_error(&error);
        throw std::runtime_error("adding the device: " + why);
    }
    // Announce the arrival to udev listeners (libusb's hotplug monitor).
    umockdev_testbed_uevent(testbed(m_testbed), device->sysPath.c_str(), "add");
    EmulatedDevice* raw = device.get();
    detector->setUnplugListener([raw] { raw->unplugRequested = true; });
    m_devices[devnum] = std::move(device);
}

void UsbEmulation::unplug(int devnum) {
    const auto it = m_devices.find(devnum);
    if (it == m_devices.end()) {
        return;
    }
    auto& device = *it->second;
    device.detector->unplug();
    {
        const std::lock_guard lock(device.mutex);
        device.failAllLocked();
    }
    if (!device.sysPath.empty()) {
        umockdev_testbed_uevent(testbed(m_testbed), device.sysPath.c_str(), "remove");
        umockdev_testbed_remove_device(testbed(m_testbed), device.sysPath.c_str());
        device.sysPath.clear();
    }
}

int UsbEmulation::driverDetachCount(int devnum) const {
    const auto& device = *m_devices.at(devnum);
    const std::lock_guard lock(device.mutex);
    return device.detachCount;
}

bool UsbEmulation::driverBound(int devnum) const {
    const auto& device = *m_devices.at(devnum);
    const std::lock_guard lock(device.mutex);
    return device.driverBound;
}

int UsbEmulation::claimCount(int devnum) const {
    const auto& device = *m_devices.at(devnum);
    const std::lock_guard lock(device.mutex);
    return device.claimCount;
}

int UsbEmulation::requestCount(int devnum) const {
    const auto& device = *m_devices.at(devnum);
    const std::lock_guard lock(device.mutex);
    return device.requestCount;
}

} // namespace testing_support
