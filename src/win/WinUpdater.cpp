#include "win/WinUpdater.hpp"

#include "install/DataLocation.hpp"
#include "install/SystemPaths.hpp"
#include "install/WideText.hpp"
#include "usb/SystemBus.hpp"

#include <system_error>
#include <utility>

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

std::wstring wide(const std::string& text) { return sys::wideFromUtf8(text); }

} // namespace

WinUpdater::WinUpdater(Settings settings)
    : m_settings(std::move(settings))
    , m_texts(m_settings.language, "_windows")
    , m_model(m_texts.L("gui_qvt_db_layout")) {
    if (m_settings.recordPauses && m_settings.virtualDetector) {
        m_recordingPacer = std::make_unique<RecordingPacer>();
    }
    if (m_settings.dataFolder.empty()) {
        m_settings.dataFolder = defaultDataFolder();
    }
    if (!m_settings.openFolder) {
        m_settings.openFolder = [](const std::filesystem::path& folder) {
            ShellExecuteW(nullptr, L"open", folder.wstring().c_str(), nullptr, nullptr,
                          SW_SHOWNORMAL);
        };
    }
    m_lastChoice = std::make_unique<FileLastChoiceStore>(m_settings.dataFolder / "last-choice.txt");
    m_presenter.setLastChoiceSource([this] { return m_lastChoice->load(); });
}

WinUpdater::~WinUpdater() {
    // The workers go before the window, the dispatcher and the demo they work on.
    m_session.reset();
}

std::filesystem::path WinUpdater::defaultDataFolder() {
    PWSTR folder = nullptr;
    std::filesystem::path path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) {
        path = std::filesystem::path(folder) / L"detector-updater";
    } else {
        std::error_code ec;
        path = std::filesystem::temp_directory_path(ec) / L"detector-updater";
    }
    CoTaskMemFree(folder);
    return path;
}

std::string WinUpdater::systemLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN ? "ru" : "en";
}

std::filesystem::path WinUpdater::profilePath(const std::filesystem::path& profile) {
    std::error_code ec;
    if (!profile.empty() && std::filesystem::exists(profile, ec)) {
        return profile;
    }
    // A bare name is one of the shipped profiles.
    const std::string name = profile.empty() ? std::string(sim::DemoWorld::kDemoProfile)
                                             : sys::utf8FromPath(profile.filename());
    auto shipped = DataLocation::find(nullptr, DataLocation::executableFolder(), "profiles/" + name,
                                      "profiles/" + name);
    return std::filesystem::exists(shipped, ec) ? shipped : std::filesystem::path();
}

bool WinUpdater::findDemo(std::filesystem::path& profile, std::filesystem::path& catalog,
                          std::string& error) const {
    std::error_code ec;
    profile = profilePath(m_settings.profile);
    if (profile.empty()) {
        error = "device profile '" + sys::utf8FromPath(m_settings.profile) + "' not found";
        return false;
    }
    if (!m_settings.startSimulatedServer) {
        catalog.clear();
        return true;
    }
    catalog = DataLocation::find("DETECTOR_DEMO_CATALOG", DataLocation::executableFolder(),
                                 "demo-catalog", "demo-catalog");
    if (!std::filesystem::exists(catalog / "catalog.json", ec)) {
        error = "the demo catalog is missing (build the project, or set DETECTOR_DEMO_CATALOG to "
                "a catalog folder)";
        return false;
    }
    return true;
}

bool WinUpdater::start(HINSTANCE instance, std::string& error) {
    if (!m_window.create(instance)) {
        error = "the window cannot be created (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    m_dispatcher = std::make_unique<WinUiDispatcher>(m_window.hwnd());
    m_window.setWakeHandler([this] { m_dispatcher->drain(); });
    m_presenter.setOwner(m_window.hwnd());
    if (m_settings.virtualDetector) {
        std::filesystem::path profile;
        std::filesystem::path catalog;
        if (!findDemo(profile, catalog, error)) {
            return false;
        }
        // The virtual detector's commands travel as a real one's do on this system.
        m_demo = std::make_unique<sim::DemoWorld>(usb::systemBusCarriesWholeCommands()
                                                      ? sim::VirtualCarrier::PassThrough
                                                      : sim::VirtualCarrier::BulkOnly);
        if (!m_demo->start(profile, catalog, error)) {
            return false;
        }
    }
    WindowSession::Settings settings;
    settings.serverOverride = m_settings.serverOverride;
    settings.probeOverride = m_settings.probeOverride;
    settings.traceFile = m_settings.traceFile;
    settings.logFolder = m_settings.dataFolder / "logs";
    settings.pacer = m_recordingPacer.get();
    if (m_demo) {
        settings.makeBus = [demo = m_demo.get()] { return demo->makeBus(); };
        if (m_settings.plugDelayMs >= 0) {
            settings.onConnect = [this] {
                m_window.after(static_cast<unsigned>(m_settings.plugDelayMs),
                               [demo = m_demo.get()] { demo->plugIn(); });
            };
        }
    }
    WindowSession::Window window{
        .setTimeLeft = [this](const std::string& text) { m_window.setTimeLeft(text); },
        .offerRunEnd = [this](bool offered,
                              bool showLog) { m_window.offerRunEnd(offered, showLog); },
        .focusConnect = [this] { m_window.focusConnect(); },
        .confirmStop = [this] { return confirmStop(); },
        .openFolder =
            [this](const std::filesystem::path& folder) { m_settings.openFolder(folder); },
        .closeDispatcher = [this] { m_dispatcher->close(); },
        .serveEvents = [this] { serveEvents(std::chrono::milliseconds(0)); },
        .sequenceEnded =
            [this](bool downloadSequence, ViewController::Outcome outcome) {
                if (m_sequenceListener) {
                    m_sequenceListener(downloadSequence, outcome);
                }
            },
    };
    m_session =
        std::make_unique<WindowSession>(m_model, *m_dispatcher, m_texts, m_presenter, *m_lastChoice,
                                        std::move(settings), std::move(window));
    m_window.setCloseGuard([this] { return m_session->mayClose(); });
    m_window.setChangeLog([this](const ElementChange& change) { m_session->watchChange(change); });
    m_window.setActions([this] { m_session->connectPressed(); },
                        [this] { m_session->downloadPressed(); });
    m_window.setRunActions([this] { m_session->startOver(); }, [this] { m_session->showLog(); });
    m_session->start();
    return true;
}

bool WinUpdater::confirmStop() {
    const int answer = MessageBoxW(m_window.hwnd(), wide(m_texts.L("gui_quit_question")).c_str(),
                                   wide(m_texts.L("gui_quit_title")).c_str(),
                                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    return answer == IDYES;
}

void WinUpdater::setSequenceListener(std::function<void(bool, ViewController::Outcome)> listener) {
    m_sequenceListener = std::move(listener);
}

int WinUpdater::runMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (m_presenter.preTranslate(msg) || m_window.preTranslate(msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void WinUpdater::serveEvents(std::chrono::milliseconds wait) {
    if (wait.count() > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(wait.count()), QS_ALLINPUT);
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Kept for the loop that owns the quit.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (m_presenter.preTranslate(msg) || m_window.preTranslate(msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
