#pragma once
// A simulated detector at the wire level: strict wrapper parsing, memory, trace, faults.

#include "sim/DeviceProfile.hpp"
#include "usb/CommandWrapper.hpp"
#include "usb/UsbTransport.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace sim {

// One transaction, or one control request, as the device saw it.
struct TraceEntry {
    Operation operation = Operation::TestUnitReady;
    // "out" (data to the device), "in" (data to the host) or "none".
    std::string direction;
    std::uint8_t selector = 0;
    // The memory address; for a clear-halt, the endpoint.
    std::uint32_t address = 0;
    std::uint32_t length = 0;
    // What happened, in order, e.g. "ok", "stalled data, failed status", "late data, ok",
    // "no answer, reset", "unplugged", "rejected: why", "ignored: ...".
    std::string outcome;
};

// Follows the bulk-only transport's state machine, as a real device does:
// - a wrapper that is not exactly one this device expects (signature, tag, length layout,
//   flags, unit, command-block length, command block) halts both pipes until a mass storage
//   reset followed by clearing both halts, so a regression in the wire bytes fails;
// - a halted pipe fails every transfer with a stall until the host clears its halt;
// - data or a status wrapper the host gave up on stays pending and goes to the next bulk IN
//   read; wrappers that arrive meanwhile are taken and ignored until a reset.
// Thread-safe.
//
// Used in-process through UsbTransport (a missing answer becomes an immediate Timeout), or by a
// USB emulation through receive()/send()/control(), which report a missing answer as NoAnswer.
class VirtualDetector final : public usb::UsbTransport {
public:
    enum class Answer { Done, Stall, NoDevice, NoAnswer };
    struct InAnswer {
        Answer answer = Answer::Done;
        std::vector<std::uint8_t> data;
    };

    static constexpr std::uint8_t kBulkInEndpoint = 0x81;
    static constexpr std::uint8_t kBulkOutEndpoint = 0x02;

    explicit VirtualDetector(DeviceProfile profile = {});

    // Host to device (bulk OUT). Done means every byte was taken.
    Answer receive(std::span<const std::uint8_t> bytes);
    // Device to host (bulk IN), at most `maxLength` bytes.
    InAnswer send(std::size_t maxLength);
    // A control request without data: CLEAR_FEATURE(ENDPOINT_HALT) of 0x81 or 0x02, or the
    // mass storage reset (0x21, 0xFF) to interface 0. Any other request stalls.
    Answer control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                   std::uint16_t index, std::uint16_t length);

    usb::TransferResult bulkWrite(std::span<const std::uint8_t> data,
                                  std::chrono::milliseconds timeout) override;
    usb::TransferResult bulkRead(std::span<std::uint8_t> buffer,
                                 std::chrono::milliseconds timeout) override;
    std::optional<usb::UsbError> clearHalt(usb::BulkPipe pipe,
                                           std::chrono::milliseconds timeout) override;
    std::optional<usb::UsbError> resetMassStorage(std::chrono::milliseconds timeout) override;

    // Memory of selector 0 or 1; unwritten bytes read as 0xFF.
    void writeMemory(std::uint8_t selector, std::uint32_t address,
                     std::span<const std::uint8_t> bytes);
    std::vector<std::uint8_t> readMemory(std::uint8_t selector, std::uint32_t address,
                                         std::uint32_t length) const;
    // Intel HEX of one selector's memory: 16-byte data records, extended linear address
    // records, rows that are all 0xFF left out, end-of-file record.
    std::string intelHex(std::uint8_t selector) const;
    // Writes <stem>-selector0.hex and <stem>-selector1.hex into `folder`; false on I/O errors.
    bool dumpIntelHex(const std::filesystem::path& folder, const std::string& stem) const;

    std::vector<TraceEntry> trace() const;
    // One line per transaction: "write out sel=1 addr=0x00001000 len=256 ok"; one per control
    // request: "clear-halt ep=0x81 ok", "reset ok".
    std::string traceText() const;
    void clearTrace();

    void addFault(const Fault& fault);
    void clearFaults();
    // The device vanishes: every later exchange fails with NoDevice.
    void unplug();
    bool unplugged() const;
    // Called once, outside the lock, when the device unplugs itself (an Unplug fault).
    void setUnplugListener(std::function<void()> listener);
    // The set-up step that selects the configuration succeeds unless a fault refuses it.
    bool acceptsConfiguration() const;
    // Claiming the first interface succeeds unless a fault refuses it.
    bool acceptsClaim() const;

    std::uint16_t release() const;
    const std::string& product() const { return m_profile.product; }
    std::size_t completedTransactions() const;

private:
    enum class State { Idle, DataOut, DataIn, Status };
    using Page = std::array<std::uint8_t, 4096>;
    // The phase faults of the running transaction, decided when its wrapper arrives.
    struct PhaseFaults {
        bool stallData = false;
        bool lateData = false;
        bool stallStatus = false;
        bool lateStatus = false;
        bool failStatus = false;
        bool phaseError = false;
        bool badTag = false;
    };

    Answer receiveLocked(std::span<const std::uint8_t> bytes, bool& unpluggedNow);
    InAnswer sendLocked(std::size_t maxLength);
    bool startTransaction(const usb::CommandWrapper& wrapper, std::string& why);
    void decidePhaseFaults(bool hasDataPhase);
    void note(const std::string& event);
    void stallDataPhase(bool& halted, std::uint32_t moved);
    void traceControl(Operation operation, std::uint32_t endpoint, const std::string& outcome);
    bool takeFault(FaultKind kind, std::optional<Phase> phase = std::nullopt);
    bool matches(const Fault& fault) const;
    void finish(const std::string& outcome);
    void writeLocked(std::uint8_t selector, std::uint64_t address,
                     std::span<const std::uint8_t> bytes);
    std::vector<std::uint8_t> readLocked(std::uint8_t selector, std::uint64_t address,
                                         std::uint32_t length) const;
    void notifyUnplug(bool unpluggedNow);

    mutable std::mutex m_mutex;
    DeviceProfile m_profile;
    std::map<std::uint64_t, Page> m_memory[2];
    std::vector<Fault> m_faults;
    std::vector<TraceEntry> m_trace;
    std::function<void()> m_unplugListener;
    bool m_unplugged = false;
    std::size_t m_completed = 0;

    State m_state = State::Idle;
    bool m_inHalted = false;
    bool m_outHalted = false;
    // After a rejected wrapper: clearing a halt does not help before a reset.
    bool m_needsReset = false;
    PhaseFaults m_phaseFaults;
    // Events of the running transaction, for its trace line.
    std::string m_events;
    // The running transaction's line in m_trace.
    std::size_t m_currentLine = SIZE_MAX;
    std::uint8_t m_statusCode = 0;
    TraceEntry m_current;
    std::uint32_t m_tag = 0;
    std::uint32_t m_expected = 0;
    std::vector<std::uint8_t> m_dataOut;
    std::vector<std::uint8_t> m_dataIn;
    std::size_t m_dataInOffset = 0;
    std::uint32_t m_residue = 0;
};

} // namespace sim
