#include "cli/CliApplication.hpp"

#include "app/MainWindowModel.hpp"
#include "app/SleepingPacer.hpp"
#include "app/TableLocalizer.hpp"
#include "app/TraceLog.hpp"
#include "app/TracingBus.hpp"
#include "app/ViewController.hpp"
#include "cli/CliTexts.hpp"
#include "cli/FirmwareReadBack.hpp"
#include "cli/InstantPacer.hpp"
#include "cli/JsonText.hpp"
#include "cli/OptionsSelectionPresenter.hpp"
#include "cli/QueueDispatcher.hpp"
#include "cli/TerminalRenderer.hpp"
#include "cli/TextWidth.hpp"
#include "cli/UpdatePlan.hpp"
#include "database/CountryListAnswer.hpp"
#include "database/Utf8.hpp"
#include "device/ConnectedTargetInit.hpp"
#include "install/Console.hpp"
#include "install/DataLocation.hpp"
#include "install/SystemPaths.hpp"
#include "server/FieldAnswer.hpp"
#include "server/ServerAccess.hpp"
#include "server/ServerSettings.hpp"
#include "sim/DeviceProfile.hpp"
#include "sim/UpdateCatalog.hpp"
#include "sim/UpdateServerSim.hpp"
#include "sim/VirtualDetector.hpp"
#include "sim/VirtualUsbBus.hpp"
#include "usb/PortFilterBus.hpp"
#include "usb/SystemBus.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kVersionsReadProgress = 57.0;
constexpr double kDeviceFoundProgress = 16.0;
// Bytes read of each version block by info --offline.
constexpr std::uint32_t kOfflineVersionPage = 256;
// The label column of the device fields, widened for longer labels.
constexpr std::size_t kDeviceLabelColumns = 16;
// How long the workers get to return after a stop before the process ends without them.
constexpr auto kStopGrace = std::chrono::milliseconds(700);

// An environment variable, else a file or folder next to the binary (the build tree), else the
// installed one under share/detector-updater.
fs::path demoPath(const char* variable, const char* buildName, const char* installedName) {
    return DataLocation::find(variable, DataLocation::executableFolder(), buildName, installedName);
}

// A bare profile name that is not in the working folder names one of the shipped profiles.
std::string profileNamed(const std::string& given) {
    std::error_code error;
    if (given.find('/') != std::string::npos || fs::exists(sys::pathFromUtf8(given), error)) {
        return given;
    }
    const auto shipped = DataLocation::find(nullptr, DataLocation::executableFolder(),
                                            "profiles/" + given, "profiles/" + given);
    return fs::exists(shipped, error) ? sys::utf8FromPath(shipped) : given;
}

std::string yesNo(const Localizer& texts, bool value) {
    return texts.L(value ? "cli_yes" : "cli_no");
}

int layoutRow(const ConnectedTargetInfo& record) {
    for (std::size_t i = 0; i < arrayVerifyaddressNum; ++i) {
        if (arrayVerifyaddress[i].gpsVersionBlock == record.Info_VerifyBlock_GPS_Address()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const char* commandName(CliCommand command) {
    switch (command) {
    case CliCommand::Info:
        return "info";
    case CliCommand::Check:
        return "check";
    case CliCommand::Countries:
        return "countries";
    case CliCommand::Update:
        return "update";
    case CliCommand::Verify:
        return "verify";
    case CliCommand::List:
        return "list";
    case CliCommand::Station:
        return "station";
    }
    return "";
}

// Why files cannot be created in `folder` (made if missing), or nullopt when they can.
std::optional<std::string> unwritableFolder(const fs::path& folder, const Localizer& texts) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        return error.message();
    }
    if (!fs::is_directory(folder, error)) {
        return texts.L("cli_not_a_folder");
    }
    return sys::cannotWriteIn(folder);
}

std::string textAt(const SharedTextList& list, std::size_t i) {
    return list && i < list->size() ? (*list)[i] : std::string();
}

// The process client, remembering whether the last request found nobody answering, so that a
// failure can be followed by where it went and what to do.
class AnswerWatch final : public server::HttpClient {
public:
    struct Unanswered {
        std::string url;
        std::string why;
    };

    server::HttpResult get(const server::HttpRequest& request) override {
        auto result = server::ServerAccess::processClient()->get(request);
        const bool unanswered = result.error == server::HttpError::Connect ||
                                result.error == server::HttpError::Resolve ||
                                result.error == server::HttpError::Timeout;
        const std::lock_guard lock(m_mutex);
        m_last = unanswered ? std::optional(Unanswered{request.url, result.message}) : std::nullopt;
        return result;
    }
    void stop() override { server::ServerAccess::processClient()->stop(); }
    void resume() override { server::ServerAccess::processClient()->resume(); }

    [[nodiscard]] std::optional<Unanswered> last() const {
        const std::lock_guard lock(m_mutex);
        return m_last;
    }

private:
    mutable std::mutex m_mutex;
    std::optional<Unanswered> m_last;
};

} // namespace

