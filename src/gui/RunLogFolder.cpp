#include "gui/RunLogFolder.hpp"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <algorithm>
#include <utility>

namespace {

const QString kPrefix = QStringLiteral("run-");
const QString kSuffix = QStringLiteral(".log");

// 0 for a name without a sequence.
qulonglong sequenceOf(const QString& name) {
    const qsizetype cut = name.indexOf(QLatin1Char('_'));
    if (cut <= kPrefix.size()) {
        return 0;
    }
    bool ok = false;
    const qulonglong n = name.mid(kPrefix.size(), cut - kPrefix.size()).toULongLong(&ok);
    return ok ? n : 0;
}

} // namespace

RunLogFolder::RunLogFolder(QString folder, int kept)
    : m_folder(folder.isEmpty() ? defaultFolder() : std::move(folder))
    , m_kept(kept) {}

QString RunLogFolder::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/logs");
}

QStringList RunLogFolder::runs() const {
    QStringList names =
        QDir(m_folder).entryList({kPrefix + QLatin1Char('*') + kSuffix}, QDir::Files, QDir::Name);
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return sequenceOf(a) < sequenceOf(b);
    });
    return names;
}

std::shared_ptr<TraceLog> RunLogFolder::openRun(QString& path) {
    QDir().mkpath(m_folder);
    const QStringList present = runs();
    const qulonglong sequence = present.isEmpty() ? 1 : sequenceOf(present.last()) + 1;
    const QString stem =
        kPrefix + QString::number(sequence).rightJustified(6, QLatin1Char('0')) + QLatin1Char('_') +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
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
