#include "app/FlowFixture.hpp"
#include "sim/VirtualUsbBus.hpp"
#include "support/RefusingBus.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <variant>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using flow_testing::FlowRig;
using flow_testing::profile;
using flow_testing::smallCatalog;
using testing::ElementsAre;
using testing::ElementsAreArray;
using Outcome = ViewController::Outcome;
using E = Element;

namespace {

FlowRig signatureRig(sim::UpdateCatalog catalog = smallCatalog()) {
    return FlowRig(std::move(catalog), profile("signature-5810e.json"));
}

void expectErrorWindow(const FlowRig& rig, const std::string& lower) {
    EXPECT_EQ(rig.state(E::txt_Infomation_upper).text, "Error");
    EXPECT_EQ(rig.state(E::txt_Infomation_upper).textColour, Colour::Red);
    EXPECT_EQ(rig.state(E::txt_Infomation).text, lower);
    EXPECT_EQ(rig.state(E::txt_Infomation).textColour, Colour::Red);
    EXPECT_FALSE(rig.state(E::btn_connect).enabled);
    EXPECT_FALSE(rig.state(E::btn_download).enabled);
    EXPECT_TRUE(rig.state(E::circle_progressbar_connect).hidden);
    EXPECT_TRUE(rig.state(E::ImageView_Device).hidden);
    EXPECT_EQ(rig.controller->connectOutcome(), Outcome::Failed);
}

// Replaces the rig's controller by one whose link comes from `makeLink`.
void useLink(FlowRig& rig, std::function<std::unique_ptr<MassStorageController>()> makeLink) {
    rig.controller.reset();
    rig.controller = std::make_unique<ViewController>(ViewController::Dependencies{
        .window = rig.window,
        .dispatcher = rig.dispatcher,
        .pacer = rig.recordingPacer,
        .localizer = flow_testing::texts(),
        .presenter = rig.presenter,
        .makeLink = std::move(makeLink),
        .server = rig.server.access(),
        .onSequenceEnded = {},
        .log = [&rig](const std::string& line) { rig.logLines.push_back(line); },
    });
    // The old controller stopped the shared client on its way out.
    rig.server.access().client()->resume();
}

} // namespace

TEST(ConnectSequence, PressingConnectShowsTheSearchingState) {
    // No device ever appears: the state after the button stays until one does.
    server_testing::SimServer server(smallCatalog());
    MainWindowModel window;
    window.viewDidLoad(flow_testing::texts());
    SynchronousDispatcher dispatcher;
    RecordingPacer pacer;
    flow_testing::ScriptedPresenter presenter;
    auto bus = std::make_shared<sim::VirtualUsbBus>();
    ViewController vc({.window = window,
                       .dispatcher = dispatcher,
                       .pacer = pacer,
                       .localizer = flow_testing::texts(),
                       .presenter = presenter,
                       .makeLink = [bus] { return std::make_unique<MassStorageController>(bus); },
                       .server = server.access(),
                       .onSequenceEnded = {}});
    std::vector<ElementChange> changes;
    window.setListener([&](const ElementChange& c) { changes.push_back(c); });
    vc.btn_Start();
    std::vector<std::string> seen;
    for (const auto& c : changes) {
        seen.push_back(describe(c));
    }
    EXPECT_THAT(seen,
                ElementsAre("imageView_logo_download.hidden=YES",
                            "txt_Infomation_upper.text=Searching", "txt_Infomation.text=(empty)",
                            "circle_progressbar_connect.hidden=NO",
                            "circle_progressbar_connect.animating=YES", "btn_connect.enabled=NO"));
    // Ends the wait for the device: nothing more happens to the window, nothing is paused.
    vc.requestStop();
    vc.waitForWorkers();
    EXPECT_EQ(vc.connectOutcome(), Outcome::Stopped);
    EXPECT_EQ(changes.size(), seen.size());
    EXPECT_TRUE(pacer.pauses().empty());
    EXPECT_TRUE(server.sim().requests().empty());
}