struct CliApplication::Run {
    CliOptions options;
    std::FILE* out;
    std::FILE* jsonOut;

    TableLocalizer texts;
    QueueDispatcher dispatcher;
    std::stop_source stop;
    std::unique_ptr<Pacer> pacer;
    MainWindowModel window;
    std::unique_ptr<TerminalRenderer> renderer;
    std::unique_ptr<OptionsSelectionPresenter> presenter;
    std::shared_ptr<TraceLog> trace;
    std::unique_ptr<sim::UpdateServerSim> demoServer;
    std::shared_ptr<sim::VirtualDetector> detector;
    std::shared_ptr<AnswerWatch> answers = std::make_shared<AnswerWatch>();
    // Every memory write that went through, the blocks and the header too.
    std::shared_ptr<std::atomic<std::uint32_t>> memoryWrites =
        std::make_shared<std::atomic<std::uint32_t>>(0);

    std::mutex controllerMutex;
    std::unique_ptr<ViewController> controller;

    std::atomic<bool> interrupted{false};
    bool deviceFound = false;
    bool versionsRead = false;
    bool connectEnded = false;
    bool downloadEnded = false;
    nlohmann::json result = nlohmann::json::object();
    std::string message;

    Run(CliOptions opts, std::FILE* o, std::FILE* j)
        : options(std::move(opts))
        , out(o)
        , jsonOut(j)
        , texts(CliTexts::table(options.language, options.command)) {}

    void say(const std::string& text) { renderer->print(text); }
    std::string tr(const char* key, std::initializer_list<std::string> values) const {
        return CliTexts::fill(texts.L(key), values);
    }
    void fail(const std::string& text) {
        message = text;
        renderer->flush();
        std::fprintf(out, "%s\n", codec::printable(text).c_str());
        std::fflush(out);
    }

    server::ServerAccess serverAccess() const {
        return {answers, server::ServerSettings::current()};
    }
    void hintUnanswered();
    void sayHalfWritten();
    int prepare();
    std::unique_ptr<MassStorageController> makeLink();
    void onChange(const ElementChange& change);
    int connect();
    int infoOffline();
    int afterConnect();
    int verify(ConnectedTargetInfo& record);
    int countries();
    int update(ConnectedTargetInfo& record);
    bool confirm(const SelectionDBViewController& dialog);
    void printDevice(const ConnectedTargetInfo& record);
    nlohmann::json deviceJson(const ConnectedTargetInfo& record) const;
    void stopWorkers();
    void dumpMemory();
    int finish(int status);
};

// After a failure: where nobody answered, and how to reach a server.
void CliApplication::Run::hintUnanswered() {
    const auto unanswered = answers->last();
    if (!unanswered) {
        return;
    }
    const auto settings = server::ServerSettings::current();
    // A probe sent to the update server itself found the server missing, not the Internet.
    const bool probe =
        unanswered->url == settings.probeUrl && !unanswered->url.starts_with(settings.baseAddress);
    say(tr(
        probe ? "cli_hint_probe" : "cli_hint_server",
        {probe ? unanswered->url : settings.baseAddress, unanswered->why, settings.baseAddress}));
}

// The detector holds part of the new images: it must be updated again before it is used.
void CliApplication::Run::sayHalfWritten() {
    if (options.command == CliCommand::Update && memoryWrites->load() > 0) {
        say(texts.L("cli_half_written"));
    }
}

