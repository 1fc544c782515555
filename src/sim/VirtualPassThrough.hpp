#pragma once
// The pass-through system call answered by the virtual detector, as a storage driver would
// answer it: the stand-in for the system where there is none.

#include "sim/StorageDriverChannel.hpp"
#include "usb/PassThroughChannel.hpp"

#include <memory>

namespace sim {

// A good command is status GOOD with the bytes moved; a failed one a check condition without
// sense data (the device answers no REQUEST SENSE); a driver time-out is the system's
// semaphore time-out, a vanished device "device not connected", anything else an I/O error.
class VirtualPassThrough final : public usb::PassThroughCalls {
public:
    explicit VirtualPassThrough(std::shared_ptr<VirtualDetector> detector)
        : m_detector(std::move(detector))
        , m_driver(*m_detector) {}

    usb::PassThroughReply passThrough(const usb::PassThroughRequest& request) override;

private:
    std::shared_ptr<VirtualDetector> m_detector;
    StorageDriverChannel m_driver;
};

} // namespace sim