TEST(ConnectSequence, SuccessPostsEveryProgressValueAndPause) {
    auto rig = signatureRig();
    rig.connect();
    EXPECT_EQ(rig.controller->connectOutcome(), Outcome::Succeeded);
    EXPECT_THAT(rig.progress(), ElementsAre(16, 27, 38, 47, 57, 67, 78, 88, 100));
    EXPECT_THAT(rig.recordingPacer.pauses(), ElementsAre(5.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0));
    EXPECT_THAT(rig.ended, ElementsAre(std::pair{false, Outcome::Succeeded}));
    // The device was only read.
    EXPECT_EQ(rig.writeCount(), 0U);
}

TEST(ConnectSequence, SuccessLeavesTheDownloadButtonAsTheOnlyWayOn) {
    auto rig = signatureRig();
    rig.connect();
    EXPECT_EQ(rig.state(E::txt_Infomation_upper).text, "Click download");
    EXPECT_EQ(rig.state(E::txt_Infomation_upper).textColour, Colour::White);
    EXPECT_EQ(rig.state(E::txt_Infomation).text, "(empty)");
    EXPECT_FALSE(rig.state(E::btn_connect).enabled);
    EXPECT_TRUE(rig.state(E::btn_download).enabled);
    EXPECT_TRUE(rig.state(E::circle_progressbar_connect).hidden);
    EXPECT_TRUE(rig.state(E::imageView_logo_download).hidden);
    for (const Element panel : {E::ImageView_Device, E::txt_device_name, E::txt_device_gps_version,
                                E::txt_device_rd_version}) {
        EXPECT_FALSE(rig.state(panel).hidden) << elementName(panel);
    }
    EXPECT_EQ(rig.state(E::txt_device_name).text, "5810 SIGNATURE");
    EXPECT_EQ(rig.state(E::txt_device_gps_version).text, "5810Gx1604150900");
    EXPECT_EQ(rig.state(E::txt_device_rd_version).text, "5810RD1603011000");
    EXPECT_EQ(rig.state(E::txt_device_gps_version).textColour, Colour::White);
    EXPECT_EQ(rig.state(E::txt_device_rd_version).textColour, Colour::White);
    EXPECT_FALSE(rig.state(E::txt_QVT_DB).hidden);
    EXPECT_EQ(rig.state(E::txt_QVT_DB).text, "v2.1.E");
    EXPECT_TRUE(rig.state(E::ImageView_QVT_DB).hidden);
    EXPECT_TRUE(rig.state(E::checkbox_gui_audio).hidden);
    EXPECT_TRUE(rig.state(E::txt_checkbox).hidden);
    EXPECT_EQ(rig.state(E::txt_checkbox).text, "NONE");
    EXPECT_EQ(rig.state(E::progressbar_download).value, 100.0);
    // The server saw the connect requests, and no finish request.
    EXPECT_TRUE(rig.finishRequests().empty());
    // The record carries what the download needs.
    const auto record = rig.controller->connectedTargetInfo();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->ConnectedDevice_Version_GPS_Update(), "1606011200");
    EXPECT_EQ(record->ConnectedDevice_Version_RD_Update(), "1605101000");
    EXPECT_EQ(record->ConnectedDevice_Enable_RD_Firmware(), 1);
    EXPECT_EQ(record->Country_Total_Num(), 4U);
}

TEST(ConnectSequence, TheStepsTextAppearsOnceTheDeviceIsIdentified) {
    auto rig = signatureRig();
    rig.connect();
    std::vector<std::string> uppers;
    for (const auto& c : rig.changes) {
        if (c.element == E::txt_Infomation_upper && c.property == Property::Text) {
            uppers.push_back(c.state.text);
        }
    }
    EXPECT_THAT(uppers, ElementsAre("Searching", "Connecting", "Click download"));
}

TEST(ConnectSequence, NetworkDownStopsBeforeAnyServerRequest) {
    auto rig = signatureRig();
    rig.server.settings().probeUrl = "http://127.0.0.1:1/probe";
    rig.rebuild();
    rig.connect();
    EXPECT_THAT(rig.progress(), ElementsAre(16, 27, 38, 100));
    EXPECT_THAT(rig.recordingPacer.pauses(), ElementsAre(5.0, 1.0, 1.0));
    expectErrorWindow(rig, "Check internet");
    EXPECT_TRUE(rig.server.sim().requests().empty());
    EXPECT_THAT(rig.ended, ElementsAre(std::pair{false, Outcome::Failed}));
}

