#pragma once
// The folder of a window's run logs: one trace file per update run, the newest kept.

#include "app/TraceLog.hpp"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// File names carry a sequence number and the local start time
// ("run-000042_20261208-021516-042.log"). The sequence is one more than the highest present, so
// the order of the runs holds when the clock steps back; names without one (earlier versions)
// count as older than any with one. Used on the UI thread only.
class RunLogFolder {
public:
    static constexpr int kKept = 20;

    explicit RunLogFolder(std::filesystem::path folder, int kept = kKept);

    // Creates the folder and a new log, then removes the oldest logs beyond `kept`. Null when
    // the file cannot be written; path is set to the file either way.
    std::shared_ptr<TraceLog> openRun(std::filesystem::path& path);
    // The names of the run logs present, oldest first (by sequence, then by name).
    [[nodiscard]] std::vector<std::string> runs() const;
    [[nodiscard]] const std::filesystem::path& folder() const { return m_folder; }

private:
    void prune() const;

    std::filesystem::path m_folder;
    int m_kept;
};
