#include "gui/UpdaterSession.hpp"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <utility>

namespace {

std::filesystem::path toPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString fromPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

} // namespace

UpdaterSession::UpdaterSession(Settings settings)
    //% "Camera database"
    : m_settings(std::move(settings))
    , m_model(qtTrId("gui_qvt_db_layout").toStdString()) {
    if (m_settings.recordPauses && m_settings.virtualDetector) {
        m_recordingPacer = std::make_unique<RecordingPacer>();
    }
    m_window = std::make_unique<MainWindow>(m_model);
    m_presenter.setMainWindow(m_window.get());
    m_presenter.setLastChoiceSource([this] { return m_lastChoice.load(); });
    if (!m_settings.openFolder) {
        m_settings.openFolder = [](const QString& folder) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        };
    }
}

UpdaterSession::~UpdaterSession() {
    // The session's workers go before the window and the demo they work on.
    m_session.reset();
}

QString UpdaterSession::defaultLogFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/logs");
}

bool UpdaterSession::start(QString& error) {
    if (m_settings.virtualDetector) {
        m_demo = std::make_unique<DemoEnvironment>();
        if (!m_demo->start(m_settings.profile, m_settings.startSimulatedServer, error)) {
            return false;
        }
    }
    WindowSession::Settings settings;
    settings.serverOverride = m_settings.serverOverride.toStdString();
    settings.probeOverride = m_settings.probeOverride.toStdString();
    settings.traceFile = toPath(m_settings.traceFile);
    settings.logFolder =
        toPath(m_settings.logFolder.isEmpty() ? defaultLogFolder() : m_settings.logFolder);
    settings.pacer = m_recordingPacer.get();
    if (m_demo) {
        settings.makeBus = [demo = m_demo.get()] { return demo->makeBus(); };
        if (m_settings.plugDelayMs >= 0) {
            settings.onConnect = [this] {
                QTimer::singleShot(m_settings.plugDelayMs, m_window.get(),
                                   [demo = m_demo.get()] { demo->plugIn(); });
            };
        }
    }
    WindowSession::Window window{
        .setTimeLeft =
            [this](const std::string& text) {
                m_window->setTimeLeft(QString::fromStdString(text));
            },
        .offerRunEnd = [this](bool offered,
                              bool showLog) { m_window->offerRunEnd(offered, showLog); },
        .focusConnect = [this] { m_window->focusConnect(); },
        .confirmStop = [this] { return confirmStop(); },
        .openFolder =
            [this](const std::filesystem::path& folder) {
                m_settings.openFolder(fromPath(folder));
            },
        .closeDispatcher = [this] { m_dispatcher.close(); },
        .serveEvents = [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); },
        .sequenceEnded =
            [this](bool downloadSequence, ViewController::Outcome outcome) {
                if (m_sequenceListener) {
                    m_sequenceListener(downloadSequence, outcome);
                }
            },
    };
    m_session =
        std::make_unique<WindowSession>(m_model, m_dispatcher, m_localizer, m_presenter,
                                        m_lastChoice, std::move(settings), std::move(window));
    m_window->setCloseGuard([this] { return m_session->mayClose(); });
    m_window->setChangeLog([this](const ElementChange& change) { m_session->watchChange(change); });
    m_window->setActions([this] { m_session->connectPressed(); },
                         [this] { m_session->downloadPressed(); });
    m_window->setRunActions([this] { m_session->startOver(); }, [this] { m_session->showLog(); });
    m_session->start();
    return true;
}

QString UpdaterSession::logPath() const {
    return m_session ? fromPath(m_session->logPath()) : QString();
}

void UpdaterSession::setSequenceListener(
    std::function<void(bool, ViewController::Outcome)> listener) {
    m_sequenceListener = std::move(listener);
}

bool UpdaterSession::confirmStop() {
    //% "Stop the update?"
    //% "The detector is being written right now. If you stop, it may not work until it is
    //% updated again. Stop and quit?"
    const auto answer =
        QMessageBox::warning(m_window.get(), qtTrId("gui_quit_title"), qtTrId("gui_quit_question"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes;
}
