#include "gui/DemoEnvironment.hpp"

#include "install/DataLocation.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <string>

#ifndef DETECTOR_BUILD_CATALOG_DIR
#define DETECTOR_BUILD_CATALOG_DIR ""
#endif
#ifndef DETECTOR_SOURCE_PROFILES_DIR
#define DETECTOR_SOURCE_PROFILES_DIR ""
#endif

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

QString DemoEnvironment::found(const QString& profile, QString& error) {
    const QString path =
        profilePath(profile.isEmpty() ? QString::fromLatin1(kDemoProfile) : profile);
    if (path.isEmpty()) {
        error = QStringLiteral("device profile '%1' not found").arg(profile);
    }
    return path;
}

bool DemoEnvironment::start(const QString& profile, bool startServer, QString& error) {
    const QString path = found(profile, error);
    if (path.isEmpty()) {
        return false;
    }
    QString folder;
    if (startServer) {
        folder = catalogFolder();
        if (folder.isEmpty()) {
            error = QStringLiteral("the demo catalog is missing (build the project, or set "
                                   "DETECTOR_DEMO_CATALOG to a catalog folder)");
            return false;
        }
    }
    std::string why;
    if (!m_world.start(QFile::encodeName(path).toStdString(),
                       QFile::encodeName(folder).toStdString(), why)) {
        error = QString::fromStdString(why);
        return false;
    }
    return true;
}

bool DemoEnvironment::replaceDetector(const QString& profile, QString& error) {
    const QString path = found(profile, error);
    if (path.isEmpty()) {
        return false;
    }
    std::string why;
    if (!m_world.replaceDetector(QFile::encodeName(path).toStdString(), why)) {
        error = QString::fromStdString(why);
        return false;
    }
    return true;
}
