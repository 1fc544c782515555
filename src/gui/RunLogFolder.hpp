#pragma once
// The folder of the window's run logs: one trace file per update run, the newest kept.

#include "app/TraceLog.hpp"

#include <QString>
#include <QStringList>
#include <memory>

// File names carry the start time ("run-20261208-021516-042.log"), so their order by name is
// the order of the runs and pruning needs no file times.
class RunLogFolder {
public:
    static constexpr int kKept = 20;

    // folder empty: QStandardPaths::AppLocalDataLocation + "/logs".
    explicit RunLogFolder(QString folder = {}, int kept = kKept);

    // Creates the folder and a new log, then removes the oldest logs beyond `kept`. Null when
    // the file cannot be written; path is set to the file either way.
    std::shared_ptr<TraceLog> openRun(QString& path);
    // The run logs present, oldest first.
    [[nodiscard]] QStringList runs() const;
    [[nodiscard]] const QString& folder() const { return m_folder; }

    static QString defaultFolder();

private:
    void prune() const;

    QString m_folder;
    int m_kept;
};