int CliApplication::Run::prepare() {
    const bool terminal = console::isTerminal(out);
    const char* noColour = std::getenv("NO_COLOR");
    renderer = std::make_unique<TerminalRenderer>(
        out, terminal, terminal && (noColour == nullptr || *noColour == '\0'));

    // A dump that cannot be written is found out now, not after the device was written.
    if (!options.dumpMemoryDir.empty()) {
        if (const auto why = unwritableFolder(sys::pathFromUtf8(options.dumpMemoryDir), texts)) {
            fail(tr("cli_dump_unwritable", {options.dumpMemoryDir, *why}));
            return kUsage;
        }
    }

    if (options.noPauses) {
        pacer = std::make_unique<InstantPacer>(stop.get_token());
    } else {
        pacer = std::make_unique<SleepingPacer>(stop.get_token());
    }

    if (!options.traceFile.empty()) {
        trace = TraceLog::open(options.traceFile);
        if (!trace) {
            fail(tr("cli_trace_unwritable", {options.traceFile}));
            return kUsage;
        }
        server::ServerAccess::processClient()->setLogSink(
            [log = trace](std::string_view line) { log->line("http", line); });
    }

    std::string server = options.server;
    std::string probe = options.probeUrl;
    if (options.demo) {
        const auto folder = demoPath("DETECTOR_DEMO_CATALOG", "demo-catalog", "demo-catalog");
        std::string error;
        auto catalog = sim::UpdateCatalog::load(folder, error);
        if (!catalog) {
            fail(tr("cli_demo_catalog", {sys::utf8FromPath(folder), error}));
            return kFailed;
        }
        demoServer = std::make_unique<sim::UpdateServerSim>(std::move(*catalog));
        if (!demoServer->start("127.0.0.1", 0)) {
            fail(texts.L("cli_demo_server"));
            return kFailed;
        }
        if (server.empty()) {
            server = demoServer->baseAddress();
        }
        // Any answer means the network is there; the demo needs no Internet.
        if (probe.empty()) {
            probe = demoServer->baseAddress() + "/";
        }
        if (options.device.empty()) {
            options.device = sys::utf8FromPath(demoPath(
                "DETECTOR_DEMO_PROFILE", "demo-profile.json", "profiles/signature-5810e.json"));
        }
    }
    if (!server.empty()) {
        server::ServerSettings::overrideBaseAddress(server);
    }
    if (!probe.empty()) {
        server::ServerSettings::overrideProbeUrl(probe);
    }
    result["server"] = server::ServerSettings::current().baseAddress;

    if (options.simulated()) {
        options.device = profileNamed(options.device);
        try {
            detector = std::make_shared<sim::VirtualDetector>(
                sim::DeviceProfile::load(sys::pathFromUtf8(options.device)));
        } catch (const std::exception& e) {
            fail(tr("cli_profile_unusable", {options.device, e.what()}));
            return kUsage;
        }
    }
    return kComplete;
}

std::unique_ptr<MassStorageController> CliApplication::Run::makeLink() {
    std::shared_ptr<usb::UsbBus> bus;
    if (detector) {
        // The virtual detector carries its commands as the real one would on this platform.
        auto virtualBus = std::make_shared<sim::VirtualUsbBus>(
            usb::systemBusCarriesWholeCommands() ? sim::VirtualCarrier::PassThrough
                                                 : sim::VirtualCarrier::BulkOnly);
        virtualBus->plug(detector);
        bus = virtualBus;
    } else {
        auto created = usb::openSystemBus(0x0483, 0x5720);
        if (auto* error = std::get_if<usb::UsbError>(&created)) {
            if (trace) {
                trace->line("usb", "USB cannot be used: " + error->message);
            }
            // Its own wait reports the failure the way the link does.
            return std::make_unique<MassStorageController>();
        }
        bus = std::get<std::shared_ptr<usb::UsbBus>>(std::move(created));
        if (!options.port.empty()) {
            bus = std::make_shared<usb::PortFilterBus>(
                bus, options.port,
                [log = trace](const usb::UsbDevice& device, const std::string& why) {
                    if (log) {
                        log->line("usb", "skipped " + device.describe() + " at " +
                                             device.portPath() + ": " + why);
                    }
                });
        }
    }
    bus = std::make_shared<TracingBus>(bus, trace, memoryWrites);
    return std::make_unique<MassStorageController>(bus);
}

