#include "gui/DemoEnvironment.hpp"

#include "install/DataLocation.hpp"
#include "server/ServerSettings.hpp"
#include "sim/DeviceProfile.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <exception>
#include <string>

#ifndef DETECTOR_BUILD_CATALOG_DIR
#define DETECTOR_BUILD_CATALOG_DIR ""
#endif
#ifndef DETECTOR_SOURCE_PROFILES_DIR
#define DETECTOR_SOURCE_PROFILES_DIR ""
#endif

DemoEnvironment::~DemoEnvironment() {
    if (m_server) {
        m_server->stop();
    }
}

namespace {

// Where an installed binary keeps its data: share/detector-updater beside its bin folder.
QString installedData() {
    const auto folder = DataLocation::installedFolder(
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
    return QFile::decodeName(folder.c_str());
}

} // namespace

QString DemoEnvironment::catalogFolder() {
    const QString fromEnvironment = qEnvironmentVariable("DETECTOR_DEMO_CATALOG");
    const QStringList candidates{
        fromEnvironment,
        QCoreApplication::applicationDirPath() + QStringLiteral("/demo-catalog"),
        installedData() + QStringLiteral("/demo-catalog"),
        QStringLiteral(DETECTOR_BUILD_CATALOG_DIR),
    };
    for (const QString& folder : candidates) {
        if (!folder.isEmpty() && QFileInfo::exists(folder + QStringLiteral("/catalog.json"))) {
            return folder;
        }
    }
    return {};
}

QString DemoEnvironment::profilePath(const QString& profile) {
    if (QFileInfo::exists(profile)) {
        return profile;
    }
    const QString name = QFileInfo(profile).fileName();
    for (const QString& folder :
         {QCoreApplication::applicationDirPath() + QStringLiteral("/profiles"),
          installedData() + QStringLiteral("/profiles"),
          QStringLiteral(DETECTOR_SOURCE_PROFILES_DIR)}) {
        const QString path = folder + QLatin1Char('/') + name;
        if (!folder.isEmpty() && QFileInfo::exists(path)) {
            return path;
        }
    }
    return {};
}

std::shared_ptr<sim::VirtualDetector> DemoEnvironment::load(const QString& profile,
                                                            QString& error) {
    const QString path =
        profilePath(profile.isEmpty() ? QString::fromLatin1(kDemoProfile) : profile);
    if (path.isEmpty()) {
        error = QStringLiteral("device profile '%1' not found").arg(profile);
        return nullptr;
    }
    try {
        return std::make_shared<sim::VirtualDetector>(
            sim::DeviceProfile::load(QFile::encodeName(path).toStdString()));
    } catch (const std::exception& e) {
        error = QStringLiteral("device profile %1: %2").arg(path, QString::fromUtf8(e.what()));
        return nullptr;
    }
}

bool DemoEnvironment::start(const QString& profile, bool startServer, QString& error) {
    m_detector = load(profile, error);
    if (!m_detector) {
        return false;
    }
    if (!startServer) {
        return true;
    }
    const QString folder = catalogFolder();
    if (folder.isEmpty()) {
        error = QStringLiteral("the demo catalog is missing (build the project, or set "
                               "DETECTOR_DEMO_CATALOG to a catalog folder)");
        return false;
    }
    std::string why;
    auto catalog = sim::UpdateCatalog::load(QFile::encodeName(folder).toStdString(), why);
    if (!catalog) {
        error = QStringLiteral("demo catalog %1: %2").arg(folder, QString::fromStdString(why));
        return false;
    }
    m_server = std::make_unique<sim::UpdateServerSim>(std::move(*catalog));
    if (!m_server->start()) {
        error = QStringLiteral("the simulated update server did not start");
        return false;
    }
    // Any answer proves the network, so the simulated server doubles as the probe.
    server::ServerSettings::overrideBaseAddress(m_server->baseAddress());
    server::ServerSettings::overrideProbeUrl(m_server->baseAddress() + "/generate_204");
    return true;
}

std::shared_ptr<usb::UsbBus> DemoEnvironment::makeBus() {
    const std::lock_guard lock(m_mutex);
    m_bus = std::make_shared<sim::VirtualUsbBus>();
    if (m_plugged) {
        m_bus->plug(m_detector);
    }
    return m_bus;
}

void DemoEnvironment::plugIn() {
    const std::lock_guard lock(m_mutex);
    if (m_plugged || !m_detector) {
        return;
    }
    m_plugged = true;
    m_bus->plug(m_detector);
}

void DemoEnvironment::unplug() {
    const std::lock_guard lock(m_mutex);
    m_plugged = false;
}

bool DemoEnvironment::pluggedIn() const {
    const std::lock_guard lock(m_mutex);
    return m_plugged;
}

bool DemoEnvironment::replaceDetector(const QString& profile, QString& error) {
    auto replacement = load(profile, error);
    if (!replacement) {
        return false;
    }
    const std::lock_guard lock(m_mutex);
    m_plugged = false;
    m_detector = std::move(replacement);
    return true;
}
