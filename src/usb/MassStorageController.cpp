#include "usb/MassStorageController.hpp"

#include "usb/BulkOnlyChannel.hpp"
#include "usb/SingleTransportBus.hpp"
#include "usb/SystemBus.hpp"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <utility>

std::atomic<std::uint8_t> gUsbConnectStatus{0};
std::shared_ptr<usb::UsbTransport> intf;
std::shared_ptr<usb::CommandChannel> intfChannel;
std::shared_ptr<usb::UsbBus> gNotifyPort;
std::array<std::uint8_t, usb::kMaxTransferLength> gBuffer{};
std::int32_t kr = 0;
usb::CommandWrapperBytes Command_Read = usb::kCommandReadTemplate;
usb::CommandWrapperBytes Command_Write = usb::kCommandWriteTemplate;

namespace {

constexpr std::uint16_t kVendorId = 0x0483;
constexpr std::uint16_t kProductId = 0x5720;
constexpr std::uint16_t kReleaseNumber = 0x0200;
// Between rounds of the wait; hotplug usually wakes the wait earlier.
constexpr std::chrono::milliseconds kPollInterval{200};

// Set-up details of the opened interface, kept for diagnostics only.
std::uint8_t intfClass = 0;
std::uint8_t intfSubClass = 0;
std::uint8_t intfNumEndpoints = 0;

std::mutex gSkipMutex;
std::optional<std::string> gSkipReason;
// The listener of the link that waits now, and whether it was told a skip since it was set.
usb::SkipListener gSkipListener;
bool gSkipTold = false;
// The latest set-up error, for the skip reason.
std::string gSetupError;
usb::UsbErrorKind gSetupErrorKind = usb::UsbErrorKind::Io;

std::mutex gDiagnosticMutex;
std::function<void(std::string_view)> gDiagnosticSink;

void diagnostic(std::string_view text) {
    std::function<void(std::string_view)> sink;
    {
        const std::lock_guard lock(gDiagnosticMutex);
        sink = gDiagnosticSink;
    }
    if (sink) {
        sink(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

usb::SkipKind skipKindOf(usb::UsbErrorKind kind) {
    switch (kind) {
    case usb::UsbErrorKind::NotPermitted:
        return usb::SkipKind::NotPermitted;
    case usb::UsbErrorKind::Busy:
        return usb::SkipKind::Busy;
    default:
        return usb::SkipKind::SetupFailed;
    }
}

void noteSkip(const usb::UsbDevice& device, usb::SkipKind kind, const std::string& why) {
    usb::SkipReason reason{kind, device.describe(), why};
    usb::SkipListener listener;
    {
        const std::lock_guard lock(gSkipMutex);
        gSkipReason = reason.device + ": " + why;
        listener = gSkipListener;
        gSkipTold = static_cast<bool>(listener);
    }
    if (listener) {
        listener(reason);
    }
}

// A device opened: a skip told before is no longer what is wrong.
void noteOpened() {
    usb::SkipListener listener;
    {
        const std::lock_guard lock(gSkipMutex);
        if (!std::exchange(gSkipTold, false)) {
            return;
        }
        listener = gSkipListener;
    }
    if (listener) {
        listener(std::nullopt);
    }
}

// Names the first descriptor value that differs from the detector's.
std::string identityMismatch(const usb::DeviceIdentity& id) {
    char text[64];
    if (id.vendor != kVendorId) {
        std::snprintf(text, sizeof text, "vendor %04x is not %04x", id.vendor, kVendorId);
    } else if (id.product != kProductId) {
        std::snprintf(text, sizeof text, "product %04x is not %04x", id.product, kProductId);
    } else {
        std::snprintf(text, sizeof text, "release %04x is not %04x", id.release, kReleaseNumber);
    }
    return text;
}

// `kr` keeps the failed phase's code, 0 after a transaction without an error.
void recordResult(const usb::CommandResult& result) {
    kr = result.ok() ? 0 : usb::resultCode(result.error->kind);
}

const char* directionName(usb::PipeDirection direction) {
    switch (direction) {
    case usb::PipeDirection::Out:
        return "out";
    case usb::PipeDirection::In:
        return "in";
    case usb::PipeDirection::None:
        return "none";
    case usb::PipeDirection::Any:
        return "any";
    }
    return "???";
}

} // namespace

namespace usb {

std::int32_t resultCode(UsbErrorKind kind) {
    switch (kind) {
    case UsbErrorKind::Io:
        return -1;
    case UsbErrorKind::NotPermitted:
        return -3;
    case UsbErrorKind::NoDevice:
        return -4;
    case UsbErrorKind::Busy:
        return -6;
    case UsbErrorKind::Timeout:
        return -7;
    case UsbErrorKind::Stall:
        return -9;
    case UsbErrorKind::Protocol:
        return -99;
    }
    return -99;
}

std::optional<std::string> lastSkipReason() {
    const std::lock_guard lock(gSkipMutex);
    return gSkipReason;
}

void releaseOpenInterface() {
    intf.reset();
    intfChannel.reset();
    gNotifyPort.reset();
}

void setDiagnosticSink(std::function<void(std::string_view text)> sink) {
    const std::lock_guard lock(gDiagnosticMutex);
    gDiagnosticSink = std::move(sink);
}

} // namespace usb

MassStorageController::MassStorageController() { gUsbConnectStatus = 0; }

MassStorageController::MassStorageController(std::shared_ptr<usb::UsbBus> bus)
    : m_bus(std::move(bus)) {
    gUsbConnectStatus = 0;
}

MassStorageController::MassStorageController(std::shared_ptr<usb::UsbTransport> openInterface)
    : MassStorageController(std::make_shared<usb::SingleTransportBus>(std::move(openInterface))) {}

MassStorageController::MassStorageController(BusFactory makeBus)
    : m_makeBus(std::move(makeBus)) {
    gUsbConnectStatus = 0;
}

MassStorageController::~MassStorageController() = default;

void MassStorageController::MassStorageControllerInit() {
    MassStorageControllerInit(std::stop_token{});
}

void MassStorageController::MassStorageControllerInit(std::stop_token stop) {
    if (std::signal(SIGINT, SignalHandler) == SIG_ERR) {
        diagnostic("Could not establish new signal handler");
    }
    std::shared_ptr<usb::UsbBus> bus;
    {
        const std::lock_guard lock(m_mutex);
        m_startFailure.reset();
        if (!m_bus) {
            std::variant<std::shared_ptr<usb::UsbBus>, usb::UsbError> created;
            if (m_makeBus) {
                created = m_makeBus();
            } else {
                created = usb::openSystemBus(kVendorId, kProductId);
            }
            if (auto* error = std::get_if<usb::UsbError>(&created)) {
                char text[64];
                std::snprintf(text, sizeof text, "ERR: Couldn't create a master IOKit Port(%08x)\n",
                              static_cast<unsigned>(usb::resultCode(error->kind)));
                diagnostic(text);
                // Without a bus no device can ever arrive: the caller must not wait.
                m_startFailure = "USB cannot be used: " + error->message;
                return;
            }
            m_bus = std::get<std::shared_ptr<usb::UsbBus>>(std::move(created));
            if (!m_bus) {
                m_startFailure = "USB cannot be used: no bus";
                return;
            }
        }
        bus = m_bus;
    }
    gNotifyPort = bus;
    {
        const std::lock_guard lock(gSkipMutex);
        gSkipReason.reset();
        gSkipListener = m_skipListener;
        gSkipTold = false;
    }
    const std::stop_callback wakeOnStop(stop, [bus] { bus->wake(); });
    BulkTestDeviceAdded(nullptr, *bus, [this, &stop] { return stopRequested(stop); });
    const std::lock_guard lock(gSkipMutex);
    gSkipListener = nullptr;
}

std::optional<std::string> MassStorageController::startFailure() const {
    const std::lock_guard lock(m_mutex);
    return m_startFailure;
}

void MassStorageController::setSkipListener(usb::SkipListener listener) {
    m_skipListener = std::move(listener);
}

void MassStorageController::requestStop() {
    m_stopRequested = true;
    const std::lock_guard lock(m_mutex);
    if (m_bus) {
        m_bus->wake();
    }
}

bool MassStorageController::stopRequested(const std::stop_token& stop) const {
    return m_stopRequested.load() || stop.stop_requested();
}

bool MassStorageController::Check_UsbConnection() {
    const bool connected = gUsbConnectStatus.load() == 1;
    m_usbConnectionStatus = connected;
    if (connected) {
        const std::lock_guard lock(m_mutex);
        m_intfFinal = intf;
        m_channelFinal = intfChannel;
    }
    return connected;
}

std::shared_ptr<usb::UsbTransport> MassStorageController::intf_final() const {
    const std::lock_guard lock(m_mutex);
    return m_intfFinal;
}

bool MassStorageController::hasCarrier() const {
    const std::lock_guard lock(m_mutex);
    return m_intfFinal || m_channelFinal;
}

std::optional<usb::CommandResult>
MassStorageController::transact(const usb::CommandTransaction& transaction,
                                std::span<std::uint8_t> statusBuffer) {
    std::shared_ptr<usb::UsbTransport> pipes;
    std::shared_ptr<usb::CommandChannel> driver;
    {
        const std::lock_guard lock(m_mutex);
        pipes = m_intfFinal;
        driver = m_channelFinal;
    }
    return transactOn(pipes.get(), driver.get(), transaction, statusBuffer);
}

std::optional<usb::CommandResult>
MassStorageController::transactOn(usb::UsbTransport* pipes, usb::CommandChannel* driver,
                                  const usb::CommandTransaction& transaction,
                                  std::span<std::uint8_t> statusBuffer) {
    // A failed transaction still fails; recovery only readies the link for the next one.
    return usb::carry(driver, pipes, transaction, m_timeouts.command, statusBuffer, true,
                      [this] { return stopRequested(); });
}

bool MassStorageController::ReadFromDevice(std::uint8_t selector, std::uint32_t address,
                                           std::span<std::uint8_t> buffer, std::uint32_t length,
                                           MassStorageController& link) {
    if (length == 0 || length > usb::kMaxTransferLength || buffer.size() < length) {
        return false;
    }
    if (!link.hasCarrier()) {
        return false;
    }
    usb::writeWrapperLength(Command_Read, length);
    usb::writeMemoryCommand(Command_Read, selector, usb::blockNumberFor(address, length));
    usb::CommandTransaction transaction;
    transaction.commandBlock = usb::commandBlockOf(Command_Read);
    transaction.direction = usb::DataDirection::In;
    transaction.in = buffer.first(length);
    transaction.announcedLength = length;
    transaction.timeout = m_timeouts.data;
    const auto result = link.transact(transaction, gBuffer);
    if (!result) {
        return false;
    }
    recordResult(*result);
    return result->ok() && result->transferred == length;
}

bool MassStorageController::WriteToDevice(std::uint8_t selector, std::uint32_t address,
                                          std::span<const std::uint8_t> data, std::uint32_t length,
                                          MassStorageController& /*link*/) {
    if (length == 0 || length > usb::kMaxTransferLength || data.size() < length) {
        return false;
    }
    const auto pipes = intf;
    const auto driver = intfChannel;
    if (!pipes && !driver) {
        return false;
    }
    std::copy_n(data.begin(), length, m_stagingArea.begin());
    usb::writeWrapperLength(Command_Write, length);
    usb::writeMemoryCommand(Command_Write, selector, usb::blockNumberFor(address, length));
    usb::CommandTransaction transaction;
    transaction.commandBlock = usb::commandBlockOf(Command_Write);
    transaction.direction = usb::DataDirection::Out;
    transaction.out = std::span<const std::uint8_t>(m_stagingArea).first(length);
    transaction.announcedLength = length;
    transaction.timeout = m_timeouts.data;
    const auto result = transactOn(pipes.get(), driver.get(), transaction, gBuffer);
    recordResult(*result);
    return result->ok() && result->transferred == length;
}

void BulkTestDeviceAdded(void* /*refCon*/, usb::UsbBus& iterator,
                         const std::function<bool()>& shouldStop) {
    const auto stopping = [&shouldStop] { return shouldStop && shouldStop(); };
    while (gUsbConnectStatus.load() == 0) {
        if (stopping()) {
            return;
        }
        for (auto& device : iterator.takeMatched()) {
            const auto id = device->identity();
            if (id.vendor != kVendorId || id.product != kProductId ||
                id.release != kReleaseNumber) {
                noteSkip(*device, usb::SkipKind::WrongIdentity, identityMismatch(id));
                continue;
            }
            if (const auto error = device->open()) {
                kr = usb::resultCode(error->kind);
                noteSkip(*device, skipKindOf(error->kind), error->message);
                continue;
            }
            if (ConfigureAnchorDevice(*device) != 0) {
                device->close();
                noteSkip(*device, skipKindOf(gSetupErrorKind),
                         "its configuration cannot be selected: " + gSetupError);
                continue;
            }
            if (FindInterfaces(*device) != 0) {
                device->close();
                gUsbConnectStatus = 0;
                noteSkip(*device, skipKindOf(gSetupErrorKind), gSetupError);
                continue;
            }
            gUsbConnectStatus = 1;
            noteOpened();
            // The claimed interface keeps its own hold on the device.
            device->close();
            // One device per process: the rest are left to other updaters, and no later
            // failure can undo this success.
            break;
        }
        if (gUsbConnectStatus.load() == 0 && !stopping()) {
            iterator.waitForArrival(kPollInterval);
        }
    }
}

int ConfigureAnchorDevice(usb::UsbDevice& device) {
    gSetupError = "no configuration";
    gSetupErrorKind = usb::UsbErrorKind::Protocol;
    if (device.numberOfConfigurations() == 0) {
        return -1;
    }
    const auto value = device.configurationValue(0);
    if (!value) {
        return -1;
    }
    if (const auto error = device.setConfiguration(*value)) {
        kr = usb::resultCode(error->kind);
        gSetupError = error->message;
        gSetupErrorKind = error->kind;
        return -1;
    }
    return 0;
}

int FindInterfaces(usb::UsbDevice& device) {
    auto opened = device.openFirstInterface();
    if (const auto* error = std::get_if<usb::UsbError>(&opened)) {
        kr = usb::resultCode(error->kind);
        gSetupError = error->message;
        gSetupErrorKind = error->kind;
        return kr;
    }
    auto& found = std::get<usb::OpenedInterface>(opened);
    intfClass = found.interfaceClass;
    intfSubClass = found.interfaceSubClass;
    intfNumEndpoints = static_cast<std::uint8_t>(found.pipeDirections.size());
    // Pipe references count from 1; the listing stops one short of the endpoint count.
    std::string directions;
    for (int pipeRef = 1; pipeRef < intfNumEndpoints; ++pipeRef) {
        directions += "direction ";
        directions += directionName(found.pipeDirections[pipeRef - 1]);
        directions += ", ";
    }
    if (!directions.empty()) {
        diagnostic(directions);
    }
    intf = std::move(found.transport);
    intfChannel = std::move(found.channel);
    kr = 0;
    return 0;
}

void SignalHandler(int /*signal*/) {
    // Only async-signal-safe calls here: the kernel releases the device and the hotplug
    // registration when the process ends.
    std::_Exit(0);
}
