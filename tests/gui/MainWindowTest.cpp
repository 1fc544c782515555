// The main window's widgets as the window model drives them.

#include "gui/MainWindow.hpp"

#include "QtPrinters.hpp"
#include "gui/QtLocalizer.hpp"
#include "gui/QtUiDispatcher.hpp"
#include "gui/Spinner.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        model.viewDidLoad(localizer);
        window.show();
    }

    QString text(Element element) const { return window.label(element)->text(); }
    bool hidden(Element element) const { return window.widget(element)->isHidden(); }
    QColor colour(Element element) const { return window.textColour(element); }

    QtLocalizer localizer;
    MainWindowModel model{"Camera database"};
    MainWindow window{model};
};

const QColor kWhite = MainWindow::toQColor(Colour::White);
const QColor kGreen = MainWindow::toQColor(Colour::Green);
const QColor kRed = MainWindow::toQColor(Colour::Red);
const QColor kYellow = MainWindow::toQColor(Colour::Yellow);

TEST(MainWindowColours, EveryStateColourLooksDifferent) {
    // Two states drawn alike (a yellow DOWNLOADING drawn white, say) would hide the state.
    const Colour all[] = {Colour::White, Colour::Black, Colour::Red, Colour::Green, Colour::Yellow};
    for (const Colour a : all) {
        for (const Colour b : all) {
            if (a != b) {
                EXPECT_NE(MainWindow::toQColor(a), MainWindow::toQColor(b))
                    << static_cast<int>(a) << " and " << static_cast<int>(b);
            }
        }
    }
}

TEST_F(MainWindowTest, StartsInTheReadyState) {
    EXPECT_FALSE(hidden(Element::imageView_logo_download));
    EXPECT_TRUE(window.btn_connect()->isEnabled());
    EXPECT_FALSE(window.btn_download()->isEnabled());
    EXPECT_TRUE(hidden(Element::circle_progressbar_connect));
    EXPECT_TRUE(hidden(Element::circle_progressbar_download));
    EXPECT_EQ(window.progressbar_download()->minimum(), 0);
    EXPECT_EQ(window.progressbar_download()->maximum(), 100);
    EXPECT_EQ(text(Element::txt_Infomation_upper), QStringLiteral("Ready to update"));
    EXPECT_FALSE(text(Element::txt_Infomation).isEmpty());
    EXPECT_EQ(colour(Element::txt_Infomation_upper), kWhite);
    EXPECT_EQ(colour(Element::txt_Infomation), kWhite);
    for (const Element e :
         {Element::ImageView_Device, Element::txt_device_name, Element::txt_device_gps_version,
          Element::txt_device_rd_version, Element::ImageView_QVT_DB, Element::checkbox_gui_audio,
          Element::txt_checkbox}) {
        EXPECT_TRUE(hidden(e)) << elementName(e);
    }
    EXPECT_FALSE(hidden(Element::txt_QVT_DB));
    EXPECT_EQ(text(Element::txt_QVT_DB), QStringLiteral("Camera database"));
    EXPECT_EQ(colour(Element::txt_QVT_DB), kWhite);
    EXPECT_EQ(window.backgroundColour(), QColor(Qt::black));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Detector Updater"));
}

TEST_F(MainWindowTest, CompletePanelShowsGreenVersions) {
    window.setDeviceLabel("NO,5810 SIGNATURE,GPS 1611011200,RD 1610151030,COMPLETE");
    for (const Element e : {Element::ImageView_Device, Element::txt_device_name,
                            Element::txt_device_gps_version, Element::txt_device_rd_version}) {
        EXPECT_FALSE(hidden(e)) << elementName(e);
    }
    EXPECT_EQ(text(Element::txt_device_name), QStringLiteral("5810 SIGNATURE"));
    EXPECT_EQ(text(Element::txt_device_gps_version), QStringLiteral("GPS 1611011200"));
    EXPECT_EQ(text(Element::txt_device_rd_version), QStringLiteral("RD 1610151030"));
    EXPECT_EQ(colour(Element::txt_device_gps_version), kGreen);
    EXPECT_EQ(colour(Element::txt_device_rd_version), kGreen);
    EXPECT_EQ(colour(Element::txt_device_name), kWhite);
}

TEST_F(MainWindowTest, HiddenNormalPanelEmptiesTextsAndWhitensVersions) {
    window.setDeviceLabel("NO,5810,a,b,COMPLETE");
    window.setDeviceLabel("YES,,,,NORMAL");
    for (const Element e : {Element::ImageView_Device, Element::txt_device_name,
                            Element::txt_device_gps_version, Element::txt_device_rd_version}) {
        EXPECT_TRUE(hidden(e)) << elementName(e);
    }
    EXPECT_TRUE(text(Element::txt_device_name).isEmpty());
    EXPECT_TRUE(text(Element::txt_device_gps_version).isEmpty());
    EXPECT_TRUE(text(Element::txt_device_rd_version).isEmpty());
    EXPECT_EQ(colour(Element::txt_device_gps_version), kWhite);
    EXPECT_EQ(colour(Element::txt_device_rd_version), kWhite);
}

