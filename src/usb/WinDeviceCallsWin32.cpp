// The storage-driver bus's calls on Windows: SetupAPI and CfgMgr32 find the disks and their USB
// device nodes, CreateFileW opens a disk, DeviceIoControl carries the pass-through request.

#include "install/WideText.hpp"
#include "usb/WinDeviceCalls.hpp"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <mutex>

// initguid.h first, so that GUID_DEVINTERFACE_DISK and the property keys are defined here, and
// windows.h before the headers that use its types.
// clang-format off
#include <initguid.h>
#include <windows.h>
#include <cfgmgr32.h>
#include <devguid.h>
#include <devpkey.h>
#include <malloc.h>
#include <ntddscsi.h>
#include <setupapi.h>
// clang-format on

namespace usb {

static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(kErrorPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(kErrorSharingViolation == ERROR_SHARING_VIOLATION);
static_assert(kErrorGenFailure == ERROR_GEN_FAILURE);
static_assert(kErrorSemTimeout == ERROR_SEM_TIMEOUT);
static_assert(kErrorIoDevice == ERROR_IO_DEVICE);
static_assert(kErrorDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED);
static_assert(kErrorTimeout == ERROR_TIMEOUT);

namespace {

// The longest wait: arrivals are found by looking again, so a wait is a poll interval.
constexpr DWORD kLongestWaitMs = 250;
// Storage adapters ask for at most this alignment of the data buffer.
constexpr std::size_t kBufferAlignment = 4096;
// Disk, then the USB mass-storage node, perhaps a composite device's interface node above.
constexpr int kLongestWalkUp = 8;

// The first string of a registry property (REG_SZ or REG_MULTI_SZ); empty when it has none.
std::string registryText(DEVINST node, ULONG property) {
    ULONG size = 0;
    ULONG type = 0;
    if (CM_Get_DevNode_Registry_PropertyW(node, property, &type, nullptr, &size, 0) !=
            CR_BUFFER_SMALL ||
        size == 0) {
        return {};
    }
    // Two spare characters terminate even a value stored without its terminator.
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 2, L'\0');
    ULONG length = size;
    if (CM_Get_DevNode_Registry_PropertyW(node, property, &type, text.data(), &length, 0) !=
        CR_SUCCESS) {
        return {};
    }
    return sys::utf8FromWide(text.data());
}

// A string property by key (the USB product string the bus reported).
std::string propertyText(DEVINST node, const DEVPROPKEY& key) {
    DEVPROPTYPE type = 0;
    ULONG size = 0;
    if (CM_Get_DevNode_PropertyW(node, &key, &type, nullptr, &size, 0) != CR_BUFFER_SMALL ||
        type != DEVPROP_TYPE_STRING || size == 0) {
        return {};
    }
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 2, L'\0');
    ULONG length = size;
    if (CM_Get_DevNode_PropertyW(node, &key, &type, reinterpret_cast<PBYTE>(text.data()), &length,
                                 0) != CR_SUCCESS) {
        return {};
    }
    return sys::utf8FromWide(text.data());
}

bool startsWithUsbVendor(const std::string& id) {
    static constexpr char kPrefix[] = "USB\\VID_";
    if (id.size() < sizeof kPrefix - 1) {
        return false;
    }
    for (std::size_t i = 0; i + 1 < sizeof kPrefix; ++i) {
        if (std::toupper(static_cast<unsigned char>(id[i])) != kPrefix[i]) {
            return false;
        }
    }
    return true;
}

bool isInterfaceNode(const std::string& id) {
    std::string upper(id);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper.find("&MI_") != std::string::npos;
}

// Walks up from the disk to the USB device node: the first USB\VID_ node that is not one
// interface of a composite device (whose location path ends in USBMI, not at the port).
void describeUsbNode(DEVINST disk, DiskInterface& out) {
    DEVINST node = disk;
    for (int depth = 0; depth < kLongestWalkUp; ++depth) {
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) {
            return;
        }
        node = parent;
        const std::string id = registryText(node, CM_DRP_HARDWAREID);
        if (!startsWithUsbVendor(id) || isInterfaceNode(id)) {
            continue;
        }
        out.hardwareId = id;
        out.locationPath = registryText(node, CM_DRP_LOCATION_PATHS);
        out.description = propertyText(node, DEVPKEY_Device_BusReportedDeviceDesc);
        if (out.description.empty()) {
            out.description = registryText(node, CM_DRP_DEVICEDESC);
        }
        return;
    }
}

