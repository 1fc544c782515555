#include "gui/AppOptions.hpp"

#include "install/BuildVersion.hpp"

#include <QCommandLineOption>
#include <QCommandLineParser>

std::optional<AppOptions> AppOptions::parse(const QStringList& arguments, QString& error,
                                            QString& helpText) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Updates the firmware and camera database of USB speed-camera detectors."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Run on a virtual detector with the built-in "
                                                 "simulated update server."));
    const QCommandLineOption profile(QStringLiteral("profile"),
                                     QStringLiteral("Use the virtual detector described by FILE "
                                                    "(a device profile)."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Base address of the update server."),
                                    QStringLiteral("URL"));
    const QCommandLineOption probe(QStringLiteral("probe-url"),
                                   QStringLiteral("Address of the network probe."),
                                   QStringLiteral("URL"));
    const QCommandLineOption lang(QStringLiteral("lang"),
                                  QStringLiteral("Language of the window: ru or en (default: "
                                                 "the system's)."),
                                  QStringLiteral("LANG"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write the trace of every run (USB transactions, "
                                                  "HTTP requests, window changes) to FILE instead "
                                                  "of the log folder."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version and exit."));
    QCommandLineOption shots(QStringLiteral("screenshot-dir"), QString(), QStringLiteral("DIR"));
    shots.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption shotRun(QStringLiteral("screenshot-run"), QString(), QStringLiteral("RUN"));
    shotRun.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({help, version, demo, profile, server, probe, lang, trace, shots, shotRun});

    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        helpText = parser.helpText();
        return std::nullopt;
    }
    if (parser.isSet(version)) {
        helpText = QStringLiteral("detector-updater %1\n%2\n")
                       .arg(QString::fromUtf8(BuildVersion::text()),
                            QString::fromUtf8(BuildVersion::notice()));
        return std::nullopt;
    }
    AppOptions options;
    options.demo = parser.isSet(demo);
    options.profile = parser.value(profile);
    options.server = parser.value(server);
    options.probeUrl = parser.value(probe);
    options.language = parser.value(lang);
    options.traceFile = parser.value(trace);
    options.screenshotDir = parser.value(shots);
    if (parser.isSet(shotRun)) {
        options.screenshotRun = parser.value(shotRun);
    }
    if (!options.language.isEmpty() && options.language != QLatin1String("ru") &&
        options.language != QLatin1String("en")) {
        error = QStringLiteral("--lang takes ru or en, not '%1'").arg(options.language);
        return std::nullopt;
    }
    if (options.screenshotRun != QLatin1String("success") &&
        options.screenshotRun != QLatin1String("fail")) {
        error = QStringLiteral("--screenshot-run takes success or fail");
        return std::nullopt;
    }
    if (!options.screenshotDir.isEmpty()) {
        options.demo = true;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error =
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return std::nullopt;
    }
    return options;
}