void CliApplication::Run::onChange(const ElementChange& change) {
    renderer->render(change);
    if (trace) {
        trace->line("window", describe(change));
    }
    if (change.element == Element::progressbar_download && change.property == Property::Value &&
        !connectEnded) {
        if (change.state.value >= kDeviceFoundProgress) {
            deviceFound = true;
        }
        // info needs nothing after the versions: stop the sequence there.
        if (change.state.value >= kVersionsReadProgress && change.state.value < 100.0 &&
            options.command == CliCommand::Info && !versionsRead) {
            versionsRead = true;
            stop.request_stop();
            const std::lock_guard lock(controllerMutex);
            if (controller) {
                controller->requestStop();
            }
        }
    }
}

bool CliApplication::Run::confirm(const SelectionDBViewController& dialog) {
    const auto record = controller->connectedTargetInfo();
    // The plan shows the database that will be written: rebuilt for this choice, as the answer
    // will rebuild it.
    std::optional<std::uint32_t> records;
    if (WebServer_GetDataBase* database = controller->webServer_GetDataBase()) {
        records = UpdatePlan::rebuiltRecords(*record, *database, dialog.arOptions_Check(),
                                             options.excludeStrelka, options.excludeFake);
    }
    const auto plan = UpdatePlan::fromRecord(*record, records);
    renderer->flush();
    if (records) {
        std::fprintf(out, "%s (%s: %u):\n%s", texts.L("cli_plan").c_str(),
                     texts.L("cli_records").c_str(), *records, plan.text(texts).c_str());
    } else {
        std::fprintf(out, "%s:\n%s", texts.L("cli_plan").c_str(), plan.text(texts).c_str());
    }
    std::fprintf(out, "%s", texts.L("cli_plan_confirm").c_str());
    std::fflush(out);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::fprintf(out, "\n");
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "да" || answer == "д";
}

nlohmann::json CliApplication::Run::deviceJson(const ConnectedTargetInfo& record) const {
    return {{"name", record.ConnectedDevice_Name()},
            {"keyword", record.ConnectedDevice_KewordForWebAcess()},
            {"edition", record.ConnectedDevice_EditionType()},
            {"star", record.isIncludeStar() != 0},
            {"layout", layoutRow(record)},
            {"gpsVersion", record.ConnectedDevice_Version_GPS_Current_detail()},
            {"rdVersion", record.ConnectedDevice_Version_RD_Current_detail()}};
}

void CliApplication::Run::printDevice(const ConnectedTargetInfo& record) {
    renderer->flush();
    // Values line up in terminal columns, whatever the language's labels take in bytes.
    std::size_t width = kDeviceLabelColumns;
    for (const char* key : {"cli_name", "cli_keyword", "cli_edition", "cli_star", "cli_layout",
                            "cli_gps_version", "cli_rd_version"}) {
        width = std::max(width, TextWidth::of(texts.L(key) + ":"));
    }
    const auto row = [&](const char* key, const std::string& value) {
        std::fprintf(out, "  %s %s\n", TextWidth::padRight(texts.L(key) + ":", width).c_str(),
                     codec::printable(value).c_str());
    };
    std::fprintf(out, "%s\n", texts.L("cli_device").c_str());
    row("cli_name", record.ConnectedDevice_Name());
    row("cli_keyword", record.ConnectedDevice_KewordForWebAcess());
    row("cli_edition",
        record.ConnectedDevice_EditionType().empty() ? "-" : record.ConnectedDevice_EditionType());
    row("cli_star", yesNo(texts, record.isIncludeStar() != 0));
    row("cli_layout", std::to_string(layoutRow(record)));
    row("cli_gps_version", record.ConnectedDevice_Version_GPS_Current_detail());
    row("cli_rd_version", record.ConnectedDevice_Version_RD_Current_detail());
    std::fflush(out);
}