struct PassThroughWithSense {
    SCSI_PASS_THROUGH_DIRECT request;
    ULONG filler; // keeps the sense bytes aligned after the request
    UCHAR sense[32];
};

// A data buffer on the alignment storage adapters ask for, grown as needed.
class AlignedBuffer {
public:
    AlignedBuffer() = default;
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    AlignedBuffer(AlignedBuffer&&) = delete;
    AlignedBuffer& operator=(AlignedBuffer&&) = delete;
    ~AlignedBuffer() { _aligned_free(m_data); }

    std::uint8_t* reserve(std::size_t size) {
        if (size > m_size) {
            void* bigger = _aligned_malloc(size, kBufferAlignment);
            if (bigger == nullptr) {
                return nullptr;
            }
            _aligned_free(m_data);
            m_data = static_cast<std::uint8_t*>(bigger);
            m_size = size;
        }
        return m_data;
    }

private:
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

class DiskHandle final : public PassThroughCalls {
public:
    explicit DiskHandle(HANDLE handle)
        : m_handle(handle) {}
    DiskHandle(const DiskHandle&) = delete;
    DiskHandle& operator=(const DiskHandle&) = delete;
    DiskHandle(DiskHandle&&) = delete;
    DiskHandle& operator=(DiskHandle&&) = delete;
    ~DiskHandle() override { CloseHandle(m_handle); }

    PassThroughReply passThrough(const PassThroughRequest& request) override {
        PassThroughReply reply;
        const std::size_t length = request.direction == DataDirection::In    ? request.in.size()
                                   : request.direction == DataDirection::Out ? request.out.size()
                                                                             : 0;
        PassThroughWithSense block{};
        if (request.commandBlock.empty() ||
            request.commandBlock.size() > sizeof block.request.Cdb || length > 0xFFFFFFFFU) {
            reply.systemError = ERROR_INVALID_PARAMETER;
            return reply;
        }
        const std::lock_guard lock(m_mutex);
        std::uint8_t* data = length == 0 ? nullptr : m_buffer.reserve(length);
        if (length != 0 && data == nullptr) {
            reply.systemError = ERROR_NOT_ENOUGH_MEMORY;
            return reply;
        }
        if (request.direction == DataDirection::Out) {
            std::copy(request.out.begin(), request.out.end(), data);
        }
        block.request.Length = sizeof block.request;
        block.request.CdbLength = static_cast<UCHAR>(request.commandBlock.size());
        block.request.SenseInfoLength = sizeof block.sense;
        block.request.DataIn = request.direction == DataDirection::In ? SCSI_IOCTL_DATA_IN
                               : request.direction == DataDirection::Out
                                   ? SCSI_IOCTL_DATA_OUT
                                   : SCSI_IOCTL_DATA_UNSPECIFIED;
        block.request.DataTransferLength = static_cast<ULONG>(length);
        block.request.TimeOutValue = request.timeoutSeconds;
        block.request.DataBuffer = data;
        block.request.SenseInfoOffset = offsetof(PassThroughWithSense, sense);
        std::copy(request.commandBlock.begin(), request.commandBlock.end(), block.request.Cdb);
        DWORD returned = 0;
        if (DeviceIoControl(m_handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block,
                            sizeof block, &returned, nullptr) == 0) {
            reply.systemError = GetLastError();
            return reply;
        }
        reply.scsiStatus = block.request.ScsiStatus;
        reply.senseLength =
            std::min<std::size_t>(block.request.SenseInfoLength, sizeof block.sense);
        std::copy_n(block.sense, reply.senseLength, reply.sense.begin());
        reply.transferred = block.request.DataTransferLength;
        if (request.direction == DataDirection::In) {
            const std::size_t moved = std::min<std::size_t>(reply.transferred, length);
            std::copy_n(data, moved, request.in.begin());
        }
        return reply;
    }

private:
    HANDLE m_handle;
    std::mutex m_mutex; // one request at a time uses the buffer
    AlignedBuffer m_buffer;
};

class SystemDeviceCalls final : public WinDeviceCalls {
public:
    explicit SystemDeviceCalls(HANDLE wakeEvent)
        : m_wakeEvent(wakeEvent) {}
    SystemDeviceCalls(const SystemDeviceCalls&) = delete;
    SystemDeviceCalls& operator=(const SystemDeviceCalls&) = delete;
    SystemDeviceCalls(SystemDeviceCalls&&) = delete;
    SystemDeviceCalls& operator=(SystemDeviceCalls&&) = delete;
    ~SystemDeviceCalls() override { CloseHandle(m_wakeEvent); }

