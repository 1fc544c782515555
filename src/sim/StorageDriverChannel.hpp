#pragma once
// The virtual detector as an operating system's storage driver presents it: whole command
// transactions, the wrappers and their recovery done out of sight.

#include "sim/VirtualDetector.hpp"
#include "usb/CommandChannel.hpp"

#include <array>
#include <chrono>

namespace sim {

// The driver's side of each transaction is the bulk-only exchange with host recovery, run by
// the same command handling as the wire; the device then sees the wrappers it expects, as it
// would from a driver whose wrappers it accepts. What comes back is a driver's result, without
// phases: a halted pipe or a failed status is a check condition (Protocol; this device keeps
// no sense data), a phase error or a status that is not valid is Io, a time-out Timeout and a
// vanished device NoDevice.
class StorageDriverChannel final : public usb::CommandChannel {
public:
    explicit StorageDriverChannel(
        VirtualDetector& detector,
        std::chrono::milliseconds commandTimeout = std::chrono::seconds(5))
        : m_detector(detector)
        , m_commandTimeout(commandTimeout) {}

    usb::CommandResult transact(const usb::CommandTransaction& transaction) override;

private:
    VirtualDetector& m_detector;
    std::chrono::milliseconds m_commandTimeout;
    std::array<std::uint8_t, usb::kStatusWrapperSize> m_status{};
};

} // namespace sim
