#pragma once
// The folder of the window's run logs: one trace file per update run, the newest kept.

#include "app/TraceLog.hpp"

#include <QString>
#include <QStringList>
#include <memory>

// File names carry a sequence number and the start time ("run-000042_20261208-021516-042.log").
// The sequence is one more than the highest present, so the order of the runs holds when the
// clock steps back; names without one (earlier versions) count as older than any with one.
class RunLogFolder {
public:
    static constexpr int kKept = 20;

    // folder empty: QStandardPaths::AppLocalDataLocation + "/logs".
    explicit RunLogFolder(QString folder = {}, int kept = kKept);

    // Creates the folder and a new log, then removes the oldest logs beyond `kept`. Null when
    // the file cannot be written; path is set to the file either way.
    std::shared_ptr<TraceLog> openRun(QString& path);
    // The run logs present, oldest first (by sequence, then by name).
    [[nodiscard]] QStringList runs() const;
    [[nodiscard]] const QString& folder() const { return m_folder; }

    static QString defaultFolder();

private:
    void prune() const;

    QString m_folder;
    int m_kept;
};