TEST(ConnectSequence, DongleUpdateTypeIsNotSupportedAndShowsTheStrelkaOption) {
    auto rig = signatureRig(smallCatalog("DONGLE"));
    rig.connect();
    EXPECT_THAT(rig.progress(), ElementsAre(16, 27, 38, 47, 100));
    EXPECT_THAT(rig.recordingPacer.pauses(), ElementsAre(5.0, 1.0, 1.0, 1.0));
    expectErrorWindow(rig, "Device does not supported");
    EXPECT_FALSE(rig.state(E::checkbox_gui_audio).hidden);
    EXPECT_FALSE(rig.state(E::checkbox_gui_audio).ticked);
    EXPECT_TRUE(rig.state(E::checkbox_gui_audio).enabled);
    EXPECT_FALSE(rig.state(E::txt_checkbox).hidden);
    EXPECT_EQ(rig.state(E::txt_checkbox).text, "STRELKA");
    // Only the device information was asked for.
    EXPECT_THAT(rig.server.sim().requests(),
                ElementsAre("/probe", "/qvt_products/info/5810_SIGNATUREE"));
}

struct OptionRow {
    std::string updateType;
    bool hidden;
    bool ticked;
    bool enabled;
    std::string caption;
};

class ConnectOptionRow : public testing::TestWithParam<OptionRow> {};

TEST_P(ConnectOptionRow, FollowsTheUpdateType) {
    const auto& row = GetParam();
    auto rig = signatureRig(smallCatalog(row.updateType));
    rig.connect();
    EXPECT_EQ(rig.state(E::txt_checkbox).hidden, row.hidden);
    EXPECT_EQ(rig.state(E::checkbox_gui_audio).hidden, row.hidden);
    EXPECT_EQ(rig.state(E::checkbox_gui_audio).ticked, row.ticked);
    EXPECT_EQ(rig.state(E::checkbox_gui_audio).enabled, row.enabled);
    EXPECT_EQ(rig.state(E::txt_checkbox).text, row.caption);
    EXPECT_EQ(rig.state(E::txt_Infomation).text, "Device does not supported");
}

// The GPS image is offered ("true" in the device information) for these types.
INSTANTIATE_TEST_SUITE_P(ConnectSequence, ConnectOptionRow,
                         testing::Values(OptionRow{"MERIDIAN", false, true, false, "GUI AUDIO"},
                                         OptionRow{"8BIT RD", false, true, false, "GUI AUDIO"},
                                         OptionRow{"DONGLE", false, false, true, "STRELKA"},
                                         OptionRow{"ONLY RD", true, false, false, "NONE"}));

struct ServerFailure {
    std::string name;
    std::string faultPath;
    sim::ServerFault fault;
    std::vector<int> progress;
    std::string lower;
};

class ConnectServerFailure : public testing::TestWithParam<ServerFailure> {};

TEST_P(ConnectServerFailure, ShowsTheClientsFailureText) {
    const auto& c = GetParam();
    auto rig = signatureRig();
    rig.server.sim().addFault(c.fault, c.faultPath);
    rig.connect();
    EXPECT_THAT(rig.progress(), ElementsAreArray(c.progress));
    std::vector<double> pauses{5.0};
    pauses.resize(c.progress.size() - 1, 1.0);
    EXPECT_THAT(rig.recordingPacer.pauses(), ElementsAreArray(pauses));
    expectErrorWindow(rig, c.lower);
    EXPECT_TRUE(rig.finishRequests().empty());
}

