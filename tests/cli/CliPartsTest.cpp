// The command line's parts that need no process: arguments, texts, the choice by the dialog's
// rules, the plan.

#include "app/TraceLog.hpp"
#include "cli/CliOptions.hpp"
#include "cli/CliTexts.hpp"
#include "cli/DetectorList.hpp"
#include "cli/OptionsSelectionPresenter.hpp"
#include "cli/Station.hpp"
#include "cli/TerminalRenderer.hpp"
#include "cli/UpdatePlan.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

#include <gtest/gtest.h>

namespace {

std::variant<CliOptions, CliUsageError> parse(std::vector<std::string> args) {
    return CliArguments::parse(args);
}

TEST(CliArgumentsTest, UpdateWithCountriesAndExclusions) {
    const auto parsed = parse({"--device", "sim:p.json", "update", "--countries", "A,B C",
                               "--exclude-strelka", "--yes", "--no-pauses", "--json"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed));
    const auto& options = std::get<CliOptions>(parsed);
    EXPECT_EQ(options.command, CliCommand::Update);
    EXPECT_EQ(options.device, "p.json");
    EXPECT_EQ(options.countries, (std::vector<std::string>{"A", "B C"}));
    EXPECT_TRUE(options.excludeStrelka);
    EXPECT_FALSE(options.excludeFake);
    EXPECT_TRUE(options.yes && options.noPauses && options.json);
}

TEST(CliArgumentsTest, RefusesWhatDoesNotFit) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--no-pauses", "info"},
             {"--dump-memory", "d", "info"},
             {"update", "--yes"},
             {"info", "--countries", "A"},
             {"countries", "--yes"},
             {"--wait", "-1", "info"},
             {"--wait", "soon", "info"},
             {"--lang", "de", "info"},
             {"--device", "serial", "info"},
             {"info", "check"},
             {"--offline", "check"},
             {"verify", "--offline"},
             {"verify", "--yes"},
             {"--frobnicate", "info"},
             {"--device", "usb:", "info"},
             {"--device", "usb:4.2", "info"},
             {"--device", "usb:1-4.", "info"},
             {"--device", "usb:1-4..2", "info"},
             {"--device", "usb:1-4x", "info"},
             {"--device", "usb:1-1.1.1.1.1.1.1.1", "info"},
             {"station"},
             {"station", "--countries", "all", "--device", "usb:1-4"},
             {"station", "--countries", "all", "--json"},
             {"station", "--countries", "all", "--jobs", "0"},
             {"station", "--countries", "all", "--jobs", "65"},
             {"station", "--countries", "all", "--jobs", "2x"},
             {"--device", "sim:p.json", "station", "--countries", "all"},
             {"--device", "sim:p.json", "list"},
             {"list", "--countries", "all"},
             {"update", "--countries", "all", "--log", "f"},
             {"info", "--jobs", "2"},
             {},
         }) {
        EXPECT_TRUE(std::holds_alternative<CliUsageError>(parse(args)))
            << (args.empty() ? std::string("(none)") : args.front());
    }
}

