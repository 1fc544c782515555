#pragma once
// A UsbBus decorator that writes every bulk transfer of the opened detector to the trace and
// counts the memory writes.

#include "app/TraceLog.hpp"
#include "usb/UsbBus.hpp"

#include <atomic>
#include <cstdint>
#include <memory>

// The devices it hands out behave as the inner bus's; their first interface's transport is
// wrapped so that each command wrapper is logged decoded (operation, selector, address,
// length), each data and status phase with its outcome, and each clear-halt and mass storage
// reset of the link's recovery as a line of its own. Without a log nothing is written;
// `memoryWrites` (optional) counts memory writes whose three phases all succeeded.
class TracingBus final : public usb::UsbBus {
public:
    TracingBus(std::shared_ptr<usb::UsbBus> inner, std::shared_ptr<TraceLog> log,
               std::shared_ptr<std::atomic<std::uint32_t>> memoryWrites = nullptr);

    std::vector<std::unique_ptr<usb::UsbDevice>> takeMatched() override;
    void waitForArrival(std::chrono::milliseconds timeout) override;
    void wake() override;

private:
    std::shared_ptr<usb::UsbBus> m_inner;
    std::shared_ptr<TraceLog> m_log;
    std::shared_ptr<std::atomic<std::uint32_t>> m_memoryWrites;
};
