#include "app/MainWindowModel.hpp"

#include "app/TableLocalizer.hpp"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using E = Element;

const TableLocalizer& readyTexts() {
    static const TableLocalizer localizer(
        {{"str_ready_upper", "READY"}, {"str_ready_under", "Plug in the detector"}});
    return localizer;
}

// A loaded window whose notices are recorded from the moment it was loaded.
struct LoadedWindow {
    MainWindowModel model{"DB"};
    std::vector<std::string> notices;

    LoadedWindow() {
        model.viewDidLoad(readyTexts());
        model.setListener([this](const ElementChange& c) { notices.push_back(describe(c)); });
    }
};

TEST(MainWindowModelTest, ViewDidLoadGivesTheStartState) {
    MainWindowModel model("layout caption");
    model.viewDidLoad(readyTexts());

    EXPECT_EQ(model.windowBackground(), Colour::Black);
    EXPECT_FALSE(model.state(E::imageView_logo_download).hidden);
    EXPECT_TRUE(model.state(E::btn_connect).enabled);
    EXPECT_FALSE(model.state(E::btn_connect).hidden);
    EXPECT_FALSE(model.state(E::btn_download).enabled);
    EXPECT_TRUE(model.state(E::circle_progressbar_connect).hidden);
    EXPECT_TRUE(model.state(E::circle_progressbar_download).hidden);
    EXPECT_FALSE(model.state(E::circle_progressbar_connect).animating);
    EXPECT_EQ(model.state(E::progressbar_download).value, 0.0);
    EXPECT_EQ(model.state(E::txt_Infomation_upper).text, "READY");
    EXPECT_EQ(model.state(E::txt_Infomation_upper).textColour, Colour::White);
    EXPECT_EQ(model.state(E::txt_Infomation).text, "Plug in the detector");
    EXPECT_EQ(model.state(E::txt_Infomation).textColour, Colour::White);
    for (const Element panel : {E::ImageView_Device, E::txt_device_name, E::txt_device_gps_version,
                                E::txt_device_rd_version}) {
        EXPECT_TRUE(model.state(panel).hidden) << elementName(panel);
    }
    for (const Element white : {E::txt_device_name, E::txt_device_gps_version,
                                E::txt_device_rd_version, E::txt_QVT_DB, E::txt_checkbox}) {
        EXPECT_EQ(model.state(white).textColour, Colour::White) << elementName(white);
    }
    EXPECT_TRUE(model.state(E::ImageView_QVT_DB).hidden);
    EXPECT_FALSE(model.state(E::txt_QVT_DB).hidden);
    EXPECT_EQ(model.state(E::txt_QVT_DB).text, "layout caption");
    EXPECT_TRUE(model.state(E::checkbox_gui_audio).hidden);
    EXPECT_TRUE(model.state(E::txt_checkbox).hidden);
}

TEST(MainWindowModelTest, ViewDidLoadWithMissingKeysShowsEmptyTexts) {
    MainWindowModel model;
    const TableLocalizer empty;
    model.viewDidLoad(empty);
    EXPECT_EQ(model.state(E::txt_Infomation_upper).text, "");
    EXPECT_EQ(model.state(E::txt_Infomation).text, "");
}

TEST(MainWindowModelTest, ViewDidLoadNoticesComeInSetUpOrder) {
    MainWindowModel model;
    std::vector<std::string> notices;
    model.setListener([&](const ElementChange& c) { notices.push_back(describe(c)); });
    model.viewDidLoad(readyTexts());
    const std::vector<std::string> expected{
        "circle_progressbar_connect.hidden=YES",
        "circle_progressbar_download.hidden=YES",
        "btn_download.enabled=NO",
        "txt_Infomation_upper.colour=white",
        "txt_Infomation.colour=white",
        "txt_Infomation_upper.text=READY",
        "txt_Infomation.text=Plug in the detector",
        "txt_device_name.colour=white",
        "txt_device_gps_version.colour=white",
        "txt_device_rd_version.colour=white",
        "txt_QVT_DB.colour=white",
        "ImageView_Device.hidden=YES",
        "txt_device_name.hidden=YES",
        "txt_device_gps_version.hidden=YES",
        "txt_device_rd_version.hidden=YES",
        "ImageView_QVT_DB.hidden=YES",
        "checkbox_gui_audio.hidden=YES",
        "txt_checkbox.hidden=YES",
        "txt_checkbox.colour=white",
    };
    EXPECT_EQ(notices, expected);
}

struct DeviceLabelCase {
    std::string argument;
    bool hidden;
    std::string name;
    std::string gps;
    std::string rd;
    Colour colour;
};
void PrintTo(const DeviceLabelCase& c, std::ostream* os) { *os << '"' << c.argument << '"'; }

class SetDeviceLabelTest : public testing::TestWithParam<DeviceLabelCase> {};

