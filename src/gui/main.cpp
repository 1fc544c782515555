// The desktop application: options, catalogues, the window, and a quit that never hangs.

#include "app/TraceLog.hpp"
#include "gui/AboutBox.hpp"
#include "gui/AppDelegate.hpp"
#include "gui/AppOptions.hpp"
#include "gui/Artwork.hpp"
#include "gui/QtLocalizer.hpp"
#include "gui/ScreenshotTour.hpp"
#include "gui/UpdaterSession.hpp"
#include "install/BuildVersion.hpp"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QStyleFactory>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

// Closing the window must end the process within a second, whatever the workers wait for.
constexpr std::chrono::milliseconds kQuitDeadline{800};

int fail(const QString& message) {
    std::fprintf(stderr, "detector-updater: %s\n", qPrintable(message));
    return 2;
}

// --help and --version are answered before the window's toolkit starts, since that needs a
// display: a terminal on a server or over ssh gets its answer too.
std::optional<int> answerWithoutWindow(int argc, char* argv[]) {
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        asked = asked || arg == "-h" || arg == "--help" || arg == "--version";
    }
    if (!asked) {
        return std::nullopt;
    }
    const QCoreApplication core(argc, argv);
    QString error;
    QString help;
    if (AppOptions::parse(QCoreApplication::arguments(), error, help)) {
        return std::nullopt; // the word was an option's value: a normal start
    }
    if (!help.isEmpty()) {
        std::fputs(qPrintable(help), stdout);
        return 0;
    }
    return fail(error);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("detector-updater"));
    if (const auto status = answerWithoutWindow(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("detector-updater"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationVersion(QString::fromUtf8(BuildVersion::number()));
    // The desktop entry's name, so a Wayland compositor shows the installed icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.detectorupdater.DetectorUpdater"));
    QApplication::setWindowIcon(QIcon(artwork::icon(QSize(256, 256))));

    QString error;
    QString help;
    const auto options = AppOptions::parse(QApplication::arguments(), error, help);
    if (!options) {
        if (!help.isEmpty()) {
            std::fputs(qPrintable(help), stdout);
            return 0;
        }
        return fail(error);
    }
    QtLocalizer::installCatalogues(options->language);
    if (!options->traceFile.isEmpty() &&
        !TraceLog::open(QFile::encodeName(options->traceFile).toStdString())) {
        return fail(QStringLiteral("cannot write the trace file %1").arg(options->traceFile));
    }

    UpdaterSession::Settings settings;
    settings.virtualDetector = options->virtualDetector();
    settings.profile = options->profile;
    settings.startSimulatedServer = options->server.isEmpty();
    settings.recordPauses = !options->screenshotDir.isEmpty();
    settings.serverOverride = options->server;
    settings.probeOverride = options->probeUrl;
    settings.traceFile = options->traceFile;
    if (!options->screenshotDir.isEmpty()) {
        settings.plugDelayMs = -1;
    }
    auto* session = new UpdaterSession(settings);
    if (!session->start(error)) {
        return fail(error);
    }

    if (!options->screenshotDir.isEmpty()) {
        QDir().mkpath(options->screenshotDir);
        const bool failRun = options->screenshotRun == QLatin1String("fail");
        ScreenshotTour tour(*session, options->screenshotDir, QString(), failRun);
        const bool ok = tour.run(error);
        for (const QString& path : tour.written()) {
            std::printf("%s\n", qPrintable(path));
        }
        const bool stopped = session->shutdown(kQuitDeadline * 10);
        if (!ok) {
            return fail(error);
        }
        if (stopped) {
            delete session;
        }
        std::fflush(stdout);
        std::_Exit(0);
    }

    AboutBox::attach(session->window());
    AppDelegate delegate;
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     &AppDelegate::applicationWillTerminate);
    session->window().show();
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    const int status = QApplication::exec();

    // Requests in flight end at once (the controller stops its client); then the workers get
    // the deadline to return.
    if (!session->shutdown(kQuitDeadline)) {
        std::fflush(stdout);
        std::_Exit(status);
    }
    delete session;
    return status;
}
