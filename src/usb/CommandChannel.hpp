#pragma once
// One SCSI-style transaction with the detector: a command block, an optional data phase and an
// outcome, whatever carries it (bulk-only wrappers on the pipes, or an operating system's
// storage driver that builds the wrappers itself).

#include "usb/CommandWrapper.hpp"
#include "usb/UsbTransport.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

namespace usb {

enum class DataDirection { None, In, Out };

// The phases of one bulk-only transaction.
enum class TransactionPhase { Command, DataIn, DataOut, Status };

struct CommandTransaction {
    // 6 or 12 bytes, byte for byte as the device is to see them.
    std::span<const std::uint8_t> commandBlock;
    DataDirection direction = DataDirection::None;
    std::span<std::uint8_t> in;        // DataDirection::In: room for the data
    std::span<const std::uint8_t> out; // DataDirection::Out: the data
    // The length the command announces; it may differ from the buffer (TEST UNIT READY
    // announces 1024 bytes that never follow).
    std::uint32_t announcedLength = 0;
    // Bounds the data phase (and, through the driver, the whole transaction).
    std::chrono::milliseconds timeout{10000};
};

struct CommandResult {
    // The data bytes moved.
    std::size_t transferred = 0;
    std::optional<UsbError> error;
    // Bulk-only only: the phase that failed; a driver reports no phases.
    std::optional<TransactionPhase> failedPhase;
    // The device's status: 0 passed, 1 failed, 2 phase error; nothing when none came or it was
    // not a valid status.
    std::optional<std::uint8_t> status;

    bool ok() const { return !error.has_value(); }
};

class CommandChannel {
public:
    CommandChannel() = default;
    CommandChannel(const CommandChannel&) = delete;
    CommandChannel& operator=(const CommandChannel&) = delete;
    CommandChannel(CommandChannel&&) = delete;
    CommandChannel& operator=(CommandChannel&&) = delete;
    virtual ~CommandChannel() = default;

    // One transaction; never blocks longer than its implementation's stated bound.
    virtual CommandResult transact(const CommandTransaction& transaction) = 0;
};

} // namespace usb
