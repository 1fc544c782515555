#include "gui/UpdaterSession.hpp"

#include "app/SleepingPacer.hpp"
#include "app/TracingBus.hpp"
#include "app/UpdateSchedule.hpp"
#include "gui/LastChoiceStore.hpp"
#include "server/CurlHttpClient.hpp"
#include "server/ServerSettings.hpp"
#include "usb/LibusbBus.hpp"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <utility>
#include <variant>

namespace {

constexpr std::uint16_t kVendorId = 0x0483;
constexpr std::uint16_t kProductId = 0x5720;

const char* outcomeWord(ViewController::Outcome outcome) {
    switch (outcome) {
    case ViewController::Outcome::Succeeded:
        return "complete";
    case ViewController::Outcome::Failed:
        return "failed";
    case ViewController::Outcome::Stopped:
        return "stopped";
    case ViewController::Outcome::Running:
        break;
    }
    return "running";
}

QString timeLeftText(double seconds) {
    const auto whole = static_cast<long long>(std::ceil(seconds));
    if (whole >= 60) {
        //% "%1 min %2 s left"
        return qtTrId("gui_time_left_minutes").arg(whole / 60).arg(whole % 60);
    }
    //% "%1 s left"
    return qtTrId("gui_time_left_seconds").arg(whole);
}

} // namespace

UpdaterSession::UpdaterSession(Settings settings)
    //% "Camera database"
    : m_settings(std::move(settings))
    , m_model(qtTrId("gui_qvt_db_layout").toStdString())
    , m_logs(m_settings.logFolder) {
    if (m_settings.recordPauses && m_settings.virtualDetector) {
        m_recordingPacer = std::make_unique<RecordingPacer>();
    }
    m_window = std::make_unique<MainWindow>(m_model);
    m_presenter.setMainWindow(m_window.get());
    m_presenter.setLastChoiceSource([] { return LastChoiceStore::load(); });
    m_window->setCloseGuard([this] { return mayClose(); });
    m_window->setChangeLog([this](const ElementChange& change) { watchChange(change); });
    if (!m_settings.openFolder) {
        m_settings.openFolder = [](const QString& folder) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        };
    }
}

UpdaterSession::~UpdaterSession() {
    if (m_run && !m_shutDown) {
        shutdown(std::chrono::seconds(30));
    }
    if (m_joiner.joinable()) {
        m_joiner.join();
    }
    m_run.reset();
    if (m_started) {
        usb::setDiagnosticSink({});
    }
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
    // The link's set-up diagnostics belong in the run's log, not on standard output.
    usb::setDiagnosticSink([this](std::string_view text) { trace("usb", std::string(text)); });
    m_started = true;
    m_run = makeRun();
    m_window->setActions([this] { connectPressed(); },
                         [this] { m_run->controller->btn_DownloadStart(); });
    m_window->setRunActions([this] { startOver(); }, [this] { showLog(); });
    m_run->controller->viewDidLoad();
    m_window->focusConnect();
    return true;
}

std::unique_ptr<UpdaterSession::Run> UpdaterSession::makeRun() {
    auto run = std::make_unique<Run>();
    Pacer* pacer = m_recordingPacer.get();
    if (pacer == nullptr) {
        run->sleepingPacer = std::make_unique<SleepingPacer>(run->stop.get_token());
        pacer = run->sleepingPacer.get();
    }
    run->pacer = std::make_unique<CountingPacer>(*pacer);
    // A client of its own: stopping it must not stop another run's or window's requests.
    auto client = std::make_shared<server::CurlHttpClient>();
    client->setLogSink([this](std::string_view line) { trace("http", std::string(line)); });
    run->controller = std::make_unique<ViewController>(ViewController::Dependencies{
        .window = m_model,
        .dispatcher = m_dispatcher,
        .pacer = *run->pacer,
        .localizer = m_localizer,
        .presenter = m_presenter,
        .makeLink = [this] { return makeLink(); },
        .server = server::ServerAccess(std::move(client), server::ServerSettings::current()),
        .onSequenceEnded =
            [this](bool downloadSequence, ViewController::Outcome outcome) {
                sequenceEnded(downloadSequence, outcome);
            },
        .stop = run->stop,
        .log =
            [this](const std::string& line) {
                std::fprintf(stderr, "%s\n", line.c_str());
                trace("flow", line);
            },
    });
    return run;
}

std::unique_ptr<MassStorageController> UpdaterSession::makeLink() {
    const auto log = currentTrace();
    std::shared_ptr<usb::UsbBus> bus;
    if (m_demo) {
        bus = m_demo->makeBus();
    } else {
        auto created = usb::LibusbBus::create(kVendorId, kProductId);
        if (const auto* error = std::get_if<usb::UsbError>(&created)) {
            trace("usb", "libusb cannot be used: " + error->message);
            // The link reports it in its own words when it cannot start.
            return std::make_unique<MassStorageController>();
        }
        bus = std::get<std::shared_ptr<usb::LibusbBus>>(std::move(created));
    }
    if (log) {
        bus = std::make_shared<TracingBus>(bus, log);
    }
    return std::make_unique<MassStorageController>(bus);
}

std::shared_ptr<TraceLog> UpdaterSession::currentTrace() const {
    const std::lock_guard lock(m_traceMutex);
    return m_trace;
}

QString UpdaterSession::logPath() const {
    const std::lock_guard lock(m_traceMutex);
    return m_logPath;
}

void UpdaterSession::trace(const char* source, const std::string& text) {
    if (const auto log = currentTrace()) {
        log->line(source, text);
    }
}

