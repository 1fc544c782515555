#pragma once
// Transactions through an operating system's SCSI pass-through: the storage driver builds the
// wrappers, chooses the tags and recovers the link; this side sends command blocks.

#include "usb/CommandChannel.hpp"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace usb {

// One pass-through request, in the terms of the system call.
struct PassThroughRequest {
    std::span<const std::uint8_t> commandBlock;
    DataDirection direction = DataDirection::None;
    std::span<std::uint8_t> in;
    std::span<const std::uint8_t> out;
    // The time-out the driver is given, in whole seconds.
    std::uint32_t timeoutSeconds = 0;
};

struct PassThroughReply {
    // The system's error code of the call itself; 0 when the call went through.
    std::uint32_t systemError = 0;
    std::uint8_t scsiStatus = 0;
    std::array<std::uint8_t, 32> sense{};
    std::size_t senseLength = 0;
    // What the driver says it moved.
    std::uint32_t transferred = 0;
};

// The system's error codes the translation knows.
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorGenFailure = 31;
inline constexpr std::uint32_t kErrorSemTimeout = 121;
inline constexpr std::uint32_t kErrorNoSuchDevice = 433;
inline constexpr std::uint32_t kErrorIoDevice = 1117;
inline constexpr std::uint32_t kErrorDeviceNotConnected = 1167;
inline constexpr std::uint32_t kErrorTimeout = 1460;
inline constexpr std::uint8_t kScsiCheckCondition = 0x02;

// The one system call a transaction makes (DeviceIoControl with the pass-through request on
// Windows); behind an interface so that the channel can be tested without the system.
class PassThroughCalls {
public:
    PassThroughCalls() = default;
    PassThroughCalls(const PassThroughCalls&) = delete;
    PassThroughCalls& operator=(const PassThroughCalls&) = delete;
    PassThroughCalls(PassThroughCalls&&) = delete;
    PassThroughCalls& operator=(PassThroughCalls&&) = delete;
    virtual ~PassThroughCalls() = default;

    // Synchronous; the driver ends it after `timeoutSeconds`.
    virtual PassThroughReply passThrough(const PassThroughRequest& request) = 0;
};

// The one place where a pass-through reply becomes an error kind: a time-out is Timeout, a
// device that is gone NoDevice, a check condition Protocol (with the sense key in the message),
// anything else Io. Nothing for a call that went through with status GOOD.
std::optional<UsbError> translatePassThrough(const PassThroughReply& reply);

// The transaction's time-out in whole seconds, rounded up, at least 1.
std::uint32_t passThroughSeconds(std::chrono::milliseconds timeout);

class PassThroughChannel final : public CommandChannel {
public:
    explicit PassThroughChannel(std::shared_ptr<PassThroughCalls> calls)
        : m_calls(std::move(calls)) {}

    // The announced length is the data buffer's: the driver announces what it moves.
    CommandResult transact(const CommandTransaction& transaction) override;

private:
    std::shared_ptr<PassThroughCalls> m_calls;
};

} // namespace usb