int CliApplication::Run::connect() {
    const auto waitDeadline =
        options.waitSeconds
            ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(*options.waitSeconds))
            : Clock::time_point::max();
    controller->viewDidLoad();
    controller->btn_Start();
    const auto ended = [&] {
        return connectEnded || interrupted.load() ||
               (versionsRead && controller->connectOutcome() != ViewController::Outcome::Running);
    };
    while (!ended()) {
        if (deviceFound || waitDeadline == Clock::time_point::max()) {
            dispatcher.runUntil(ended);
            continue;
        }
        if (!dispatcher.runUntil([&] { return ended() || deviceFound; }, waitDeadline)) {
            stop.request_stop();
            controller->requestStop();
            fail(texts.L("cli_no_device"));
            result["status"] = "no-device";
            return kNoDevice;
        }
    }
    if (interrupted.load()) {
        return kInterrupted;
    }
    return afterConnect();
}

int CliApplication::Run::afterConnect() {
    const auto record = controller->connectedTargetInfo();
    if (options.command == CliCommand::Info && versionsRead && record) {
        printDevice(*record);
        result["device"] = deviceJson(*record);
        result["status"] = "complete";
        return kComplete;
    }
    if (controller->connectOutcome() != ViewController::Outcome::Succeeded || !record) {
        renderer->flush();
        message = renderer->lowerText();
        hintUnanswered();
        if (record) {
            result["device"] = deviceJson(*record);
            if (controller->deviceInfoRead()) {
                result["updateType"] = record->UpdateType();
            }
        }
        result["status"] = "failed";
        return kFailed;
    }
    result["device"] = deviceJson(*record);
    result["updateType"] = record->UpdateType();
    switch (options.command) {
    case CliCommand::Info:
        break;
    case CliCommand::Countries:
        break;
    case CliCommand::Check: {
        printDevice(*record);
        std::optional<std::uint32_t> records;
        if (options.allCountries || !options.countries.empty()) {
            // The dialog's own rules judge the choice; nothing is answered.
            SelectionDBViewController dialog;
            dialog.setDataValue(record->Country_Name(), record->Country_SpeedCam_Num(),
                                record->Country_Strelka_Num(), record->Country_Fake_Num(),
                                record->Country_Total_Num());
            dialog.viewDidLoad();
            if (auto why = OptionsSelectionPresenter::choose(
                    dialog, options, texts,
                    record->ConnectedDevice_Enable_DATABASE_Firmware() != 0)) {
                fail(*why);
                result["status"] = "failed";
                return kFailed;
            }
            // The count of the image the rebuild makes, not the dialog's announced total.
            if (WebServer_GetDataBase* database = controller->webServer_GetDataBase()) {
                records = UpdatePlan::rebuiltRecords(*record, *database, dialog.arOptions_Check(),
                                                     options.excludeStrelka, options.excludeFake);
            }
        }
        const auto plan = UpdatePlan::fromRecord(*record, records);
        std::fprintf(out, "%s:\n%s", texts.L("cli_plan").c_str(), plan.text(texts).c_str());
        std::fflush(out);
        result["plan"] = plan.json();
        break;
    }
    case CliCommand::Update:
        return update(*record);
    case CliCommand::Verify:
        return verify(*record);
    case CliCommand::List:
    case CliCommand::Station:
        break; // run by DetectorList and Station, never through the flow
    }
    result["status"] = "complete";
    return kComplete;
}