void UpdaterSession::connectPressed() {
    ++m_runsStarted;
    {
        QString path;
        std::shared_ptr<TraceLog> log;
        if (!m_settings.traceFile.isEmpty()) {
            path = m_settings.traceFile;
            log = TraceLog::open(QFile::encodeName(path).toStdString(), m_runsStarted > 1);
        } else {
            log = m_logs.openRun(path);
        }
        if (!log) {
            std::fprintf(stderr, "detector-updater: cannot write the log %s\n", qPrintable(path));
        }
        const std::lock_guard lock(m_traceMutex);
        m_trace = std::move(log);
        m_logPath = path;
    }
    trace("flow", "run " + std::to_string(m_runsStarted) + ": connect pressed (" +
                      (m_demo ? "virtual detector" : "USB") + ", server " +
                      server::ServerSettings::current().baseAddress + ")");
    if (m_demo && m_settings.plugDelayMs >= 0) {
        QTimer::singleShot(m_settings.plugDelayMs, m_window.get(),
                           [demo = m_demo.get()] { demo->plugIn(); });
    }
    m_run->controller->btn_Start();
}

void UpdaterSession::watchChange(const ElementChange& change) {
    trace("window", describe(change));
    // The writing starts with the device panel in its writing colour; the record then holds
    // the rebuilt database, so the whole schedule is known.
    if (change.element == Element::txt_device_gps_version &&
        change.property == Property::TextColour) {
        const bool writing = change.state.textColour == Colour::Yellow;
        if (writing && m_run) {
            if (const auto record = m_run->controller->connectedTargetInfo()) {
                m_schedule = UpdateSchedule::downloadPauses(*record);
                m_scheduleBase = m_run->pacer->count();
                m_writingShown = true;
                showTimeLeft();
            }
        } else if (!writing && m_writingShown) {
            m_writingShown = false;
            m_window->setTimeLeft({});
        }
        return;
    }
    if (m_writingShown && change.element == Element::progressbar_download &&
        change.property == Property::Value) {
        showTimeLeft();
    }
}

void UpdaterSession::showTimeLeft() {
    const std::size_t made = m_run->pacer->count() - m_scheduleBase;
    m_window->setTimeLeft(timeLeftText(UpdateSchedule::secondsLeft(m_schedule, made)));
}

void UpdaterSession::sequenceEnded(bool downloadSequence, ViewController::Outcome outcome) {
    const std::string lower = m_model.state(Element::txt_Infomation).text;
    trace("flow", std::string(downloadSequence ? "download" : "connect") +
                      " sequence ended: " + outcomeWord(outcome) +
                      (outcome == ViewController::Outcome::Failed
                           ? ": " + m_model.state(Element::txt_Infomation_upper).text + ": " + lower
                           : std::string()));
    const bool failed = outcome == ViewController::Outcome::Failed;
    if (downloadSequence && outcome == ViewController::Outcome::Succeeded) {
        if (const auto record = m_run->controller->connectedTargetInfo()) {
            LastChoiceStore::save(LastChoice::fromRecord(*record));
        }
    }
    if (failed || downloadSequence) {
        m_writingShown = false;
        m_window->setTimeLeft({});
        m_window->offerRunEnd(true, failed);
    }
    if (m_sequenceListener) {
        m_sequenceListener(downloadSequence, outcome);
    }
}

bool UpdaterSession::runEnded() const {
    if (!m_run) {
        return false;
    }
    const ViewController& c = *m_run->controller;
    using Outcome = ViewController::Outcome;
    const Outcome download = c.downloadOutcome();
    return !c.isWriting() && (c.connectOutcome() == Outcome::Failed ||
                              download == Outcome::Succeeded || download == Outcome::Failed);
}

bool UpdaterSession::startOver() {
    if (m_shutDown || !runEnded()) {
        return false;
    }
    trace("flow", "update another detector");
    // The workers have ended (the run's end is told after their last change); destroying
    // the controller joins them and drops the record, the workers and the link.
    m_run.reset();
    // The link's process-wide state goes too, so the next link opens the device afresh.
    usb::releaseOpenInterface();
    {
        const std::lock_guard lock(m_traceMutex);
        m_trace.reset();
    }
    m_schedule.clear();
    m_writingShown = false;
    m_window->setTimeLeft({});
    m_window->offerRunEnd(false, false);
    m_model.restoreLayout();
    m_run = makeRun();
    m_run->controller->viewDidLoad();
    m_window->focusConnect();
    return true;
}

void UpdaterSession::showLog() {
    const QString path = logPath();
    if (path.isEmpty()) {
        return;
    }
    m_settings.openFolder(QFileInfo(path).absolutePath());
}

void UpdaterSession::setSequenceListener(
    std::function<void(bool, ViewController::Outcome)> listener) {
    m_sequenceListener = std::move(listener);
}

bool UpdaterSession::mayClose() {
    if (!m_run || !m_run->controller->isWriting()) {
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
    if (!m_run) {
        m_shutDown = true;
        return true;
    }
    if (!m_shutDown) {
        m_shutDown = true;
        trace("flow", "window closed");
        m_dispatcher.close();
        m_run->stop.request_stop();
        m_run->controller->requestStop();
        // A worker may be inside a blocking hand-off right now: keep serving the event loop
        // while another thread joins the workers.
        m_joined = std::make_shared<std::atomic<bool>>(false);
        m_joiner = std::thread([controller = m_run->controller.get(), joined = m_joined] {
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
    m_run.reset();
    return true;
}
