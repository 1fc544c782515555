#pragma once
// The USB link to the detector: waits for it, opens its first interface, reads and writes memory.

#include "usb/CommandChannel.hpp"
#include "usb/CommandWrapper.hpp"
#include "usb/SkipReason.hpp"
#include "usb/UsbBus.hpp"
#include "usb/UsbTransport.hpp"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <variant>

// The link object. The device state lives in the module-level variables below, so a process
// talks to one device at a time; calls must not overlap (one sequence runs at a time).
class MassStorageController {
public:
    // Phase time-outs: wrapper and status phases, and data phases of up to 4096 bytes.
    struct Timeouts {
        std::chrono::milliseconds command{5000};
        std::chrono::milliseconds data{10000};
    };

    // Finds the detector with libusb (hotplug, or polling where hotplug is missing).
    MassStorageController();
    // Finds the detector on the given bus (the virtual bus, a bus under test).
    explicit MassStorageController(std::shared_ptr<usb::UsbBus> bus);
    // Talks to an interface that is already open, e.g. an in-process virtual detector; it is
    // offered as one matching device.
    explicit MassStorageController(std::shared_ptr<usb::UsbTransport> openInterface);
    // Creates its bus at MassStorageControllerInit with `makeBus`; an error there means USB
    // cannot be used at all (see startFailure).
    using BusFactory = std::function<std::variant<std::shared_ptr<usb::UsbBus>, usb::UsbError>()>;
    explicit MassStorageController(BusFactory makeBus);

    MassStorageController(const MassStorageController&) = delete;
    MassStorageController& operator=(const MassStorageController&) = delete;
    MassStorageController(MassStorageController&&) = delete;
    MassStorageController& operator=(MassStorageController&&) = delete;
    ~MassStorageController();

    // Installs the interrupt handler, then waits until a matching device is open. Returns early,
    // not connected, when `stop` or requestStop() asks it to, or when USB cannot be used at all.
    // Waiting sleeps (hotplug or polling every 200 ms); it never spins.
    void MassStorageControllerInit();
    void MassStorageControllerInit(std::stop_token stop);
    // Ends a waiting MassStorageControllerInit within one polling round. Safe from any thread;
    // stays in effect for later calls.
    void requestStop();
    // Whether requestStop() was called. A recovery after a failed command then issues no
    // further step, so a quit waits at most for the step in flight (see LinkRecovery).
    bool stopRequested() const { return m_stopRequested.load(); }
    // Why the latest MassStorageControllerInit could not wait for a device at all (the USB
    // library did not start); nothing when it could.
    [[nodiscard]] std::optional<std::string> startFailure() const;
    // Told about every device skipped while MassStorageControllerInit waits, and told nothing
    // once a device opened after a skip. Set before MassStorageControllerInit.
    void setSkipListener(usb::SkipListener listener);

    // Records the connected state; true (and intf_final set) once a device is open.
    bool Check_UsbConnection();
    bool UsbConnectionStatus() const { return m_usbConnectionStatus.load(); }
    std::shared_ptr<usb::UsbTransport> intf_final() const;
    // One transaction with the connected device: through the storage driver's channel where
    // the device came with one, else as bulk-only wrappers on intf_final(), recovering after a
    // failure as ReadFromDevice does; `statusBuffer` (13 bytes or more) receives the status
    // phase. Nothing before a connection.
    std::optional<usb::CommandResult> transact(const usb::CommandTransaction& transaction,
                                               std::span<std::uint8_t> statusBuffer);

    // Memory read (0xD8): wrapper on pipe 2, `length` bytes into `buffer` on pipe 1, status on
    // pipe 1 into gBuffer. False on any failing phase, on a length of 0 or above 4096, on a
    // buffer smaller than `length`, before a connection, and when the data phase came back
    // short (the rest of `buffer` then keeps what it held). The status content is not judged
    // for the result. After a failed phase, or a status wrapper that is not valid, the link
    // recovers as the bulk-only transport prescribes (LinkRecovery); `kr` keeps the failed
    // phase's code.
    bool ReadFromDevice(std::uint8_t selector, std::uint32_t address,
                        std::span<std::uint8_t> buffer, std::uint32_t length,
                        MassStorageController& link);
    // Memory write (0xDA): exactly one transaction of wrapper, `length` bytes of data staged
    // through a 4096-byte area, and status. False on any failing phase (a stalled status too),
    // on a length of 0 or above 4096, on `data` shorter than `length`, before a connection.
    // Recovers after a failure as ReadFromDevice does.
    bool WriteToDevice(std::uint8_t selector, std::uint32_t address,
                       std::span<const std::uint8_t> data, std::uint32_t length,
                       MassStorageController& link);

