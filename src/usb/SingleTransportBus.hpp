#pragma once
// A bus offering one device whose first interface is an already open transport.

#include "usb/UsbBus.hpp"

#include <condition_variable>
#include <mutex>

namespace usb {

// Lets the link run on an in-process transport: the device is offered once, opens, has one
// configuration (value 1) and hands out `transport` as its first interface (pipes in, out).
class SingleTransportBus final : public UsbBus {
public:
    explicit SingleTransportBus(std::shared_ptr<UsbTransport> transport,
                                DeviceIdentity identity = {0x0483, 0x5720, 0x0200});

    std::vector<std::unique_ptr<UsbDevice>> takeMatched() override;
    void waitForArrival(std::chrono::milliseconds timeout) override;
    void wake() override;

private:
    std::shared_ptr<UsbTransport> m_transport;
    DeviceIdentity m_identity;
    std::mutex m_mutex;
    std::condition_variable m_wakeUp;
    bool m_offered = false;
    bool m_woken = false;
};

} // namespace usb