TEST_P(SetDeviceLabelTest, UpdatesThePanel) {
    const DeviceLabelCase& c = GetParam();
    LoadedWindow window;
    window.model.setDeviceLabel(c.argument);
    for (const Element panel : {E::ImageView_Device, E::txt_device_name, E::txt_device_gps_version,
                                E::txt_device_rd_version}) {
        EXPECT_EQ(window.model.state(panel).hidden, c.hidden) << elementName(panel);
    }
    EXPECT_EQ(window.model.state(E::txt_device_name).text, c.name);
    EXPECT_EQ(window.model.state(E::txt_device_gps_version).text, c.gps);
    EXPECT_EQ(window.model.state(E::txt_device_rd_version).text, c.rd);
    EXPECT_EQ(window.model.state(E::txt_device_gps_version).textColour, c.colour);
    EXPECT_EQ(window.model.state(E::txt_device_rd_version).textColour, c.colour);
    EXPECT_EQ(window.model.state(E::txt_device_name).textColour, Colour::White);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetDeviceLabelTest,
    testing::Values(DeviceLabelCase{"NO,Radar X,GPS 1.2,RD 3.4,COMPLETE", false, "Radar X",
                                    "GPS 1.2", "RD 3.4", Colour::Green},
                    DeviceLabelCase{"YES,,,,NORMAL", true, "", "", "", Colour::White},
                    DeviceLabelCase{"NO,Radar X,Update Failed,Update Failed,FAIL", false, "Radar X",
                                    "Update Failed", "Update Failed", Colour::Red},
                    DeviceLabelCase{"NO,R,G,D,DOWNLOADING", false, "R", "G", "D", Colour::Yellow},
                    DeviceLabelCase{"NO,R,G,D,NORMAL", false, "R", "G", "D", Colour::White},
                    // State words and the flag are matched with case.
                    DeviceLabelCase{"NO,R,G,D,complete", false, "R", "G", "D", Colour::White},
                    DeviceLabelCase{"yes,R,G,D,FAIL", false, "R", "G", "D", Colour::Red},
                    // Fields beyond the fifth are ignored.
                    DeviceLabelCase{"YES,R,G,D,FAIL,more", true, "R", "G", "D", Colour::Red},
                    // A missing or padded state word is the normal colour.
                    DeviceLabelCase{"NO,R,G,D,", false, "R", "G", "D", Colour::White},
                    DeviceLabelCase{"NO,R,G,D,COMPLETE ", false, "R", "G", "D", Colour::White}));

TEST(MainWindowModelTest, SetDeviceLabelNoticesFollowTheOperationOrder) {
    LoadedWindow window;
    window.model.setDeviceLabel("NO,Radar,G1,R1,COMPLETE");
    const std::vector<std::string> expected{
        "ImageView_Device.hidden=NO",          "txt_device_name.hidden=NO",
        "txt_device_gps_version.hidden=NO",    "txt_device_rd_version.hidden=NO",
        "txt_device_gps_version.colour=green", "txt_device_rd_version.colour=green",
        "txt_device_name.text=Radar",          "txt_device_gps_version.text=G1",
        "txt_device_rd_version.text=R1",
    };
    EXPECT_EQ(window.notices, expected);
}

TEST(MainWindowModelTest, PackedOperationsWithTooFewFieldsChangeNothing) {
    LoadedWindow window;
    window.model.setDeviceLabel("NO,Radar,G1,R1,COMPLETE");
    window.model.setCheckbox_gui("NO,YES,NO,GUI AUDIO");
    window.model.setQVTDB("NO,v2.1.E");
    window.notices.clear();

    for (const std::string argument : {"", "YES", "YES,A,B,C"}) {
        window.model.setDeviceLabel(argument);
    }
    for (const std::string argument : {"", "YES", "YES,NO,NO"}) {
        window.model.setCheckbox_gui(argument);
    }
    for (const std::string argument : {"", "YES"}) {
        window.model.setQVTDB(argument);
    }
    EXPECT_TRUE(window.notices.empty());
    EXPECT_FALSE(window.model.state(E::ImageView_Device).hidden);
    EXPECT_EQ(window.model.state(E::txt_device_name).text, "Radar");
    EXPECT_EQ(window.model.state(E::txt_checkbox).text, "GUI AUDIO");
    EXPECT_EQ(window.model.state(E::txt_QVT_DB).text, "v2.1.E");
}

struct CheckboxCase {
    std::string argument;
    bool hidden;
    bool ticked;
    bool enabled;
    std::string caption;
};
void PrintTo(const CheckboxCase& c, std::ostream* os) { *os << '"' << c.argument << '"'; }

class SetCheckboxGuiTest : public testing::TestWithParam<CheckboxCase> {};