    void setTimeouts(Timeouts timeouts) { m_timeouts = timeouts; }
    Timeouts timeouts() const { return m_timeouts; }

private:
    bool stopRequested(const std::stop_token& stop) const;
    bool hasCarrier() const;
    std::optional<usb::CommandResult> transactOn(usb::UsbTransport* pipes,
                                                 usb::CommandChannel* driver,
                                                 const usb::CommandTransaction& transaction,
                                                 std::span<std::uint8_t> statusBuffer);

    std::shared_ptr<usb::UsbBus> m_bus;
    BusFactory m_makeBus;
    std::optional<std::string> m_startFailure;
    usb::SkipListener m_skipListener;
    std::atomic<bool> m_usbConnectionStatus{false};
    std::atomic<bool> m_stopRequested{false};
    mutable std::mutex m_mutex; // guards m_intfFinal, m_channelFinal, m_bus and m_startFailure
    std::shared_ptr<usb::UsbTransport> m_intfFinal;
    std::shared_ptr<usb::CommandChannel> m_channelFinal;
    Timeouts m_timeouts;
    std::array<std::uint8_t, usb::kMaxTransferLength> m_stagingArea{};
};

// Module-level state of the link.
// 1 once a device has been opened and its interface found; set only by BulkTestDeviceAdded.
extern std::atomic<std::uint8_t> gUsbConnectStatus;
// The open interface of the connected device.
extern std::shared_ptr<usb::UsbTransport> intf;
// Its command transactions, where the system's storage driver carries them (Windows); then
// `intf` is empty.
extern std::shared_ptr<usb::CommandChannel> intfChannel;
// The bus the link waits on.
extern std::shared_ptr<usb::UsbBus> gNotifyPort;
// Receives the status phase of every read and write; never examined.
extern std::array<std::uint8_t, usb::kMaxTransferLength> gBuffer;
// Result of the latest USB call (0 success, else usb::resultCode of the error).
extern std::int32_t kr;
// The read and write templates, patched in place by each call.
extern usb::CommandWrapperBytes Command_Read;
extern usb::CommandWrapperBytes Command_Write;

// Takes the devices the bus offers and sets them up in turn until one is open
// (gUsbConnectStatus = 1) or `shouldStop` says so; sleeps on the bus between rounds. The first
// device that opens is kept and the devices after it are left untouched, so several processes
// can each hold one detector. `refCon` is ignored. Each skipped device is told to the listener
// that MassStorageControllerInit installed.
void BulkTestDeviceAdded(void* refCon, usb::UsbBus& iterator,
                         const std::function<bool()>& shouldStop = {});
// Selects the first configuration's value. 0 on success, -1 on failure.
int ConfigureAnchorDevice(usb::UsbDevice& device);
// Claims the first interface into `intf` and writes its pipe directions to the diagnostics
// sink. 0 on success, else a negative result code.
int FindInterfaces(usb::UsbDevice& device);
// The interrupt handler: ends the process at once with status 0. Async-signal-safe.
[[noreturn]] void SignalHandler(int signal);

namespace usb {

// Negative result code of an error kind, libusb's numbering.
std::int32_t resultCode(UsbErrorKind kind);
// Why the latest device offered to the link was skipped ("<device>: <reason>"), for messages
// while waiting; nothing when no device was skipped since the last connection.
std::optional<std::string> lastSkipReason();
// Drops the open interface (`intf`) and the module's hold on the bus the link waited on
// (`gNotifyPort`); the device closes once no link object holds them either (at shutdown, and
// between tests).
void releaseOpenInterface();
// Where the link's set-up diagnostics go ("direction in, ", the signal handler and library
// messages); an empty sink restores the default, standard output. Front ends whose standard
// output carries results send them elsewhere. Not for use while a link waits.
void setDiagnosticSink(std::function<void(std::string_view text)> sink);

} // namespace usb