// The country list needs only the server: no detector, no connect sequence.
int CliApplication::Run::countries() {
    const auto list = CountryListAnswer::decode(
        serverAccess().request(WebServer_GetDataBase::kCountriesPath, {}));
    if (interrupted.load()) {
        return kInterrupted;
    }
    if (list.entries().empty()) {
        fail(server::failureText(WebServer_GetDataBase::kErrorCode, "NoCountries",
                                 list.noCountriesReason()));
        hintUnanswered();
        result["status"] = "failed";
        return kFailed;
    }
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 0; i < list.entries().size(); ++i) {
        auto fields = CountryListAnswer::fields(list.entries()[i]);
        if (fields.size() < 4) {
            fail(server::failureText(WebServer_GetDataBase::kErrorCode, "MissingCountryField",
                                     "country entry " + std::to_string(i + 1) + " " +
                                         server::quoted(list.entries()[i]) + " has " +
                                         std::to_string(fields.size()) + " of 4 fields"));
            result["status"] = "failed";
            return kFailed;
        }
        fields.resize(4);
        rows.push_back(std::move(fields));
    }
    const std::vector<std::string> header = {texts.L("cli_country"), texts.L("cli_cameras"),
                                             texts.L("cli_strelka"), texts.L("cli_fake")};
    // Columns as wide as their widest text, counted in terminal columns, not bytes.
    std::vector<std::size_t> widths(header.size());
    for (std::size_t c = 0; c < header.size(); ++c) {
        widths[c] = TextWidth::of(header[c]);
        for (const auto& row : rows) {
            widths[c] = std::max(widths[c], TextWidth::of(row[c]));
        }
    }
    const auto print = [&](const std::vector<std::string>& row) {
        std::string line = TextWidth::padRight(row[0], widths[0]);
        for (std::size_t c = 1; c < row.size(); ++c) {
            line += "  " + TextWidth::padLeft(row[c], widths[c]);
        }
        std::fprintf(out, "%s\n", line.c_str());
    };
    renderer->flush();
    print(header);
    auto json = nlohmann::json::array();
    for (const auto& row : rows) {
        print(row);
        json.push_back(
            {{"name", row[0]}, {"cameras", row[1]}, {"strelka", row[2]}, {"fake", row[3]}});
    }
    std::fflush(out);
    result["countries"] = json;
    result["status"] = "complete";
    return kComplete;
}

int CliApplication::Run::update(ConnectedTargetInfo& record) {
    presenter->setWritesDatabase(record.ConnectedDevice_Enable_DATABASE_Firmware() != 0);
    controller->btn_DownloadStart();
    if (!presenter->presented()) {
        fail(texts.L("cli_not_offered"));
        result["status"] = "failed";
        return kFailed;
    }
    if (!presenter->refusal().empty()) {
        fail(presenter->refusal());
        result["status"] = "failed";
        return kFailed;
    }
    if (presenter->declined()) {
        fail(texts.L("cli_declined"));
        result["status"] = "declined";
        return kFailed;
    }
    auto selection = nlohmann::json::object();
    selection["excludeStrelka"] = record.isExcludeStrelka() != 0;
    selection["excludeFake"] = record.isExcludeFake() != 0;
    auto chosen = nlohmann::json::array();
    const auto checked = record.Country_Checked();
    const auto names = record.Country_Name();
    for (std::size_t i = 0; checked && i < checked->size(); ++i) {
        const auto* mark = std::get_if<std::string>(&(*checked)[i]);
        if (mark != nullptr && *mark == "YES") {
            chosen.push_back(textAt(names, i));
        }
    }
    selection["countries"] = chosen;
    if (const auto image = record.Download_Firmware_DATABASE(); image && image->size() >= 4) {
        selection["records"] = (std::uint32_t{(*image)[0]} << 24U) |
                               (std::uint32_t{(*image)[1]} << 16U) |
                               (std::uint32_t{(*image)[2]} << 8U) | (*image)[3];
    }
    result["selection"] = selection;

    dispatcher.runUntil([&] { return downloadEnded || interrupted.load(); });
    renderer->flush();
    if (interrupted.load()) {
        return kInterrupted;
    }
    result["newVersions"] = {{"gps", record.ConnectedDevice_Version_GPS_Current_detail()},
                             {"rd", record.ConnectedDevice_Version_RD_Current_detail()}};
    if (controller->downloadOutcome() == ViewController::Outcome::Succeeded) {
        result["status"] = "complete";
        return kComplete;
    }
    message = renderer->lowerText();
    sayHalfWritten();
    result["status"] = "failed";
    return kFailed;
}

int CliApplication::Run::verify(ConnectedTargetInfo& record) {
    printDevice(record);
    MassStorageController* link = controller->massStorageController();
    if (link == nullptr) {
        fail(texts.L("cli_link_gone"));
        result["status"] = "failed";
        return kFailed;
    }
    // The connect worker has ended: this thread may use the link.
    const auto compared = FirmwareReadBack::compare(
        record, *link, [this] { return interrupted.load() || stop.stop_requested(); });
    if (interrupted.load()) {
        return kInterrupted;
    }
    std::fprintf(out, "%s:\n%s", texts.L("cli_verify").c_str(), compared.text(texts).c_str());
    std::fflush(out);
    result["verify"] = compared.json();
    if (!compared.allSame()) {
        fail(texts.L("cli_verify_differs"));
        result["status"] = "differs";
        return kFailed;
    }
    result["status"] = "complete";
    return kComplete;
}