TEST_F(MainWindowTest, PanelStatesColourTheVersions) {
    window.setDeviceLabel("NO,x,Update Failed,Update Failed,FAIL");
    EXPECT_EQ(colour(Element::txt_device_gps_version), kRed);
    EXPECT_EQ(colour(Element::txt_device_rd_version), kRed);
    window.setDeviceLabel("NO,x,g,r,DOWNLOADING");
    EXPECT_EQ(colour(Element::txt_device_gps_version), kYellow);
    EXPECT_EQ(colour(Element::txt_device_rd_version), kYellow);
    window.setDeviceLabel("NO,x,g,r,complete");
    EXPECT_EQ(colour(Element::txt_device_gps_version), kWhite);
}

TEST_F(MainWindowTest, OptionShownTickedAndGreyedOut) {
    window.setCheckbox_gui("NO,YES,NO,GUI AUDIO");
    EXPECT_FALSE(hidden(Element::checkbox_gui_audio));
    EXPECT_FALSE(hidden(Element::txt_checkbox));
    EXPECT_TRUE(window.checkbox_gui_audio()->isChecked());
    EXPECT_FALSE(window.checkbox_gui_audio()->isEnabled());
    EXPECT_EQ(text(Element::txt_checkbox), QStringLiteral("GUI AUDIO"));
    EXPECT_EQ(colour(Element::txt_checkbox), kWhite);
}

TEST_F(MainWindowTest, OptionHiddenUntickedDisabled) {
    window.setCheckbox_gui("NO,YES,YES,STRELKA");
    window.setCheckbox_gui("YES,NO,NO,NONE");
    EXPECT_TRUE(hidden(Element::checkbox_gui_audio));
    EXPECT_TRUE(hidden(Element::txt_checkbox));
    EXPECT_FALSE(window.checkbox_gui_audio()->isChecked());
    EXPECT_FALSE(window.checkbox_gui_audio()->isEnabled());
    EXPECT_EQ(text(Element::txt_checkbox), QStringLiteral("NONE"));
}

TEST_F(MainWindowTest, OptionCaptionShownUntickedChangeable) {
    window.setCheckbox_gui("NO,NO,YES,STRELKA");
    EXPECT_FALSE(hidden(Element::checkbox_gui_audio));
    EXPECT_FALSE(window.checkbox_gui_audio()->isChecked());
    EXPECT_TRUE(window.checkbox_gui_audio()->isEnabled());
    QTest::mouseClick(window.checkbox_gui_audio(), Qt::LeftButton, {},
                      QPoint(6, window.checkbox_gui_audio()->height() / 2));
    EXPECT_TRUE(window.checkbox_gui_audio()->isChecked());
    EXPECT_TRUE(model.state(Element::checkbox_gui_audio).ticked);
}

TEST_F(MainWindowTest, LowerCaseYesEnablesDownload) {
    window.setBtnDownload("yes");
    EXPECT_TRUE(window.btn_download()->isEnabled());
    window.setBtnDownload("maybe");
    EXPECT_TRUE(window.btn_download()->isEnabled());
    window.setBtnDownload("No");
    EXPECT_FALSE(window.btn_download()->isEnabled());
    window.setBtnDownload("YESS");
    EXPECT_FALSE(window.btn_download()->isEnabled());
    window.setBtnConnect("no");
    EXPECT_FALSE(window.btn_connect()->isEnabled());
    window.setBtnConnect("");
    EXPECT_FALSE(window.btn_connect()->isEnabled());
}

TEST_F(MainWindowTest, DatabaseCaptionShownPictureHidden) {
    window.setQVTDB("NO,v2.1.E");
    EXPECT_FALSE(hidden(Element::txt_QVT_DB));
    EXPECT_EQ(text(Element::txt_QVT_DB), QStringLiteral("v2.1.E"));
    EXPECT_TRUE(hidden(Element::ImageView_QVT_DB));
    window.setQVTDB("YES,v2.1.E");
    EXPECT_TRUE(hidden(Element::txt_QVT_DB));
}

TEST_F(MainWindowTest, ProgressBarFollowsTheText) {
    window.setProgBar("47");
    EXPECT_EQ(window.progressbar_download()->value(), 47);
    window.setProgBar("abc");
    EXPECT_EQ(window.progressbar_download()->value(), 0);
    window.setProgBar("100");
    EXPECT_EQ(window.progressbar_download()->value(), 100);
}

TEST_F(MainWindowTest, StatusTextsAndRed) {
    window.setInfoUpperLabel("Error");
    window.setInfoLabel("Error_Code_101");
    model.setTextColour(Element::txt_Infomation_upper, Colour::Red);
    EXPECT_EQ(text(Element::txt_Infomation_upper), QStringLiteral("Error"));
    EXPECT_EQ(text(Element::txt_Infomation), QStringLiteral("Error_Code_101"));
    EXPECT_EQ(colour(Element::txt_Infomation_upper), kRed);
}