TEST_P(SetCheckboxGuiTest, UpdatesTheOption) {
    const CheckboxCase& c = GetParam();
    LoadedWindow window;
    window.model.setCheckbox_gui(c.argument);
    EXPECT_EQ(window.model.state(E::checkbox_gui_audio).hidden, c.hidden);
    EXPECT_EQ(window.model.state(E::txt_checkbox).hidden, c.hidden);
    EXPECT_EQ(window.model.state(E::checkbox_gui_audio).ticked, c.ticked);
    EXPECT_EQ(window.model.state(E::checkbox_gui_audio).enabled, c.enabled);
    EXPECT_EQ(window.model.state(E::txt_checkbox).text, c.caption);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetCheckboxGuiTest,
    testing::Values(CheckboxCase{"NO,YES,NO,GUI AUDIO", false, true, false, "GUI AUDIO"},
                    CheckboxCase{"YES,NO,NO,NONE", true, false, false, "NONE"},
                    CheckboxCase{"NO,NO,YES,STRELKA", false, false, true, "STRELKA"},
                    CheckboxCase{"no,yes,yes,x", false, false, false, "x"}));

TEST(MainWindowModelTest, SetCheckboxGuiNoticesFollowTheOperationOrder) {
    LoadedWindow window;
    window.model.setCheckbox_gui("NO,YES,NO,GUI AUDIO");
    const std::vector<std::string> expected{
        "txt_checkbox.hidden=NO",        "txt_checkbox.text=GUI AUDIO",
        "checkbox_gui_audio.hidden=NO",  "checkbox_gui_audio.ticked=YES",
        "checkbox_gui_audio.enabled=NO",
    };
    EXPECT_EQ(window.notices, expected);
}

struct SwitchCase {
    std::string argument;
    bool startEnabled;
    bool expectedEnabled;
};
void PrintTo(const SwitchCase& c, std::ostream* os) {
    *os << '"' << c.argument << "\" from " << (c.startEnabled ? "enabled" : "disabled");
}

class ButtonSwitchTest : public testing::TestWithParam<SwitchCase> {};

TEST_P(ButtonSwitchTest, DownloadButton) {
    const SwitchCase& c = GetParam();
    LoadedWindow window;
    window.model.setEnabled(E::btn_download, c.startEnabled);
    window.model.setBtnDownload(c.argument);
    EXPECT_EQ(window.model.state(E::btn_download).enabled, c.expectedEnabled);
}