int CliApplication::Run::infoOffline() {
    std::stop_source waiting;
    const std::stop_callback onInterrupt(stop.get_token(), [&waiting] { waiting.request_stop(); });
    // --wait bounds the wait for the device; the worker-less wait runs on this thread.
    std::jthread deadline;
    if (options.waitSeconds) {
        deadline = std::jthread([&waiting,
                                 seconds = *options.waitSeconds](const std::stop_token& done) {
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            wake.wait_for(lock, done, std::chrono::duration<double>(seconds), [] { return false; });
            if (!done.stop_requested()) {
                waiting.request_stop();
            }
        });
    }
    say(texts.L("str_searching_device"));
    auto link = makeLink();
    // The identification below runs on this thread too: Ctrl-C stops its recoveries.
    const std::stop_callback stopLink(stop.get_token(), [&link] { link->requestStop(); });
    link->setSkipListener([this](const std::optional<usb::SkipReason>& reason) {
        if (reason &&
            (reason->kind == usb::SkipKind::NotPermitted || reason->kind == usb::SkipKind::Busy)) {
            std::fprintf(stderr, "%s\n",
                         texts
                             .L(reason->kind == usb::SkipKind::Busy ? "str_device_busy"
                                                                    : "str_device_not_permitted")
                             .c_str());
        }
    });
    link->MassStorageControllerInit(waiting.get_token());
    if (deadline.joinable()) {
        deadline.request_stop();
        deadline.join();
    }
    if (interrupted.load()) {
        return kInterrupted;
    }
    if (const auto failure = link->startFailure()) {
        fail(*failure);
        result["status"] = "failed";
        return kFailed;
    }
    if (!link->Check_UsbConnection()) {
        fail(texts.L("cli_no_device"));
        result["status"] = "no-device";
        return kNoDevice;
    }
    // The settling pause the connect sequence makes before talking to a new device.
    if (!pacer->pause(5.0)) {
        return kInterrupted;
    }
    ConnectedTargetInfo record;
    ConnectedTargetInit identification;
    if (!identification.ConnectedDeviceInit(record, *link)) {
        fail(record.ErrorMessage());
        result["status"] = "failed";
        return kFailed;
    }
    // The server would give the page sizes; a version block's text is far shorter than this.
    record.setInfo_GPS_App_PageSize(kOfflineVersionPage);
    record.setInfo_RD_App_PageSize(kOfflineVersionPage);
    identification.getConnectedDeviceCurrentVersion(record, *link);
    printDevice(record);
    result["device"] = deviceJson(record);
    result["status"] = "complete";
    usb::releaseOpenInterface();
    return kComplete;
}

void CliApplication::Run::stopWorkers() {
    if (!controller) {
        return;
    }
    // Joined on another thread while this one keeps running window changes, so a worker that
    // is handing one over cannot wait on us forever.
    std::atomic<bool> joined{false};
    std::thread joiner([&] {
        controller->waitForWorkers();
        joined = true;
        dispatcher.post([] {});
    });
    const auto grace = interrupted.load() || stop.stop_requested() ? Clock::now() + kStopGrace
                                                                   : Clock::time_point::max();
    if (dispatcher.runUntil([&] { return joined.load(); }, grace)) {
        joiner.join();
    } else {
        // A worker stuck in a blocking call: the process ends without it.
        joiner.detach();
        std::fflush(out);
        std::fflush(jsonOut);
        std::_Exit(kInterrupted);
    }
}

void CliApplication::Run::dumpMemory() {
    if (options.dumpMemoryDir.empty() || !detector) {
        return;
    }
    std::error_code error;
    const auto folder = sys::pathFromUtf8(options.dumpMemoryDir);
    fs::create_directories(folder, error);
    auto files = nlohmann::json::array();
    for (std::uint8_t selector = 0; selector < 2; ++selector) {
        const auto path = folder / ("selector" + std::to_string(selector) + ".hex");
        std::ofstream file(path, std::ios::binary);
        file << detector->intelHex(selector);
        if (!file) {
            fail(tr("cli_dump_unwritten", {sys::utf8FromPath(path)}));
            continue;
        }
        files.push_back(sys::utf8FromPath(path));
    }
    result["memoryDump"] = files;
}

