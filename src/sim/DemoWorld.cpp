#include "sim/DemoWorld.hpp"

#include "install/SystemPaths.hpp"
#include "server/ServerSettings.hpp"
#include "sim/DeviceProfile.hpp"
#include "sim/UpdateCatalog.hpp"

#include <exception>
#include <utility>

namespace sim {

DemoWorld::DemoWorld(VirtualCarrier carrier)
    : m_carrier(carrier)
    , m_bus(std::make_shared<VirtualUsbBus>(carrier)) {}

DemoWorld::~DemoWorld() {
    if (m_server) {
        m_server->stop();
    }
}

std::shared_ptr<VirtualDetector> DemoWorld::load(const std::filesystem::path& profile,
                                                 std::string& error) {
    try {
        return std::make_shared<VirtualDetector>(DeviceProfile::load(sys::utf8FromPath(profile)));
    } catch (const std::exception& e) {
        error = "device profile " + sys::utf8FromPath(profile) + ": " + e.what();
        return nullptr;
    }
}

bool DemoWorld::start(const std::filesystem::path& profile,
                      const std::filesystem::path& catalogFolder, std::string& error) {
    auto detector = load(profile, error);
    if (!detector) {
        return false;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_detector = std::move(detector);
    }
    if (catalogFolder.empty()) {
        return true;
    }
    std::string why;
    auto catalog = UpdateCatalog::load(catalogFolder, why);
    if (!catalog) {
        error = "demo catalog " + sys::utf8FromPath(catalogFolder) + ": " + why;
        return false;
    }
    m_server = std::make_unique<UpdateServerSim>(std::move(*catalog));
    if (!m_server->start()) {
        error = "the simulated update server did not start";
        return false;
    }
    // Any answer proves the network, so the simulated server doubles as the probe.
    server::ServerSettings::overrideBaseAddress(m_server->baseAddress());
    server::ServerSettings::overrideProbeUrl(m_server->baseAddress() + "/generate_204");
    return true;
}

std::shared_ptr<usb::UsbBus> DemoWorld::makeBus() {
    const std::lock_guard lock(m_mutex);
    m_bus = std::make_shared<VirtualUsbBus>(m_carrier);
    if (m_plugged) {
        m_bus->plug(m_detector);
    }
    return m_bus;
}

void DemoWorld::plugIn() {
    const std::lock_guard lock(m_mutex);
    if (m_plugged || !m_detector) {
        return;
    }
    m_plugged = true;
    m_bus->plug(m_detector);
}

void DemoWorld::unplug() {
    const std::lock_guard lock(m_mutex);
    m_plugged = false;
}

bool DemoWorld::pluggedIn() const {
    const std::lock_guard lock(m_mutex);
    return m_plugged;
}

std::shared_ptr<VirtualDetector> DemoWorld::detector() const {
    const std::lock_guard lock(m_mutex);
    return m_detector;
}

bool DemoWorld::replaceDetector(const std::filesystem::path& profile, std::string& error) {
    auto replacement = load(profile, error);
    if (!replacement) {
        return false;
    }
    const std::lock_guard lock(m_mutex);
    m_plugged = false;
    m_detector = std::move(replacement);
    return true;
}

} // namespace sim
