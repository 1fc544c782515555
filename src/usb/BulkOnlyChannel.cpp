#include "usb/BulkOnlyChannel.hpp"

#include "usb/LinkRecovery.hpp"

#include <algorithm>
#include <utility>

namespace usb {
namespace {

// The device checks each operation's tag.
std::uint32_t tagOf(std::uint8_t operation) {
    switch (operation) {
    case kOpMemoryRead:
        return kCommandReadTag;
    case kOpMemoryWrite:
        return kCommandWriteTag;
    case kOpTestUnitReady:
        return kTestUnitReadyTag;
    case kOpInquiry:
        return kInquiryTag;
    default:
        return 0;
    }
}

} // namespace

BulkOnlyChannel::BulkOnlyChannel(UsbTransport& pipes, std::chrono::milliseconds commandTimeout,
                                 std::span<std::uint8_t> statusBuffer, bool recover,
                                 std::function<bool()> stopped)
    : m_pipes(pipes)
    , m_commandTimeout(commandTimeout)
    , m_statusBuffer(statusBuffer)
    , m_recover(recover)
    , m_stopped(std::move(stopped)) {}

CommandWrapperBytes BulkOnlyChannel::wrapperFor(const CommandTransaction& transaction) {
    CommandWrapper w;
    const auto cb = transaction.commandBlock.first(
        std::min(transaction.commandBlock.size(), w.commandBlock.size()));
    w.tag = cb.empty() ? 0 : tagOf(cb[0]);
    w.length = transaction.announcedLength;
    w.flags = transaction.direction == DataDirection::In ? kFlagDataIn : kFlagDataOut;
    w.commandBlockLength = static_cast<std::uint8_t>(cb.size());
    std::copy(cb.begin(), cb.end(), w.commandBlock.begin());
    return packCommandWrapper(w);
}

CommandResult BulkOnlyChannel::transact(const CommandTransaction& transaction) {
    const CommandWrapperBytes wrapper = wrapperFor(transaction);
    LinkRecovery recovery(m_pipes, m_commandTimeout, m_stopped);
    CommandResult result;
    const auto fail = [&](TransactionPhase phase, const TransferResult& failed) {
        if (m_recover) {
            recovery.afterFailedPhase(phase, *failed.error, wrapper, m_statusBuffer);
        }
        result.error = failed.error;
        result.failedPhase = phase;
        return result;
    };
    const auto sent = m_pipes.bulkWrite(wrapper, m_commandTimeout);
    if (!sent.ok()) {
        return fail(TransactionPhase::Command, sent);
    }
    if (transaction.direction == DataDirection::In && !transaction.in.empty()) {
        const auto data = m_pipes.bulkRead(transaction.in, transaction.timeout);
        result.transferred = data.transferred;
        if (!data.ok()) {
            return fail(TransactionPhase::DataIn, data);
        }
    } else if (transaction.direction == DataDirection::Out && !transaction.out.empty()) {
        const auto data = m_pipes.bulkWrite(transaction.out, transaction.timeout);
        result.transferred = data.transferred;
        if (!data.ok()) {
            return fail(TransactionPhase::DataOut, data);
        }
        if (data.transferred != transaction.out.size()) {
            // The device took part of the data without an error: its state is unknown.
            if (m_recover) {
                recovery.resetRecovery();
            }
            return result;
        }
    }
    const auto status = m_pipes.bulkRead(m_statusBuffer, m_commandTimeout);
    if (!status.ok()) {
        return fail(TransactionPhase::Status, status);
    }
    const auto received = std::span<const std::uint8_t>(m_statusBuffer)
                              .first(std::min(status.transferred, m_statusBuffer.size()));
    if (const auto parsed = unpackStatusWrapper(received);
        parsed && parsed->tag == wrapperTag(wrapper)) {
        result.status = parsed->status;
    }
    if (m_recover) {
        recovery.afterStatus(received, wrapper);
    }
    return result;
}

std::optional<CommandResult> carry(CommandChannel* driver, UsbTransport* pipes,
                                   const CommandTransaction& transaction,
                                   std::chrono::milliseconds commandTimeout,
                                   std::span<std::uint8_t> statusBuffer, bool recover,
                                   std::function<bool()> stopped) {
    if (driver != nullptr) {
        return driver->transact(transaction);
    }
    if (pipes == nullptr) {
        return std::nullopt;
    }
    BulkOnlyChannel channel(*pipes, commandTimeout, statusBuffer, recover, std::move(stopped));
    return channel.transact(transaction);
}

} // namespace usb