int CliApplication::Run::finish(int status) {
    if (status == kInterrupted) {
        stop.request_stop();
        {
            const std::lock_guard lock(controllerMutex);
            if (controller) {
                controller->requestStop();
            }
        }
        result["status"] = "interrupted";
        fail(texts.L("cli_interrupted"));
        sayHalfWritten();
    }
    stopWorkers();
    renderer->flush();
    dumpMemory();
    if (detector && trace) {
        trace->line("sim",
                    "device transactions: " + std::to_string(detector->completedTransactions()));
    }
    if (demoServer) {
        demoServer->stop();
    }
    if (options.json) {
        result["command"] = commandName(options.command);
        result["exitCode"] = status;
        if (!result.contains("status")) {
            result["status"] = status == kComplete ? "complete" : "failed";
        }
        result["message"] = message;
        if (options.command == CliCommand::Update) {
            result["pagesWritten"] = controller ? controller->imagePagesWritten() : 0U;
        }
        if (!options.port.empty()) {
            result["port"] = options.port;
        }
        result["upperText"] = renderer->upperText();
        result["lowerText"] = renderer->lowerText();
        result["panelState"] = renderer->panelState();
        if (!options.traceFile.empty()) {
            result["trace"] = options.traceFile;
        }
        std::fprintf(jsonOut, "%s\n", jsonText(result, 2).c_str());
        std::fflush(jsonOut);
    }
    return status;
}

CliApplication::CliApplication(CliOptions options, std::FILE* out, std::FILE* jsonOut)
    : m_run(std::make_unique<Run>(std::move(options), out, jsonOut)) {}

CliApplication::~CliApplication() = default;

void CliApplication::interrupt() {
    Run& run = *m_run;
    run.interrupted = true;
    run.stop.request_stop();
    {
        const std::lock_guard lock(run.controllerMutex);
        if (run.controller) {
            run.controller->requestStop();
        }
    }
    server::ServerAccess::processClient()->stop();
    run.dispatcher.post([] {});
}

int CliApplication::run() {
    Run& run = *m_run;
    if (const int status = run.prepare(); status != kComplete) {
        return run.finish(status);
    }
    // The link's set-up diagnostics ("direction in, ") mean nothing to a user: the trace only.
    usb::setDiagnosticSink([log = run.trace](std::string_view text) {
        if (log) {
            log->line("usb", text);
        }
    });
    if (run.options.command == CliCommand::Countries) {
        return run.finish(run.countries());
    }
    run.window.setListener([&run](const ElementChange& change) { run.onChange(change); });
    run.presenter = std::make_unique<OptionsSelectionPresenter>(
        run.options, run.texts,
        run.options.yes
            ? OptionsSelectionPresenter::Confirm{}
            : [&run](const SelectionDBViewController& dialog) { return run.confirm(dialog); });
    {
        const std::lock_guard lock(run.controllerMutex);
        run.controller = std::make_unique<ViewController>(ViewController::Dependencies{
            run.window, run.dispatcher, *run.pacer, run.texts, *run.presenter,
            [&run] { return run.makeLink(); }, run.serverAccess(),
            [&run](bool downloadSequence, ViewController::Outcome /*outcome*/) {
                (downloadSequence ? run.downloadEnded : run.connectEnded) = true;
            },
            run.stop,
            [&run](const std::string& line) {
                std::fprintf(stderr, "%s\n", line.c_str());
                if (run.trace) {
                    run.trace->line("flow", line);
                }
            }});
        if (run.interrupted.load()) {
            run.controller->requestStop();
        }
    }
    if (run.interrupted.load()) {
        return run.finish(kInterrupted);
    }
    if (run.options.command == CliCommand::Info && run.options.offline) {
        return run.finish(run.infoOffline());
    }
    const int status = run.connect();
    return run.finish(status);
}