TEST_F(MainWindowTest, ButtonsRunTheirActions) {
    int connects = 0;
    int downloads = 0;
    window.setActions([&] { ++connects; }, [&] { ++downloads; });
    QTest::mouseClick(window.btn_connect(), Qt::LeftButton);
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(downloads, 0);
    QTest::mouseClick(window.btn_download(), Qt::LeftButton); // disabled: no action
    EXPECT_EQ(downloads, 0);
    window.setBtnDownload("YES");
    QTest::mouseClick(window.btn_download(), Qt::LeftButton);
    EXPECT_EQ(downloads, 1);
}

TEST_F(MainWindowTest, ButtonsWorkFromTheKeyboardAndHaveNames) {
    int connects = 0;
    int downloads = 0;
    window.setActions([&] { ++connects; }, [&] { ++downloads; });
    window.setBtnDownload("YES");
    window.activateWindow();
    window.focusConnect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.btn_connect()->hasFocus(); }, 2000));
    QTest::keyClick(window.btn_connect(), Qt::Key_Space);
    EXPECT_EQ(connects, 1);
    // Tab reaches Download; Enter presses it as Space does.
    QTest::keyClick(&window, Qt::Key_Tab);
    ASSERT_TRUE(window.btn_download()->hasFocus());
    QTest::keyClick(window.btn_download(), Qt::Key_Return);
    EXPECT_EQ(downloads, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{
             window.btn_connect(), window.btn_download(), window.btn_start_over(),
             window.btn_show_log(), window.progressbar_download(), window.txt_time_left(),
             window.widget(Element::txt_Infomation_upper), window.widget(Element::txt_Infomation),
             window.widget(Element::txt_device_name)}) {
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, RunEndOffersStartingOverAndTheLogOnlyAfterAFailure) {
    int startOvers = 0;
    int logs = 0;
    window.setRunActions([&] { ++startOvers; }, [&] { ++logs; });
    EXPECT_TRUE(window.btn_start_over()->isHidden());
    EXPECT_TRUE(window.btn_show_log()->isHidden());
    window.offerRunEnd(true, false);
    EXPECT_FALSE(window.btn_start_over()->isHidden());
    EXPECT_TRUE(window.btn_show_log()->isHidden());
    window.offerRunEnd(true, true);
    QTest::mouseClick(window.btn_show_log(), Qt::LeftButton);
    QTest::mouseClick(window.btn_start_over(), Qt::LeftButton);
    EXPECT_EQ(logs, 1);
    EXPECT_EQ(startOvers, 1);
    window.offerRunEnd(false, true);
    EXPECT_TRUE(window.btn_start_over()->isHidden());
    EXPECT_TRUE(window.btn_show_log()->isHidden());
    window.setTimeLeft(QStringLiteral("1 min 5 s left"));
    EXPECT_FALSE(window.txt_time_left()->isHidden());
    window.setTimeLeft({});
    EXPECT_TRUE(window.txt_time_left()->isHidden());
}

TEST_F(MainWindowTest, SpinnerTurnsWhileAnimating) {
    model.setHidden(Element::circle_progressbar_connect, false);
    model.setAnimating(Element::circle_progressbar_connect, true);
    Spinner* spinner = window.circle_progressbar_connect();
    EXPECT_FALSE(spinner->isHidden());
    EXPECT_TRUE(spinner->isAnimating());
    const int first = spinner->step();
    EXPECT_TRUE(QTest::qWaitFor([&] { return spinner->step() != first; }, 5000));
    model.setAnimating(Element::circle_progressbar_connect, false);
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_FALSE(window.circle_progressbar_download()->isAnimating());
}

TEST_F(MainWindowTest, LogoHides) {
    model.setHidden(Element::imageView_logo_download, true);
    EXPECT_TRUE(hidden(Element::imageView_logo_download));
}

TEST_F(MainWindowTest, CloseGuardCanKeepTheWindowOpen) {
    bool allow = false;
    window.setCloseGuard([&] { return allow; });
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    allow = true;
    EXPECT_TRUE(window.close());
}

TEST(QtUiDispatcher, RunsInlineOnTheUiThread) {
    QObject context;
    QtUiDispatcher dispatcher(&context);
    int runs = 0;
    dispatcher.runAndWait([&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

TEST(QtUiDispatcher, WorkerWaitsForTheUiThread) {
    QObject context;
    QtUiDispatcher dispatcher(&context);
    std::atomic<bool> ranOnUi{false};
    std::atomic<bool> returned{false};
    QThread* ui = QThread::currentThread();
    std::thread worker([&] {
        dispatcher.runAndWait([&] { ranOnUi = QThread::currentThread() == ui; });
        // Applied before runAndWait returned.
        returned = ranOnUi.load();
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 10000));
    worker.join();
    EXPECT_TRUE(ranOnUi.load());
}

TEST(QtUiDispatcher, ClosedDispatcherDropsWorkerChanges) {
    QObject context;
    QtUiDispatcher dispatcher(&context);
    dispatcher.close();
    bool ran = false;
    std::thread worker([&] { dispatcher.runAndWait([&] { ran = true; }); });
    worker.join(); // would hang if the call still waited for the UI thread
    EXPECT_FALSE(ran);
}

} // namespace