    std::vector<DiskInterface> presentDisks() override {
        std::vector<DiskInterface> disks;
        const HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_DISK, nullptr, nullptr,
                                                  DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE) {
            return disks;
        }
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA found{};
            found.cbSize = sizeof found;
            if (SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_DISK, index, &found) ==
                0) {
                break;
            }
            DWORD size = 0;
            SetupDiGetDeviceInterfaceDetailW(set, &found, nullptr, 0, &size, nullptr);
            if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
                continue;
            }
            // DWORD elements give the detail structure its alignment.
            std::vector<DWORD> storage((size + sizeof(DWORD) - 1) / sizeof(DWORD) + 1, 0);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
            SP_DEVINFO_DATA node{};
            node.cbSize = sizeof node;
            if (SetupDiGetDeviceInterfaceDetailW(set, &found, detail, size, nullptr, &node) == 0) {
                continue;
            }
            DiskInterface disk;
            disk.path = sys::utf8FromWide(detail->DevicePath);
            if (disk.path.empty()) {
                continue;
            }
            describeUsbNode(node.DevInst, disk);
            disks.push_back(std::move(disk));
        }
        SetupDiDestroyDeviceInfoList(set);
        return disks;
    }

    std::variant<std::shared_ptr<PassThroughCalls>, std::uint32_t>
    openDisk(const std::string& path) override {
        const std::wstring name = sys::wideFromUtf8(path);
        if (name.empty()) {
            return static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND);
        }
        // Synchronous (no overlapped flag), as pass-through requests must be.
        const HANDLE handle =
            CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return static_cast<std::uint32_t>(GetLastError());
        }
        return std::shared_ptr<PassThroughCalls>(std::make_shared<DiskHandle>(handle));
    }

    void waitForArrival(std::chrono::milliseconds timeout) override {
        const auto ms =
            std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, kLongestWaitMs);
        WaitForSingleObject(m_wakeEvent, static_cast<DWORD>(ms));
    }

    void wake() override { SetEvent(m_wakeEvent); }

private:
    HANDLE m_wakeEvent; // auto-reset: one wake ends one wait
};

} // namespace

std::variant<std::shared_ptr<WinDeviceCalls>, UsbError> makeSystemDeviceCalls() {
    const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (event == nullptr) {
        return UsbError{UsbErrorKind::Io, "creating the wait for detectors: system error " +
                                              std::to_string(GetLastError())};
    }
    return std::shared_ptr<WinDeviceCalls>(std::make_shared<SystemDeviceCalls>(event));
}

} // namespace usb
