#include "app/WindowSession.hpp"

#include "app/CountingPacer.hpp"
#include "app/SleepingPacer.hpp"
#include "app/TextFormat.hpp"
#include "app/TracingBus.hpp"
#include "app/UpdateSchedule.hpp"
#include "install/SystemPaths.hpp"
#include "server/HttpClient.hpp"
#include "server/ServerSettings.hpp"
#include "usb/MassStorageController.hpp"
#include "usb/SystemBus.hpp"

#include <cmath>
#include <cstdio>
#include <utility>
#include <variant>

struct WindowSession::Run {
    std::stop_source stop;
    std::unique_ptr<Pacer> sleepingPacer;
    std::unique_ptr<CountingPacer> pacer;
    std::unique_ptr<ViewController> controller;
};

namespace {

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

} // namespace

WindowSession::WindowSession(MainWindowModel& model, UiDispatcher& dispatcher,
                             const Localizer& localizer, SelectionPresenter& presenter,
                             LastChoiceStore& lastChoice, Settings settings, Window window)
    : m_model(model)
    , m_dispatcher(dispatcher)
    , m_localizer(localizer)
    , m_presenter(presenter)
    , m_lastChoice(lastChoice)
    , m_settings(std::move(settings))
    , m_window(std::move(window))
    , m_logs(m_settings.logFolder) {}

WindowSession::~WindowSession() {
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

void WindowSession::start() {
    if (!m_settings.serverOverride.empty()) {
        server::ServerSettings::overrideBaseAddress(m_settings.serverOverride);
    }
    if (!m_settings.probeOverride.empty()) {
        server::ServerSettings::overrideProbeUrl(m_settings.probeOverride);
    }
    // The link's set-up diagnostics belong in the run's log, not on standard output.
    usb::setDiagnosticSink([this](std::string_view text) { trace("usb", std::string(text)); });
    m_started = true;
    m_run = makeRun();
    m_run->controller->viewDidLoad();
    if (m_window.focusConnect) {
        m_window.focusConnect();
    }
}

std::unique_ptr<WindowSession::Run> WindowSession::makeRun() {
    auto run = std::make_unique<Run>();
    Pacer* pacer = m_settings.pacer;
    if (pacer == nullptr) {
        run->sleepingPacer = std::make_unique<SleepingPacer>(run->stop.get_token());
        pacer = run->sleepingPacer.get();
    }
    run->pacer = std::make_unique<CountingPacer>(*pacer);
    // A client of its own: stopping it must not stop another run's or window's requests.
    auto client = server::makeSystemHttpClient();
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

std::unique_ptr<MassStorageController> WindowSession::makeLink() {
    // The link makes its bus when it starts and says in its own words when USB cannot be used;
    // with a log, the bus it gets traces every transaction.
    return std::make_unique<MassStorageController>(MassStorageController::BusFactory(
        [makeBus = m_settings.makeBus,
         log = currentTrace()]() -> std::variant<std::shared_ptr<usb::UsbBus>, usb::UsbError> {
            std::variant<std::shared_ptr<usb::UsbBus>, usb::UsbError> created;
            if (makeBus) {
                created = makeBus();
            } else {
                created = usb::openSystemBus(0x0483, 0x5720);
            }
            auto* bus = std::get_if<std::shared_ptr<usb::UsbBus>>(&created);
            if (bus != nullptr && *bus && log) {
                *bus = std::make_shared<TracingBus>(*bus, log);
            }
            return created;
        }));
}

std::shared_ptr<TraceLog> WindowSession::currentTrace() const {
    const std::lock_guard lock(m_traceMutex);
    return m_trace;
}

std::filesystem::path WindowSession::logPath() const {
    const std::lock_guard lock(m_traceMutex);
    return m_logPath;
}

void WindowSession::trace(const char* source, const std::string& text) {
    if (const auto log = currentTrace()) {
        log->line(source, text);
    }
}

void WindowSession::connectPressed() {
    ++m_runsStarted;
    {
        std::filesystem::path path;
        std::shared_ptr<TraceLog> log;
        if (!m_settings.traceFile.empty()) {
            path = m_settings.traceFile;
            log = TraceLog::open(sys::utf8FromPath(path), m_runsStarted > 1);
        } else {
            log = m_logs.openRun(path);
        }
        if (!log) {
            std::fprintf(stderr, "detector-updater: cannot write the log %s\n",
                         sys::utf8FromPath(path).c_str());
        }
        const std::lock_guard lock(m_traceMutex);
        m_trace = std::move(log);
        m_logPath = path;
    }
    trace("flow", "run " + std::to_string(m_runsStarted) + ": connect pressed (" +
                      (m_settings.makeBus ? "virtual detector" : "USB") + ", server " +
                      server::ServerSettings::current().baseAddress + ")");
    if (m_settings.onConnect) {
        m_settings.onConnect();
    }
    m_run->controller->btn_Start();
}

void WindowSession::downloadPressed() { m_run->controller->btn_DownloadStart(); }

std::string WindowSession::timeLeftText(double seconds) const {
    const auto whole = static_cast<long long>(std::ceil(seconds));
    if (whole >= 60) {
        return text::substitute(m_localizer.L("gui_time_left_minutes"),
                                {std::to_string(whole / 60), std::to_string(whole % 60)});
    }
    return text::substitute(m_localizer.L("gui_time_left_seconds"), {std::to_string(whole)});
}

void WindowSession::watchChange(const ElementChange& change) {
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
            m_window.setTimeLeft({});
        }
        return;
    }
    if (m_writingShown && change.element == Element::progressbar_download &&
        change.property == Property::Value) {
        showTimeLeft();
    }
}

