#pragma once
// The desktop application's command line.

#include <QString>
#include <QStringList>
#include <optional>

struct AppOptions {
    // The simulated update server and a virtual detector plugged in after Connect.
    bool demo = false;
    // A device profile (JSON) for the virtual detector; implies the virtual detector.
    QString profile;
    QString server;
    QString probeUrl;
    // --trace FILE: the runs' trace into FILE instead of the log folder.
    QString traceFile;
    // "ru", "en" or empty for the system locale.
    QString language;
    // Hidden: walk the window through its states and save PNGs into this folder.
    QString screenshotDir;
    // Hidden, with screenshotDir: "success" (initial to complete) or "fail".
    QString screenshotRun = QStringLiteral("success");

    // True when the updater talks to a virtual detector rather than real USB.
    [[nodiscard]] bool virtualDetector() const { return demo || !profile.isEmpty(); }

    // nullopt with error set on unknown options or bad values, or with helpText set to what
    // --help or --version prints.
    static std::optional<AppOptions> parse(const QStringList& arguments, QString& error,
                                           QString& helpText);
};
