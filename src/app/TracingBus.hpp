#pragma once
// A UsbBus decorator that writes every bulk transfer of the opened detector to the trace.

#include "app/TraceLog.hpp"
#include "usb/UsbBus.hpp"

#include <memory>

// The devices it hands out behave as the inner bus's; their first interface's transport is
// wrapped so that each command wrapper is logged decoded (operation, selector, address,
// length), each data and status phase with its outcome, and each clear-halt and mass storage
// reset of the link's recovery as a line of its own.
class TracingBus final : public usb::UsbBus {
public:
    TracingBus(std::shared_ptr<usb::UsbBus> inner, std::shared_ptr<TraceLog> log);

    std::vector<std::unique_ptr<usb::UsbDevice>> takeMatched() override;
    void waitForArrival(std::chrono::milliseconds timeout) override;
    void wake() override;

private:
    std::shared_ptr<usb::UsbBus> m_inner;
    std::shared_ptr<TraceLog> m_log;
};
