#include "gui/UpdaterSession.hpp"

#include "app/SleepingPacer.hpp"
#include "server/CurlHttpClient.hpp"
#include "server/ServerSettings.hpp"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <thread>
#include <utility>

UpdaterSession::UpdaterSession(Settings settings)
    //% "Camera database"
    : m_settings(std::move(settings))
    , m_model(qtTrId("gui_qvt_db_layout").toStdString()) {
    if (m_settings.recordPauses && m_settings.virtualDetector) {
        m_recordingPacer = std::make_unique<RecordingPacer>();
    } else {
        m_sleepingPacer = std::make_unique<SleepingPacer>(m_stop.get_token());
    }
    m_window = std::make_unique<MainWindow>(m_model);
    m_presenter.setMainWindow(m_window.get());
    m_window->setCloseGuard([this] { return mayClose(); });
}

UpdaterSession::~UpdaterSession() {
    if (m_controller && !m_shutDown) {
        shutdown(std::chrono::seconds(30));
    }
    if (m_joiner.joinable()) {
        m_joiner.join();
    }
    m_controller.reset();
}

bool UpdaterSession::start(QString& error) {
    if (m_settings.virtualDetector) {
        m_demo = std::make_unique<DemoEnvironment>();
        if (!m_demo->start(m_settings.profile, m_settings.startSimulatedServer, error)) {
            return false;
        }
    }
    if (!m_settings.serverOverride.isEmpty()) {
        server::ServerSettings::overrideBaseAddress(m_settings.serverOverride.toStdString());
    }
    if (!m_settings.probeOverride.isEmpty()) {
        server::ServerSettings::overrideProbeUrl(m_settings.probeOverride.toStdString());
    }
    Pacer& pacer = m_recordingPacer ? static_cast<Pacer&>(*m_recordingPacer) : *m_sleepingPacer;
    std::function<std::unique_ptr<MassStorageController>()> makeLink;
    if (m_demo) {
        makeLink = [demo = m_demo.get()] { return demo->makeLink(); };
    } else {
        makeLink = [] { return std::make_unique<MassStorageController>(); };
    }
    m_controller = std::make_unique<ViewController>(ViewController::Dependencies{
        .window = m_model,
        .dispatcher = m_dispatcher,
        .pacer = pacer,
        .localizer = m_localizer,
        .presenter = m_presenter,
        .makeLink = std::move(makeLink),
        // A client of its own: stopping it on quit must not stop other sessions' requests.
        .server = server::ServerAccess(std::make_shared<server::CurlHttpClient>(),
                                       server::ServerSettings::current()),
        .onSequenceEnded =
            [this](bool downloadSequence, ViewController::Outcome outcome) {
                if (m_sequenceListener) {
                    m_sequenceListener(downloadSequence, outcome);
                }
            },
        .stop = m_stop,
    });
    m_window->setActions([this] { connectPressed(); },
                         [this] { m_controller->btn_DownloadStart(); });
    m_controller->viewDidLoad();
    return true;
}

void UpdaterSession::connectPressed() {
    if (m_demo && m_settings.plugDelayMs >= 0) {
        QTimer::singleShot(m_settings.plugDelayMs, m_window.get(),
                           [demo = m_demo.get()] { demo->plugIn(); });
    }
    m_controller->btn_Start();
}

void UpdaterSession::setSequenceListener(
    std::function<void(bool, ViewController::Outcome)> listener) {
    m_sequenceListener = std::move(listener);
}

bool UpdaterSession::mayClose() {
    if (!m_controller || !m_controller->isWriting()) {
        return true;
    }
    //% "Stop the update?"
    //% "The detector is being written right now. If you stop, it may not work until it is
    //% updated again. Stop and quit?"
    const auto answer =
        QMessageBox::warning(m_window.get(), qtTrId("gui_quit_title"), qtTrId("gui_quit_question"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes;
}

bool UpdaterSession::shutdown(std::chrono::milliseconds deadline) {
    if (!m_controller) {
        m_shutDown = true;
        return true;
    }
    if (!m_shutDown) {
        m_shutDown = true;
        m_dispatcher.close();
        m_stop.request_stop();
        m_controller->requestStop();
        // A worker may be inside a blocking hand-off right now: keep serving the event loop
        // while another thread joins the workers.
        m_joined = std::make_shared<std::atomic<bool>>(false);
        m_joiner = std::thread([controller = m_controller.get(), joined = m_joined] {
            controller->waitForWorkers();
            joined->store(true);
        });
    }
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (!m_joined->load() && std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!m_joined->load()) {
        return false;
    }
    m_joiner.join();
    m_controller.reset();
    return true;
}