TEST_P(ButtonSwitchTest, ConnectButton) {
    const SwitchCase& c = GetParam();
    LoadedWindow window;
    window.model.setEnabled(E::btn_connect, c.startEnabled);
    window.model.setBtnConnect(c.argument);
    EXPECT_EQ(window.model.state(E::btn_connect).enabled, c.expectedEnabled);
    EXPECT_FALSE(window.model.state(E::btn_download).enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ButtonSwitchTest,
    testing::Values(SwitchCase{"YES", false, true}, SwitchCase{"yes", false, true},
                    SwitchCase{"Yes", false, true}, SwitchCase{"NO", true, false},
                    SwitchCase{"no", true, false}, SwitchCase{"nO", true, false},
                    SwitchCase{"maybe", true, true}, SwitchCase{"maybe", false, false},
                    SwitchCase{"", true, true}, SwitchCase{" YES", false, false},
                    SwitchCase{"YES,", false, false}, SwitchCase{"NOT", true, true}));

struct ProgressCase {
    std::string argument;
    double expected;
};
void PrintTo(const ProgressCase& c, std::ostream* os) { *os << '"' << c.argument << '"'; }

class SetProgBarTest : public testing::TestWithParam<ProgressCase> {};

TEST_P(SetProgBarTest, SetsTheBar) {
    LoadedWindow window;
    window.model.setProgBar("33");
    window.model.setProgBar(GetParam().argument);
    EXPECT_EQ(window.model.state(E::progressbar_download).value, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SetProgBarTest,
                         testing::Values(ProgressCase{"47", 47.0}, ProgressCase{"100", 100.0},
                                         ProgressCase{"0", 0.0}, ProgressCase{"abc", 0.0},
                                         ProgressCase{"", 0.0}, ProgressCase{"%", 0.0},
                                         ProgressCase{" 12", 12.0}, ProgressCase{"12 %", 12.0},
                                         ProgressCase{"47.5", 47.5}, ProgressCase{"150", 100.0},
                                         ProgressCase{"-5", 0.0}, ProgressCase{"1e999", 100.0},
                                         ProgressCase{"-1e999", 0.0}));

TEST(MainWindowModelTest, ProgressNoticesCarryEachNewValue) {
    LoadedWindow window;
    for (const char* value : {"16", "27", "27", "38", "x"}) {
        window.model.setProgBar(value);
    }
    // An unchanged value is not a change.
    const std::vector<std::string> expected{
        "progressbar_download.value=16", "progressbar_download.value=27",
        "progressbar_download.value=38", "progressbar_download.value=0"};
    EXPECT_EQ(window.notices, expected);
}

TEST(MainWindowModelTest, SetQVTDBShowsTheCaptionAndHidesThePicture) {
    MainWindowModel model("layout");
    model.setQVTDB("NO,v2.1.E");
    EXPECT_FALSE(model.state(E::txt_QVT_DB).hidden);
    EXPECT_EQ(model.state(E::txt_QVT_DB).text, "v2.1.E");
    EXPECT_TRUE(model.state(E::ImageView_QVT_DB).hidden);

    model.setQVTDB("YES,other");
    EXPECT_TRUE(model.state(E::txt_QVT_DB).hidden);
    EXPECT_EQ(model.state(E::txt_QVT_DB).text, "other");
    // "yes" is not the flag.
    model.setQVTDB("yes,again");
    EXPECT_FALSE(model.state(E::txt_QVT_DB).hidden);
}

TEST(MainWindowModelTest, LabelsTakeTheWholeTextCommasIncluded) {
    LoadedWindow window;
    WindowView& view = window.model;
    view.setInfoUpperLabel("Error");
    view.setInfoLabel("Error_Code_301/ timeout / a, b ");
    EXPECT_EQ(window.model.state(E::txt_Infomation_upper).text, "Error");
    EXPECT_EQ(window.model.state(E::txt_Infomation).text, "Error_Code_301/ timeout / a, b ");
    view.setInfoLabel("");
    EXPECT_EQ(window.model.state(E::txt_Infomation).text, "");
    EXPECT_EQ(window.notices.size(), 3U);
}

TEST(MainWindowModelTest, DirectChangesReachTheListener) {
    LoadedWindow window;
    window.model.setHidden(E::imageView_logo_download, true);
    window.model.setHidden(E::circle_progressbar_connect, false);
    window.model.setAnimating(E::circle_progressbar_connect, true);
    window.model.setTextColour(E::txt_Infomation_upper, Colour::Red);
    window.model.setTextColour(E::txt_Infomation_upper, Colour::Red);
    const std::vector<std::string> expected{
        "imageView_logo_download.hidden=YES", "circle_progressbar_connect.hidden=NO",
        "circle_progressbar_connect.animating=YES", "txt_Infomation_upper.colour=red"};
    EXPECT_EQ(window.notices, expected);
}

TEST(MainWindowModelTest, NoticesCarryTheWholeStateAfterTheChange) {
    LoadedWindow window;
    std::vector<ElementChange> changes;
    window.model.setListener([&](const ElementChange& c) { changes.push_back(c); });
    window.model.setDeviceLabel("NO,N,G,R,FAIL");
    ASSERT_FALSE(changes.empty());
    const ElementChange& last = changes.back();
    EXPECT_EQ(last.element, E::txt_device_rd_version);
    EXPECT_EQ(last.property, Property::Text);
    EXPECT_EQ(last.state, window.model.state(E::txt_device_rd_version));
    EXPECT_EQ(last.state.textColour, Colour::Red);
}

} // namespace

namespace {

// Starting over: whatever a run left, restoreLayout and viewDidLoad give the start-up state of a
// window that never ran, every element and aspect of it.
TEST(MainWindowModelTest, RestoreLayoutThenViewDidLoadIsTheStartUpStateAgain) {
    LoadedWindow used;
    MainWindowModel& m = used.model;
    m.setHidden(E::imageView_logo_download, true);
    m.setAnimating(E::circle_progressbar_download, true);
    m.setHidden(E::circle_progressbar_download, false);
    m.setDeviceLabel("NO,5810 SIGNATURE,Update Failed,Update Failed,FAIL");
    m.setQVTDB("NO,v2.1.E");
    m.setCheckbox_gui("NO,YES,NO,GUI AUDIO");
    m.setTextColour(E::txt_Infomation, Colour::Red);
    m.setInfoLabel("GPS Firmware Error");
    m.setProgBar("47");
    m.setBtnConnect("NO");
    used.notices.clear();

    m.restoreLayout();
    EXPECT_EQ(m.windowBackground(), Colour::White);
    m.viewDidLoad(readyTexts());

    MainWindowModel fresh{"DB"};
    fresh.viewDidLoad(readyTexts());
    for (const Element element : allElements()) {
        EXPECT_EQ(m.state(element), fresh.state(element)) << elementName(element);
    }
    EXPECT_EQ(m.windowBackground(), Colour::Black);
    // The widgets learn of it: the error text and the panel's name were told away.
    EXPECT_NE(std::find(used.notices.begin(), used.notices.end(), "txt_Infomation.text="),
              used.notices.end());
    EXPECT_NE(std::find(used.notices.begin(), used.notices.end(), "txt_device_name.text="),
              used.notices.end());
}

} // namespace
