#pragma once
// The situations in which the next command works only if the link recovered from a failed one;
// run on the in-process link and on the real libusb path under the USB emulation.

#include "sim/VirtualDetector.hpp"
#include "usb/MassStorageController.hpp"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace recovery_scenarios {

struct Scenario {
    std::string name;
    sim::DeviceProfile profile;
    // Runs on a link connected to a detector made from `profile`; checks with gtest.
    std::function<void(MassStorageController& link, sim::VirtualDetector& device)> run;
};

std::vector<Scenario> all();

inline void PrintTo(const Scenario& scenario, std::ostream* os) { *os << scenario.name; }

} // namespace recovery_scenarios
