#pragma once
// The demo's world: the simulated update server on loopback and a virtual detector on a
// virtual USB bus, plugged in when the demo says so.

#include "sim/DemoWorld.hpp"

#include <QString>
#include <memory>

class DemoEnvironment {
public:
    DemoEnvironment() = default;
    DemoEnvironment(const DemoEnvironment&) = delete;
    DemoEnvironment& operator=(const DemoEnvironment&) = delete;

    // Loads the profile (a path, or a file name looked up among the shipped profiles) and,
    // with startServer, the demo catalog, starts the simulated server on a free port and
    // points the server settings at it. False with error set when something is missing.
    bool start(const QString& profile, bool startServer, QString& error);

    // A virtual bus of its own for each link, as a real one re-enumerates: a detector still
    // plugged in is offered on it at once, otherwise it arrives with plugIn(). Any thread.
    [[nodiscard]] std::shared_ptr<usb::UsbBus> makeBus() { return m_world.makeBus(); }
    // Plugs the detector in; later calls do nothing until unplug().
    void plugIn() { m_world.plugIn(); }
    void unplug() { m_world.unplug(); }
    [[nodiscard]] bool pluggedIn() const { return m_world.pluggedIn(); }
    // Unplugs the detector and loads another profile in its place (a path or a shipped
    // profile's file name); it arrives with plugIn(). False with error set when it cannot.
    bool replaceDetector(const QString& profile, QString& error);

    [[nodiscard]] std::shared_ptr<sim::VirtualDetector> detector() const {
        return m_world.detector();
    }
    [[nodiscard]] sim::UpdateServerSim* server() const { return m_world.server(); }

    // The demo profile and where the demo catalog and profiles are found: next to the binary
    // (the build writes them there), then DETECTOR_DEMO_CATALOG / the source tree.
    static constexpr const char* kDemoProfile = sim::DemoWorld::kDemoProfile;
    static QString catalogFolder();
    static QString profilePath(const QString& profile);

private:
    // The profile's path, or empty with error set.
    static QString found(const QString& profile, QString& error);

    sim::DemoWorld m_world;
};