INSTANTIATE_TEST_SUITE_P(
    ConnectSequence, ConnectServerFailure,
    testing::Values(
        ServerFailure{"DeviceInfo301",
                      "/qvt_products/info/",
                      sim::ServerFault::MissingFields,
                      {16, 27, 38, 47, 100},
                      "Error_Code_301/ MissingField / field 21 of 21-field answer (update type) "},
        ServerFailure{"Database401",
                      "/qvt_database/countries",
                      sim::ServerFault::MissingFields,
                      {16, 27, 38, 47, 57, 67, 100},
                      "Error_Code_401/ MissingCountryField / country entry 4 'Delta|1|0' has 3 "
                      "of 4 fields "},
        ServerFailure{"EmptyCountryList401",
                      "/qvt_database/countries",
                      sim::ServerFault::EmptyBody,
                      {16, 27, 38, 47, 57, 67, 100},
                      "Error_Code_401/ NoCountries / the country list answer is empty "},
        ServerFailure{"Firmware501",
                      "/qvt_products_firmware/",
                      sim::ServerFault::NotFoundHtml,
                      {16, 27, 38, 47, 57, 67, 78, 100},
                      "Error_Code_501/ MissingField / field 1 of 1-field answer (GPS firmware "
                      "address) "}),
    [](const auto& info) { return info.param.name; });

TEST(ConnectSequence, AVersionCheckFailureNamesTheImageWithoutAVersion) {
    auto rig = signatureRig(smallCatalog("ORIGINAL", /*gpsVersionBlock=*/false));
    rig.connect();
    EXPECT_THAT(rig.progress(), ElementsAre(16, 27, 38, 47, 57, 67, 78, 88, 100));
    EXPECT_THAT(rig.recordingPacer.pauses(), ElementsAre(5.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0));
    expectErrorWindow(rig, "Error_Code_501/ NoVersion / GPS image (24576 bytes from " +
                               rig.server.sim().baseAddress() +
                               "/firmware/5810_SIGNATUREE/gps.bin) holds no version block ");
}

TEST(ConnectSequence, IdentificationFailureShowsItsCode) {
    auto device = profile("signature-5810e.json");
    device.product = "SOMEONE ELSES DEVICE    ";
    FlowRig rig(smallCatalog(), device);
    rig.connect();
    EXPECT_THAT(rig.progress(), ElementsAre(16, 27, 38, 100));
    EXPECT_THAT(rig.recordingPacer.pauses(), ElementsAre(5.0, 1.0, 1.0));
    expectErrorWindow(rig, "Error_Code_102");
    EXPECT_TRUE(rig.server.sim().requests().empty());
}

TEST(ConnectSequence, AnUnexpectedFailureShowsErrorAndStopsTheSpinner) {
    auto rig = signatureRig();
    useLink(rig, []() -> std::unique_ptr<MassStorageController> {
        throw std::runtime_error("USB bus went away");
    });
    rig.connect();
    EXPECT_THAT(rig.logLines, ElementsAre("EE std::runtime_error , USB bus went away "));
    expectErrorWindow(rig, "USB bus went away");
    EXPECT_FALSE(rig.state(E::circle_progressbar_connect).animating);
    EXPECT_TRUE(rig.progress().empty());
}

TEST(ConnectSequence, RunsOncePerController) {
    auto rig = signatureRig();
    rig.connect();
    const auto requests = rig.server.sim().requests().size();
    rig.connect();
    EXPECT_EQ(rig.server.sim().requests().size(), requests);
    EXPECT_EQ(rig.progress().size(), 9U);
}

namespace {

// Holds the first pause until released, so a worker is certainly running meanwhile.
class GatePacer final : public Pacer {
public:
    bool pause(double /*seconds*/) override {
        std::unique_lock lock(m_mutex);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        return true;
    }
    void awaitEntered() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_entered; });
    }
    void open() {
        const std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_open = false;
};

} // namespace

TEST(ConnectSequence, EveryCallerOfWaitForWorkersWaitsForTheJoin) {
    GatePacer gate;
    FlowRig rig(smallCatalog(), profile("signature-5810e.json"), &gate);
    rig.controller->btn_Start();
    gate.awaitEntered();
    // Each caller notes whether the sequence had ended when its wait returned.
    std::atomic<int> endedWhenReturned{0};
    const auto waiter = [&] {
        rig.controller->waitForWorkers();
        if (rig.controller->connectOutcome() != Outcome::Running) {
            ++endedWhenReturned;
        }
    };
    std::thread first(waiter);
    std::thread second(waiter);
    // Both are inside waitForWorkers before the worker may go on.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    gate.open();
    first.join();
    second.join();
    EXPECT_EQ(endedWhenReturned.load(), 2);
    EXPECT_EQ(rig.controller->connectOutcome(), Outcome::Succeeded);
}

