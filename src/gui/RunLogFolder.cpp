#include "gui/RunLogFolder.hpp"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <utility>

namespace {

const QString kPrefix = QStringLiteral("run-");
const QString kSuffix = QStringLiteral(".log");

} // namespace

RunLogFolder::RunLogFolder(QString folder, int kept)
    : m_folder(folder.isEmpty() ? defaultFolder() : std::move(folder))
    , m_kept(kept) {}

QString RunLogFolder::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/logs");
}

QStringList RunLogFolder::runs() const {
    return QDir(m_folder).entryList({kPrefix + QLatin1Char('*') + kSuffix}, QDir::Files,
                                    QDir::Name);
}

std::shared_ptr<TraceLog> RunLogFolder::openRun(QString& path) {
    QDir().mkpath(m_folder);
    const QString stem =
        kPrefix + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    path = QDir(m_folder).filePath(stem + kSuffix);
    // Two runs within a millisecond must not share a file.
    for (int n = 2; QFile::exists(path); ++n) {
        path = QDir(m_folder).filePath(stem + QLatin1Char('-') + QString::number(n) + kSuffix);
    }
    auto log = TraceLog::open(QFile::encodeName(path).toStdString());
    prune();
    return log;
}

void RunLogFolder::prune() const {
    const QStringList present = runs();
    for (qsizetype i = 0; i + m_kept < present.size(); ++i) {
        QFile::remove(QDir(m_folder).filePath(present[i]));
    }
}
