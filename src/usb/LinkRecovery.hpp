#pragma once
// Brings a bulk-only device back in step after a failed phase, as the transport's host error
// handling prescribes.

#include "usb/CommandChannel.hpp"
#include "usb/CommandWrapper.hpp"
#include "usb/UsbTransport.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>

namespace usb {

// Nothing is retried: the operation that failed stays failed, and recovery only makes sure that
// the next wrapper meets a device waiting for one. A device that is gone ends recovery at once.
// Recovery's own transfers leave `kr` alone.
//
// Time: each step is one transport call, bounded as UsbTransport bounds it. Over libusb a
// status read and the mass storage reset keep the time-out given, but a clear-halt does not
// (the kernel bounds it at 5 s), so a reset recovery can take the time-out plus 2 x 5 s.
// `stopped` is asked before every step; once it says so no further step is issued. A quit then
// waits only for the step in flight (a clear-halt's 5 s can still outlast a front end's quit
// deadline, which then ends the process), and the device is left as a quit in the middle of a
// command leaves it: possibly out of step, until a later command's recovery.
class LinkRecovery {
public:
    LinkRecovery(UsbTransport& pipes, std::chrono::milliseconds timeout,
                 std::function<bool()> stopped = {});

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
    // False when the device is gone or a stop was asked (recovery ends); true otherwise, having
    // reset the device when the clear failed.
    bool clearOrReset(BulkPipe pipe);
    void readStatus(const CommandWrapperBytes& wrapper, std::span<std::uint8_t> statusBuffer,
                    bool stalledBefore);

    bool stopping() const { return m_stopped && m_stopped(); }

    UsbTransport& m_pipes;
    std::chrono::milliseconds m_timeout;
    std::function<bool()> m_stopped;
};

} // namespace usb
