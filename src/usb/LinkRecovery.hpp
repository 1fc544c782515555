#pragma once
// Brings a bulk-only device back in step after a failed phase, as the transport's host error
// handling prescribes.

#include "usb/CommandWrapper.hpp"
#include "usb/UsbTransport.hpp"

#include <chrono>
#include <cstdint>
#include <span>

namespace usb {

// The phases of one transaction.
enum class TransactionPhase { Command, DataIn, DataOut, Status };

// Nothing is retried: the operation that failed stays failed, and recovery only makes sure that
// the next wrapper meets a device waiting for one. Each step is bounded by the time-out given;
// a device that is gone ends recovery at once. Recovery's own transfers leave `kr` alone.
class LinkRecovery {
public:
    LinkRecovery(UsbTransport& pipes, std::chrono::milliseconds timeout);

    // After `error` in `phase` of the transaction sent as `wrapper`:
    // - a stall in a data phase: clears that pipe's halt, then reads the status wrapper into
    //   `statusBuffer` (clearing bulk IN and reading once more if that stalls too);
    // - a stall in the status phase: clears bulk IN and reads the status wrapper once more;
    // - a time-out, a stalled wrapper, any other failure, or a status read above that fails:
    //   reset recovery.
    void afterFailedPhase(TransactionPhase phase, const UsbError& error,
                          const CommandWrapperBytes& wrapper, std::span<std::uint8_t> statusBuffer);

    // After a status phase that moved `received`: reset recovery unless it is a 13-byte status
    // wrapper with the signature and `wrapper`'s tag, and a status other than 2 (phase error).
    void afterStatus(std::span<const std::uint8_t> received, const CommandWrapperBytes& wrapper);

    // The mass storage reset, then the halt of bulk IN cleared, then that of bulk OUT.
    void resetRecovery();

private:
    // False when the device is gone (recovery ends); true otherwise, having reset the device
    // when the clear failed.
    bool clearOrReset(BulkPipe pipe);
    void readStatus(const CommandWrapperBytes& wrapper, std::span<std::uint8_t> statusBuffer,
                    bool stalledBefore);

    UsbTransport& m_pipes;
    std::chrono::milliseconds m_timeout;
};

} // namespace usb
