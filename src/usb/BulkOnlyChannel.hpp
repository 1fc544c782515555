#pragma once
// Transactions as bulk-only wrappers on the two pipes, in the detector's own wire format.

#include "usb/CommandChannel.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <span>

namespace usb {

// Each transaction is a wrapper (the operation's fixed tag, the announced length in bytes
// 8-10 high first), the data phase if it has data, and the status phase, which is read even
// after a short data phase to keep the device in step. A data-out phase that moves less than
// all of its data, without an error, ends the transaction: its result carries no error and the
// short count. With recovery on, every failed phase and every status that is not valid for the
// wrapper is followed by LinkRecovery (see there for its time bound and how `stopped` cuts it
// short); the transaction's result stays that of the failed phase.
class BulkOnlyChannel final : public CommandChannel {
public:
    // `commandTimeout` bounds the wrapper and status phases; the transaction's own time-out
    // bounds its data phase. `statusBuffer` (13 bytes or more) receives every status phase.
    BulkOnlyChannel(UsbTransport& pipes, std::chrono::milliseconds commandTimeout,
                    std::span<std::uint8_t> statusBuffer, bool recover,
                    std::function<bool()> stopped = {});

    CommandResult transact(const CommandTransaction& transaction) override;

    // The wrapper sent for `transaction`.
    static CommandWrapperBytes wrapperFor(const CommandTransaction& transaction);

private:
    UsbTransport& m_pipes;
    std::chrono::milliseconds m_commandTimeout;
    std::span<std::uint8_t> m_statusBuffer;
    bool m_recover;
    std::function<bool()> m_stopped;
};

// A transaction on an open device: on the storage driver's channel where the device came with
// one, else as bulk-only wrappers on `pipes` (with recovery as asked). Nothing when it has
// neither.
std::optional<CommandResult> carry(CommandChannel* driver, UsbTransport* pipes,
                                   const CommandTransaction& transaction,
                                   std::chrono::milliseconds commandTimeout,
                                   std::span<std::uint8_t> statusBuffer, bool recover,
                                   std::function<bool()> stopped = {});

} // namespace usb
