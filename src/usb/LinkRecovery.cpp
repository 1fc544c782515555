#include "usb/LinkRecovery.hpp"

#include <algorithm>
#include <utility>

namespace usb {
namespace {

bool gone(const std::optional<UsbError>& error) {
    return error && error->kind == UsbErrorKind::NoDevice;
}

} // namespace

LinkRecovery::LinkRecovery(UsbTransport& pipes, std::chrono::milliseconds timeout,
                           std::function<bool()> stopped)
    : m_pipes(pipes)
    , m_timeout(timeout)
    , m_stopped(std::move(stopped)) {}

void LinkRecovery::afterFailedPhase(TransactionPhase phase, const UsbError& error,
                                    const CommandWrapperBytes& wrapper,
                                    std::span<std::uint8_t> statusBuffer) {
    if (error.kind == UsbErrorKind::NoDevice || stopping()) {
        return;
    }
    if (error.kind != UsbErrorKind::Stall || phase == TransactionPhase::Command) {
        resetRecovery();
        return;
    }
    const BulkPipe halted = phase == TransactionPhase::DataOut ? BulkPipe::Out : BulkPipe::In;
    if (clearOrReset(halted)) {
        readStatus(wrapper, statusBuffer, phase == TransactionPhase::Status);
    }
}

void LinkRecovery::readStatus(const CommandWrapperBytes& wrapper,
                              std::span<std::uint8_t> statusBuffer, bool stalledBefore) {
    if (stopping()) {
        return;
    }
    const auto status = m_pipes.bulkRead(statusBuffer, m_timeout);
    if (status.ok()) {
        afterStatus(statusBuffer.first(std::min(status.transferred, statusBuffer.size())), wrapper);
        return;
    }
    if (status.error->kind == UsbErrorKind::NoDevice) {
        return;
    }
    if (status.error->kind == UsbErrorKind::Stall && !stalledBefore) {
        if (clearOrReset(BulkPipe::In)) {
            readStatus(wrapper, statusBuffer, true);
        }
        return;
    }
    resetRecovery();
}

void LinkRecovery::afterStatus(std::span<const std::uint8_t> received,
                               const CommandWrapperBytes& wrapper) {
    const auto status = unpackStatusWrapper(received);
    if (!status || status->tag != wrapperTag(wrapper) || status->status == 2) {
        resetRecovery();
    }
}

bool LinkRecovery::clearOrReset(BulkPipe pipe) {
    if (stopping()) {
        return false;
    }
    const auto error = m_pipes.clearHalt(pipe, m_timeout);
    if (!error) {
        return true;
    }
    if (gone(error)) {
        return false;
    }
    resetRecovery();
    return false;
}

void LinkRecovery::resetRecovery() {
    if (stopping() || gone(m_pipes.resetMassStorage(m_timeout))) {
        return;
    }
    if (stopping() || gone(m_pipes.clearHalt(BulkPipe::In, m_timeout))) {
        return;
    }
    if (!stopping()) {
        m_pipes.clearHalt(BulkPipe::Out, m_timeout);
    }
}

} // namespace usb