void WindowSession::showTimeLeft() {
    const std::size_t made = m_run->pacer->count() - m_scheduleBase;
    m_window.setTimeLeft(timeLeftText(UpdateSchedule::secondsLeft(m_schedule, made)));
}

void WindowSession::sequenceEnded(bool downloadSequence, ViewController::Outcome outcome) {
    const std::string lower = m_model.state(Element::txt_Infomation).text;
    trace("flow", std::string(downloadSequence ? "download" : "connect") +
                      " sequence ended: " + outcomeWord(outcome) +
                      (outcome == ViewController::Outcome::Failed
                           ? ": " + m_model.state(Element::txt_Infomation_upper).text + ": " + lower
                           : std::string()));
    const bool failed = outcome == ViewController::Outcome::Failed;
    if (downloadSequence && outcome == ViewController::Outcome::Succeeded) {
        if (const auto record = m_run->controller->connectedTargetInfo()) {
            m_lastChoice.save(LastChoice::fromRecord(*record));
        }
    }
    if (failed || downloadSequence) {
        m_writingShown = false;
        m_window.setTimeLeft({});
        m_window.offerRunEnd(true, failed);
    }
    if (m_window.sequenceEnded) {
        m_window.sequenceEnded(downloadSequence, outcome);
    }
}

bool WindowSession::runEnded() const {
    if (!m_run) {
        return false;
    }
    const ViewController& c = *m_run->controller;
    using Outcome = ViewController::Outcome;
    const Outcome download = c.downloadOutcome();
    return !c.isWriting() && (c.connectOutcome() == Outcome::Failed ||
                              download == Outcome::Succeeded || download == Outcome::Failed);
}

bool WindowSession::startOver() {
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
    m_window.setTimeLeft({});
    m_window.offerRunEnd(false, false);
    m_model.restoreLayout();
    m_run = makeRun();
    m_run->controller->viewDidLoad();
    if (m_window.focusConnect) {
        m_window.focusConnect();
    }
    return true;
}

void WindowSession::showLog() {
    const std::filesystem::path path = logPath();
    if (path.empty() || !m_window.openFolder) {
        return;
    }
    m_window.openFolder(std::filesystem::absolute(path).parent_path());
}

bool WindowSession::mayClose() {
    if (!m_run || !m_run->controller->isWriting()) {
        return true;
    }
    return !m_window.confirmStop || m_window.confirmStop();
}

bool WindowSession::shutdown(std::chrono::milliseconds deadline) {
    if (!m_run) {
        m_shutDown = true;
        return true;
    }
    if (!m_shutDown) {
        m_shutDown = true;
        trace("flow", "window closed");
        if (m_window.closeDispatcher) {
            m_window.closeDispatcher();
        }
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
        if (m_window.serveEvents) {
            m_window.serveEvents();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!m_joined->load()) {
        return false;
    }
    m_joiner.join();
    m_run.reset();
    return true;
}

ViewController& WindowSession::controller() { return *m_run->controller; }
