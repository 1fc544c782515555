#pragma once
// A description of one simulated detector: INQUIRY text, release, memory contents, faults.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct MemoryEntry {
    std::uint8_t selector = 0;
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes;
};

// The phase faults (StallData to BadStatus) apply once per matching transaction.
enum class FaultKind {
    CorruptRead,         // reads covering `address` see that byte with its lowest bit flipped
    StallData,           // the data phase halts its pipe, which stays halted until cleared
    StallStatus,         // the status phase halts bulk IN, which stays halted until cleared
    FailStatus,          // the status wrapper reports a failed command (status 1)
    PhaseError,          // the status wrapper reports a phase error (status 2)
    BadStatus,           // the status wrapper carries a wrong tag
    NoAnswer,            // the data or status phase answers late: on the next read
    Unplug,              // the device disappears after `after` complete transactions
    RefuseConfiguration, // selecting the configuration fails
    RefuseInterface,     // claiming the first interface fails: another driver holds it
};

// ClearHalt and Reset are the two control requests; they appear in the trace only.
enum class Operation { TestUnitReady, Inquiry, Read, Write, ClearHalt, Reset };
enum class Phase { Data, Status };

// A fault applies to every transaction matching the fields that are set, `times` times (every
// time when unset).
struct Fault {
    FaultKind kind = FaultKind::StallStatus;
    std::optional<Operation> operation;
    std::optional<std::uint8_t> selector;
    std::optional<std::uint32_t> address;
    std::optional<std::uint32_t> times;
    Phase phase = Phase::Status; // NoAnswer only
    std::uint32_t after = 0;     // Unplug only

    static Fault make(FaultKind kind, std::optional<Operation> operation = std::nullopt) {
        Fault fault;
        fault.kind = kind;
        fault.operation = operation;
        return fault;
    }
};

struct DeviceProfile {
    // INQUIRY bytes 8-31, exactly 24 characters.
    std::string product = "CORVANTHIS UMSCPT DEVICE";
    std::uint16_t release = 0x0200;
    std::vector<MemoryEntry> memory;
    std::vector<Fault> faults;

    // Throws std::invalid_argument naming the offending entry.
    static DeviceProfile fromJson(std::string_view json);
    static DeviceProfile load(const std::filesystem::path& file);
};

} // namespace sim