TEST(ConnectSequence, AUsbLibraryThatCannotStartEndsInError) {
    auto rig = signatureRig();
    useLink(rig, [] {
        return std::make_unique<
            MassStorageController>(MassStorageController::BusFactory([]() -> std::variant<
                                                                              std::shared_ptr<
                                                                                  usb::UsbBus>,
                                                                              usb::UsbError> {
            return usb::UsbError{usb::UsbErrorKind::Io, "initialising libusb: LIBUSB_ERROR_OTHER"};
        }));
    });
    usb::setDiagnosticSink([](std::string_view) {});
    rig.connect();
    usb::setDiagnosticSink({});
    expectErrorWindow(rig, "USB cannot be used: initialising libusb: LIBUSB_ERROR_OTHER");
    EXPECT_FALSE(rig.state(E::circle_progressbar_connect).animating);
    EXPECT_TRUE(rig.progress().empty());
    EXPECT_TRUE(rig.recordingPacer.pauses().empty());
    EXPECT_TRUE(rig.server.sim().requests().empty());
}

struct RefusalCase {
    const char* name;
    usb::UsbErrorKind openError;
    const char* lowerText;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class ConnectRefusedDevice : public testing::TestWithParam<RefusalCase> {};

TEST_P(ConnectRefusedDevice, IsNamedWhileSearchingUntilADeviceOpens) {
    auto rig = signatureRig();
    auto rest = std::make_shared<sim::VirtualUsbBus>();
    useLink(rig, [&] {
        return std::make_unique<MassStorageController>(
            std::static_pointer_cast<usb::UsbBus>(std::make_shared<testing_support::OneRefusalBus>(
                std::make_unique<testing_support::RefusingDevice>(
                    usb::DeviceIdentity{0x0483, 0x5720, 0x0200}, GetParam().openError),
                rest)));
    });
    std::jthread plugLater([&] {
        while (rest->waitCount() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        rest->plug(rig.detector);
    });
    rig.connect();
    const auto lower = rig.lowerTexts();
    ASSERT_EQ(rig.controller->connectOutcome(), Outcome::Succeeded)
        << testing::PrintToString(lower);
    ASSERT_GE(lower.size(), 3U);
    // Searching, the refused device and its fix, cleared once the detector opened.
    EXPECT_THAT(std::vector<std::string>(lower.begin(), lower.begin() + 3),
                ElementsAre("(empty)", GetParam().lowerText, "(empty)"));
    EXPECT_EQ(rig.progress().front(), 16);
}

INSTANTIATE_TEST_SUITE_P(
    ConnectSequence, ConnectRefusedDevice,
    testing::Values(RefusalCase{"NotPermitted", usb::UsbErrorKind::NotPermitted,
                                "Not permitted: install the udev rule"},
                    RefusalCase{"Busy", usb::UsbErrorKind::Busy, "Busy: close the other program"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConnectSequence, ADeviceOfAnotherReleaseLeavesTheLowerTextAlone) {
    auto rig = signatureRig();
    auto rest = std::make_shared<sim::VirtualUsbBus>();
    useLink(rig, [&] {
        return std::make_unique<MassStorageController>(
            std::static_pointer_cast<usb::UsbBus>(std::make_shared<testing_support::OneRefusalBus>(
                std::make_unique<testing_support::RefusingDevice>(
                    usb::DeviceIdentity{0x0483, 0x5720, 0x0100}, std::nullopt),
                rest)));
    });
    std::jthread plugLater([&] {
        while (rest->waitCount() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        rest->plug(rig.detector);
    });
    rig.connect();
    const auto lower = rig.lowerTexts();
    ASSERT_EQ(rig.controller->connectOutcome(), Outcome::Succeeded)
        << testing::PrintToString(lower);
    // The searching state's empty text is the only one: nothing is named for this device.
    EXPECT_THAT(lower, ElementsAre("(empty)"));
    EXPECT_EQ(rig.state(E::txt_Infomation_upper).text, "Click download");
}
