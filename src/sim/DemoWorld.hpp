#pragma once
// A window's demo: the simulated update server on loopback and a virtual detector on a virtual
// USB bus, plugged in when the window says so.

#include "sim/UpdateServerSim.hpp"
#include "sim/VirtualDetector.hpp"
#include "sim/VirtualUsbBus.hpp"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace sim {

class DemoWorld {
public:
    // carrier: how the virtual detector's commands travel, as the platform's real link does.
    explicit DemoWorld(VirtualCarrier carrier = VirtualCarrier::BulkOnly);
    DemoWorld(const DemoWorld&) = delete;
    DemoWorld& operator=(const DemoWorld&) = delete;
    DemoWorld(DemoWorld&&) = delete;
    DemoWorld& operator=(DemoWorld&&) = delete;
    ~DemoWorld();

    // Loads the device profile and, with a catalog folder, starts the simulated server on a
    // free loopback port and points the server settings at it. False with error set when
    // something is missing.
    bool start(const std::filesystem::path& profile, const std::filesystem::path& catalogFolder,
               std::string& error);

    // A virtual bus of its own for each link, as a real one re-enumerates: a detector still
    // plugged in is offered on it at once, otherwise it arrives with plugIn(). Any thread.
    [[nodiscard]] std::shared_ptr<usb::UsbBus> makeBus();
    // Plugs the detector in; later calls do nothing until unplug().
    void plugIn();
    void unplug();
    [[nodiscard]] bool pluggedIn() const;
    // Unplugs the detector and loads another profile in its place; it arrives with plugIn().
    bool replaceDetector(const std::filesystem::path& profile, std::string& error);

    [[nodiscard]] std::shared_ptr<VirtualDetector> detector() const;
    [[nodiscard]] UpdateServerSim* server() const { return m_server.get(); }

    // The shipped demo profile's file name.
    static constexpr const char* kDemoProfile = "signature-5810e.json";

private:
    static std::shared_ptr<VirtualDetector> load(const std::filesystem::path& profile,
                                                 std::string& error);

    VirtualCarrier m_carrier;
    mutable std::mutex m_mutex; // the link's worker and the UI thread both plug
    std::shared_ptr<VirtualUsbBus> m_bus;
    std::shared_ptr<VirtualDetector> m_detector;
    std::unique_ptr<UpdateServerSim> m_server;
    bool m_plugged = false;
};

} // namespace sim
