#pragma once
// The demo's world: the simulated update server on loopback and a virtual detector on a
// virtual USB bus, plugged in when the demo says so.

#include "sim/UpdateServerSim.hpp"
#include "sim/VirtualDetector.hpp"
#include "sim/VirtualUsbBus.hpp"
#include "usb/MassStorageController.hpp"

#include <QString>
#include <memory>

class DemoEnvironment {
public:
    DemoEnvironment() = default;
    DemoEnvironment(const DemoEnvironment&) = delete;
    DemoEnvironment& operator=(const DemoEnvironment&) = delete;
    ~DemoEnvironment();

    // Loads the profile (a path, or a file name looked up among the shipped profiles) and,
    // with startServer, the demo catalog, starts the simulated server on a free port and
    // points the server settings at it. False with error set when something is missing.
    bool start(const QString& profile, bool startServer, QString& error);

    // A link that waits on the virtual bus until plugIn() (the controller's makeLink).
    [[nodiscard]] std::unique_ptr<MassStorageController> makeLink() const;
    // Plugs the detector in; later calls do nothing.
    void plugIn();
    [[nodiscard]] bool pluggedIn() const { return m_plugged; }

    [[nodiscard]] const std::shared_ptr<sim::VirtualDetector>& detector() const {
        return m_detector;
    }
    [[nodiscard]] sim::UpdateServerSim* server() const { return m_server.get(); }

    // The demo profile and where the demo catalog and profiles are found: next to the binary
    // (the build writes them there), then DETECTOR_DEMO_CATALOG / the source tree.
    static constexpr const char* kDemoProfile = "signature-5810e.json";
    static QString catalogFolder();
    static QString profilePath(const QString& profile);

private:
    std::shared_ptr<sim::VirtualUsbBus> m_bus = std::make_shared<sim::VirtualUsbBus>();
    std::shared_ptr<sim::VirtualDetector> m_detector;
    std::unique_ptr<sim::UpdateServerSim> m_server;
    bool m_plugged = false;
};