TEST(CliArgumentsTest, OfflineInfoAndVerifyAreCommandsOfTheirOwn) {
    const auto offline = parse({"info", "--offline"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(offline));
    EXPECT_EQ(std::get<CliOptions>(offline).command, CliCommand::Info);
    EXPECT_TRUE(std::get<CliOptions>(offline).offline);
    const auto verify = parse({"--json", "verify"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(verify));
    EXPECT_EQ(std::get<CliOptions>(verify).command, CliCommand::Verify);
    EXPECT_FALSE(std::get<CliOptions>(verify).offline);
    const std::string usage = CliArguments::usage();
    EXPECT_NE(usage.find("info [--offline]"), std::string::npos);
    EXPECT_NE(usage.find("\n  verify "), std::string::npos);
}

TEST(CliArgumentsTest, PortAndStationOptions) {
    const auto one = parse({"--device", "usb:1-4.2", "update", "--countries", "all", "--yes"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(one));
    EXPECT_EQ(std::get<CliOptions>(one).port, "1-4.2");
    EXPECT_FALSE(std::get<CliOptions>(one).simulated());
    const auto station = parse({"station", "--countries", "A,B", "--exclude-fake", "--log",
                                "l.jsonl", "--jobs", "3", "--wait", "5"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(station));
    const auto& options = std::get<CliOptions>(station);
    EXPECT_EQ(options.command, CliCommand::Station);
    EXPECT_EQ(options.logFile, "l.jsonl");
    EXPECT_EQ(options.jobs, 3U);
    EXPECT_EQ(Station::childCommand(options, "/bin/cli", "2-1"),
              (std::vector<std::string>{"/bin/cli", "--device", "usb:2-1", "--json", "--yes",
                                        "--wait", "15", "--lang", "en", "update", "--countries",
                                        "A,B", "--exclude-fake"}));
}

TEST(StationOutcomeTest, ResultsFromTheChildsJsonAndExitStatus) {
    const std::string complete =
        R"({"status":"complete","message":"","pagesWritten":7,"device":{"name":"5810",)"
        R"("keyword":"sig","gpsVersion":"1","rdVersion":"2"},"newVersions":{"gps":"3","rd":"4"}})";
    auto outcome = Station::outcomeOf(complete, ChildExit{});
    EXPECT_EQ(outcome.result, "complete");
    EXPECT_EQ(outcome.model, "5810");
    EXPECT_EQ(outcome.keyword, "sig");
    EXPECT_EQ(outcome.before.dump(), R"({"gps":"1","rd":"2"})");
    EXPECT_EQ(outcome.after.dump(), R"({"gps":"3","rd":"4"})");
    EXPECT_EQ(outcome.pagesWritten, 7U);
    EXPECT_TRUE(outcome.error.empty());
    // A "complete" the exit status contradicts is not believed.
    outcome = Station::outcomeOf(complete, ChildExit{false, 1});
    EXPECT_EQ(outcome.result, "failed");
    EXPECT_EQ(outcome.error, "the updater ended with status 1");
    outcome = Station::outcomeOf("{\"sta", ChildExit{true, 9}); // killed by SIGKILL mid-output
    EXPECT_EQ(outcome.result, "failed");
    EXPECT_EQ(outcome.error, "the updater was ended by signal 9");
    // Stopped, and out of time before it could say so: its status still says interrupted.
    outcome = Station::outcomeOf("", ChildExit{false, 130});
    EXPECT_EQ(outcome.result, "interrupted");
    EXPECT_EQ(outcome.error, "the updater ended with status 130");
    outcome = Station::outcomeOf(R"({"status":"no-device","message":""})", ChildExit{false, 3});
    EXPECT_EQ(outcome.result, "no-device");
    EXPECT_EQ(outcome.error, "no-device");
}

TEST(StationProgressTest, ChildLinesMoveTheLiveLine) {
    struct Row {
        std::string line;
        bool changed;
        Station::Progress after;
    };
    const std::vector<Row> rows = {
        {"  Writing the radar firmware...", true, {"", "Writing the radar firmware...", ""}},
        {"42 %", false, {"", "Writing the radar firmware...", "42 %"}},
        {"5810 SIGNATURE   GPS 1",
         false,
         {"5810 SIGNATURE", "Writing the radar firmware...", "42 %"}},
        {"   ", false, {"5810 SIGNATURE", "Writing the radar firmware...", "42 %"}},
    };
    Station::Progress progress;
    for (const auto& row : rows) {
        EXPECT_EQ(Station::absorb(progress, row.line), row.changed) << "'" << row.line << "'";
        EXPECT_EQ(progress.model, row.after.model) << "'" << row.line << "'";
        EXPECT_EQ(progress.stage, row.after.stage) << "'" << row.line << "'";
        EXPECT_EQ(progress.percent, row.after.percent) << "'" << row.line << "'";
    }
}

TEST(DetectorListTest, TableAndJsonNameStateAndFix) {
    std::vector<usb::SurveyedDetector> found(5);
    found[0] = {"1-4.1",
                "bus 1 device 2",
                {0x0483, 0x5720, 0x0200},
                usb::SurveyState::Free,
                "CORVANTHIS UMSCPT DEVICE",
                ""};
    found[1] = {"1-4.2",
                "bus 1 device 3",
                {0x0483, 0x5720, 0x0200},
                usb::SurveyState::NotPermitted,
                "",
                "opening: LIBUSB_ERROR_ACCESS"};
    found[2] = {"2-1",
                "bus 2 device 9",
                {0x0483, 0x5720, 0x0200},
                usb::SurveyState::Busy,
                "",
                "claiming: LIBUSB_ERROR_BUSY"};
    found[3] = {"2-2",
                "bus 2 device 10",
                {0x0483, 0x5720, 0x0200},
                usb::SurveyState::KernelDriver,
                "Mass Storage",
                ""};
    found[4] = {"2-3", "bus 2 device 11", {0x0483, 0x5720, 0x0100}, usb::SurveyState::NotOpened, "",
                ""};
    EXPECT_EQ(DetectorList::table(found),
              "PORT         RELEASE PRODUCT                  STATE\n"
              "1-4.1        0200    CORVANTHIS UMSCPT DEVICE free\n"
              "1-4.2        0200    -                        not permitted\n"
              "  fix: install the udev rule: sudo cp packaging/udev/70-detector-updater.rules "
              "/etc/udev/rules.d/ && sudo udevadm control --reload && sudo udevadm trigger, then "
              "plug the detector in again\n"
              "2-1          0200    -                        busy (held by another program or "
              "updater)\n"
              "2-2          0200    Mass Storage             kernel driver (held by a kernel "
              "driver such as usb-storage; left to it)\n"
              "2-3          0100    -                        not opened, not updated: release "
              "0100 is not 0200\n");
    const auto json = DetectorList::json(found);
    ASSERT_EQ(json.size(), 5U);
    EXPECT_EQ(json[1]["state"], "not permitted");
    EXPECT_EQ(json[3]["state"], "kernel driver");
    EXPECT_EQ(json[4]["state"], "not opened");
    EXPECT_EQ(json[4]["supported"], false);
    EXPECT_TRUE(json[1].contains("fix"));
    EXPECT_FALSE(json[2].contains("fix"));
    EXPECT_EQ(json[2]["reason"], "claiming: LIBUSB_ERROR_BUSY");
}

TEST(DetectorListTest, ProductTextIsInquiryBytes8To31) {
    std::vector<std::uint8_t> answer(36, 0);
    const std::string text = "CORVANTHIS UMSCPT";
    std::copy(text.begin(), text.end(), answer.begin() + 8);
    answer[9] = 0x07;
    EXPECT_EQ(usb::DetectorSurvey::productText(answer), "C?RVANTHIS UMSCPT");
    EXPECT_EQ(usb::DetectorSurvey::productText(std::span(answer).first(12)), "C?RV");
    EXPECT_EQ(usb::DetectorSurvey::productText(std::span(answer).first(5)), "");
}

TEST(CliArgumentsTest, DemoIsSimulatedSoNoPausesAreAllowed) {
    const auto parsed = parse({"--demo", "--no-pauses", "info"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed));
    EXPECT_TRUE(std::get<CliOptions>(parsed).simulated());
}

TEST(CliArgumentsTest, VersionNeedsNoCommand) {
    const auto parsed = parse({"--version"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed));
    EXPECT_TRUE(std::get<CliOptions>(parsed).version);
    EXPECT_TRUE(std::holds_alternative<CliUsageError>(parse({"--versions"})));
}

std::set<char> slots(const std::string& text) {
    std::set<char> found;
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        if (text[i] == '{' && text[i + 2] == '}') {
            found.insert(text[i + 1]);
        }
    }
    return found;
}

TEST(CliTextsTest, EveryFlowKeyHasATextInBothLanguages) {
    for (const auto language : {CliLanguage::English, CliLanguage::Russian}) {
        const TableLocalizer texts(CliTexts::table(language));
        for (const char* key : CliTexts::flowKeys()) {
            if (std::string_view(key) == "str_empty") {
                EXPECT_EQ(texts.L(key), "");
            } else {
                EXPECT_FALSE(texts.L(key).empty()) << key;
            }
            // A terminal has no buttons to press.
            for (const char* button : {"press", "Press", "Download", "нажмите", "Загрузить"}) {
                EXPECT_EQ(texts.L(key).find(button), std::string::npos) << key;
            }
        }
    }
    EXPECT_NE(TableLocalizer(CliTexts::table(CliLanguage::English)).L("str_download_fail"),
              TableLocalizer(CliTexts::table(CliLanguage::Russian)).L("str_download_fail"));
    // Both languages fill the same slots, so no value is lost in either.
    const TableLocalizer en(CliTexts::table(CliLanguage::English));
    const TableLocalizer ru(CliTexts::table(CliLanguage::Russian));
    for (const auto& key : CliTexts::keys()) {
        EXPECT_EQ(slots(en.L(key)), slots(ru.L(key))) << key;
    }
    EXPECT_EQ(CliTexts::fill("{2} of {1}, {3}", {"a", "b"}), "b of a, {3}");
}

// Feeds the renderer of a terminal the changes the write loop makes at a stage's start.
std::string onATerminal(const std::vector<ElementChange>& changes) {
    std::FILE* file = std::tmpfile();
    TerminalRenderer renderer(file, true, false);
    for (const auto& change : changes) {
        renderer.render(change);
    }
    renderer.flush();
    std::string out(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    out.resize(std::fread(out.data(), 1, out.size(), file));
    std::fclose(file);
    return out;
}

ElementChange bar(double value) {
    ElementState state;
    state.value = value;
    return {Element::progressbar_download, Property::Value, state};
}

ElementChange upper(const std::string& text) {
    ElementState state;
    state.text = text;
    return {Element::txt_Infomation_upper, Property::Text, state};
}

TEST(TerminalRendererTest, NoEmptyBarIsLeftAboveAStage) {
    const auto out = onATerminal({bar(0), upper("Writing the radar firmware..."), bar(50), bar(100),
                                  upper("Writing the GPS firmware..."), bar(0)});
    EXPECT_EQ(out.find("] 0 %\n"), std::string::npos) << out;
    EXPECT_NE(out.find("] 100 %\nWriting the GPS firmware...\n"), std::string::npos) << out;
}

SelectionDBViewController dialogOf(std::vector<std::string> names, std::vector<std::string> cams,
                                   std::vector<std::string> strelka,
                                   std::vector<std::string> fake) {
    SelectionDBViewController dialog;
    const auto n = static_cast<std::uint32_t>(names.size());
    dialog.setDataValue(std::make_shared<const TextList>(std::move(names)),
                        std::make_shared<const TextList>(std::move(cams)),
                        std::make_shared<const TextList>(std::move(strelka)),
                        std::make_shared<const TextList>(std::move(fake)), n);
    dialog.viewDidLoad();
    return dialog;
}

const Localizer& english() {
    static const TableLocalizer texts(CliTexts::table(CliLanguage::English));
    return texts;
}

CliOptions choosing(std::vector<std::string> countries, bool strelka = false, bool fake = false) {
    CliOptions options;
    options.command = CliCommand::Update;
    options.countries = std::move(countries);
    options.excludeStrelka = strelka;
    options.excludeFake = fake;
    return options;
}

TEST(OptionsSelectionTest, OverTheLimitIsRefusedNotTrimmed) {
    auto dialog = dialogOf({"A", "B"}, {"100", "9250"}, {"30", "0"}, {"10", "0"});
    const auto why =
        OptionsSelectionPresenter::choose(dialog, choosing({"A", "B"}), english(), true);
    ASSERT_TRUE(why.has_value());
    EXPECT_NE(why->find("9350"), std::string::npos) << *why;
    EXPECT_NE(why->find("9300"), std::string::npos) << *why;
    EXPECT_EQ(dialog.arOptions_Check()[1], "NO");
}

TEST(OptionsSelectionTest, ExclusionsCountBeforeTheClicks) {
    // 9250 + 100 - 30 - 10 = 9310: still over.
    auto over = dialogOf({"A", "B"}, {"100", "9250"}, {"30", "0"}, {"10", "0"});
    EXPECT_TRUE(
        OptionsSelectionPresenter::choose(over, choosing({"A", "B"}, true, true), english(), true));
    auto within = dialogOf({"A", "B"}, {"100", "9200"}, {"30", "0"}, {"10", "0"});
    EXPECT_FALSE(OptionsSelectionPresenter::choose(within, choosing({"A", "B"}, true, true),
                                                   english(), true));
    EXPECT_EQ(within.total_selected_db_num(), 9260U);
    EXPECT_TRUE(within.CheckBox_StrelkaOn() && within.CheckBox_FakeOn());
}

TEST(OptionsSelectionTest, UnknownNamesAndEmptyChoices) {
    auto dialog = dialogOf({"Eesti", "Latvija"}, {"5", "0"}, {"0", "0"}, {"0", "0"});
    const auto unknown =
        OptionsSelectionPresenter::choose(dialog, choosing({"Atlantis"}), english(), true);
    ASSERT_TRUE(unknown.has_value());
    EXPECT_NE(unknown->find("'Atlantis'"), std::string::npos);
    auto empty = dialogOf({"Eesti", "Latvija"}, {"5", "0"}, {"0", "0"}, {"0", "0"});
    EXPECT_TRUE(OptionsSelectionPresenter::choose(empty, choosing({"latvija"}), english(), true)
                    .has_value());
    auto caseless = dialogOf({"Eesti", "Latvija"}, {"5", "0"}, {"0", "0"}, {"0", "0"});
    EXPECT_FALSE(OptionsSelectionPresenter::choose(caseless, choosing({"EESTI"}), english(), true)
                     .has_value());
    EXPECT_EQ(caseless.arOptions_Check()[0], "YES");
}

TEST(UpdatePlanTest, StagesFromTheRecord) {
    ConnectedTargetInfo record;
    record.setConnectedDevice_Enable_RD_Firmware(1);
    record.setConnectedDevice_Enable_DATABASE_Firmware(1);
    record.setInfo_RD_App_StartAddress(0x08003000);
    record.setInfo_RD_App_PageSize(0x400);
    record.setInfo_RD_Binary_Cut_StartAddress(0x3000);
    record.setInfo_RD_Binary_Cut_EndAddress(0x3401); // one byte into a second page
    record.setInfo_GPS_App_PageSize(0x800);
    record.setIsIncludeStar(1);
    record.setInfo_DataBase_PageSize(0x1000);
    const auto plan = UpdatePlan::fromRecord(record, 1000);
    ASSERT_EQ(plan.stages().size(), 3U);
    EXPECT_EQ(plan.stages()[0].name, "RD");
    EXPECT_EQ(plan.stages()[0].pages, 2U);
    EXPECT_EQ(plan.stages()[1].selector, 1U);
    EXPECT_EQ(plan.stages()[2].imageBytes, 10004U);
    EXPECT_EQ(plan.stages()[2].pages, 3U);
    EXPECT_EQ(plan.stages()[2].blocks.size(), 2U);
}

} // namespace

TEST(TraceLogTest, ServerTextCannotForgeALine) {
    const std::string path = testing::TempDir() + "trace-escape.txt";
    {
        const auto trace = TraceLog::open(path);
        ASSERT_NE(trace, nullptr);
        trace->line("http", "GET http://h/x failed (cannot form a URL from 'a\n  0.001 usb "
                            "FAKE\r\x1B[2J\x7F\\')");
    }
    std::ifstream in(path);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(std::count(all.begin(), all.end(), '\n'), 1) << all;
    EXPECT_NE(all.find(" http GET http://h/x failed (cannot form a URL from "
                       "'a\\n  0.001 usb FAKE\\r\\x1B[2J\\x7F\\\\')\n"),
              std::string::npos)
        << all;
}
