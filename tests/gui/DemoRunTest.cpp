// A whole update in the real window: the demo detector, the simulated server, no pauses.

#include "QtPrinters.hpp"
#include "gui/SelectionDialog.hpp"
#include "gui/Spinner.hpp"
#include "gui/UpdaterSession.hpp"
#include "sim/DeviceProfile.hpp"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <optional>

#include <gtest/gtest.h>

namespace {

constexpr int kGenerousMs = 120000;

UpdaterSession::Settings demoSettings() {
    UpdaterSession::Settings settings;
    settings.virtualDetector = true;
    settings.recordPauses = true;
    settings.plugDelayMs = 0;
    return settings;
}

// Records the sequence endings the controller reports (after their last window change).
struct Endings {
    explicit Endings(UpdaterSession& session) {
        session.setSequenceListener([this](bool download, ViewController::Outcome outcome) {
            (download ? this->download : connect) = outcome;
        });
    }
    std::optional<ViewController::Outcome> connect;
    std::optional<ViewController::Outcome> download;
};

void clickRow(SelectionDialog& dialog, int row) {
    QTableWidget* table = dialog.tty();
    const QRect cell = table->visualItemRect(table->item(row, SelectionDialog::kCityColumn));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

TEST(DemoRun, ConnectChooseDownloadComplete) {
    UpdaterSession session(demoSettings());
    QString error;
    ASSERT_TRUE(session.start(error)) << error.toStdString();
    Endings ended(session);
    MainWindow& window = session.window();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(window.btn_connect(), Qt::LeftButton);
    EXPECT_TRUE(window.widget(Element::imageView_logo_download)->isHidden());
    EXPECT_FALSE(window.btn_connect()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.connect.has_value(); }, kGenerousMs));
    ASSERT_EQ(ended.connect, ViewController::Outcome::Succeeded)
        << window.label(Element::txt_Infomation)->text().toStdString();
    EXPECT_EQ(window.label(Element::txt_device_name)->text(), QStringLiteral("5810 SIGNATURE"));
    EXPECT_EQ(window.label(Element::txt_QVT_DB)->text(), QStringLiteral("v2.1.E"));
    EXPECT_FALSE(window.widget(Element::txt_device_name)->isHidden());
    EXPECT_TRUE(window.btn_download()->isEnabled());
    EXPECT_FALSE(window.btn_connect()->isEnabled());
    EXPECT_EQ(window.progressbar_download()->value(), 100);
    EXPECT_TRUE(window.widget(Element::circle_progressbar_connect)->isHidden());

    QTest::mouseClick(window.btn_download(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.presenter().current() != nullptr; }, 5000));
    SelectionDialog& dialog = *session.presenter().current();
    EXPECT_TRUE(dialog.isModal());
    ASSERT_GE(dialog.tty()->rowCount(), 20);
    clickRow(dialog, 2);
    clickRow(dialog, 5);
    ASSERT_FALSE(dialog.btn_Select()->isHidden());
    QTest::mouseClick(dialog.btn_Select(), Qt::LeftButton);

    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.download.has_value(); }, kGenerousMs));
    ASSERT_EQ(ended.download, ViewController::Outcome::Succeeded)
        << window.label(Element::txt_Infomation)->text().toStdString();
    EXPECT_EQ(window.label(Element::txt_Infomation_upper)->text(),
              QStringLiteral("Update complete"));
    EXPECT_EQ(window.textColour(Element::txt_device_gps_version),
              MainWindow::toQColor(Colour::Green));
    EXPECT_EQ(window.textColour(Element::txt_device_rd_version),
              MainWindow::toQColor(Colour::Green));
    EXPECT_FALSE(window.btn_connect()->isEnabled());
    EXPECT_FALSE(window.btn_download()->isEnabled());
    EXPECT_TRUE(window.widget(Element::circle_progressbar_download)->isHidden());
    EXPECT_EQ(session.model().state(Element::txt_device_gps_version).textColour, Colour::Green);

    // The versions shown are the ones now in the device, and the server heard of the finish.
    // The demo catalog's images carry RD 1605011000 and GPS ...1300 (tools/make-demo-catalog);
    // the new GPS block carries the database date 12 May 2016 before those four digits.
    EXPECT_EQ(window.label(Element::txt_device_rd_version)->text(),
              QStringLiteral("5810RD1605011000"));
    EXPECT_EQ(window.label(Element::txt_device_gps_version)->text(),
              QStringLiteral("5810Gx1205161300"));
    const auto requests = session.demo()->server()->requests();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [](const std::string& r) {
        return r.rfind("/qvt_database/finish/", 0) == 0;
    }));
    ASSERT_TRUE(session.shutdown(std::chrono::seconds(10)));
}

TEST(DemoRun, ClosingTheDialogLeavesDownloadEnabled) {
    UpdaterSession session(demoSettings());
    QString error;
    ASSERT_TRUE(session.start(error)) << error.toStdString();
    Endings ended(session);
    session.window().show();
    QTest::mouseClick(session.window().btn_connect(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.connect.has_value(); }, kGenerousMs));
    ASSERT_EQ(ended.connect, ViewController::Outcome::Succeeded)
        << session.window().label(Element::txt_Infomation)->text().toStdString();
    QTest::mouseClick(session.window().btn_download(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.presenter().current() != nullptr; }, 5000));
    clickRow(*session.presenter().current(), 0);
    session.presenter().current()->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return session.presenter().current() == nullptr; }, 5000));
    EXPECT_TRUE(session.window().btn_download()->isEnabled());
    EXPECT_EQ(session.controller().downloadOutcome(), ViewController::Outcome::Running);
    ASSERT_TRUE(session.shutdown(std::chrono::seconds(10)));
}

TEST(DemoRun, QuitWhileWaitingForTheDeviceEndsPromptly) {
    UpdaterSession::Settings settings = demoSettings();
    settings.recordPauses = false; // the real, sleeping pacer
    settings.plugDelayMs = -1;     // never plugged in
    UpdaterSession session(settings);
    QString error;
    ASSERT_TRUE(session.start(error)) << error.toStdString();
    session.window().show();
    QTest::mouseClick(session.window().btn_connect(), Qt::LeftButton);
    EXPECT_FALSE(session.window().widget(Element::circle_progressbar_connect)->isHidden());
    EXPECT_TRUE(session.window().circle_progressbar_connect()->isAnimating());
    // Generous on a loaded machine; the window itself allows under a second.
    EXPECT_TRUE(session.shutdown(std::chrono::seconds(20)));
}

TEST(DemoRun, ShutdownOutOfTimeKeepsTheSessionUntilTheWorkersEnd) {
    UpdaterSession::Settings settings = demoSettings();
    settings.recordPauses = false;
    settings.plugDelayMs = -1;
    auto session = std::make_unique<UpdaterSession>(settings);
    QString error;
    ASSERT_TRUE(session->start(error)) << error.toStdString();
    QTest::mouseClick(session->window().btn_connect(), Qt::LeftButton);
    // No time at all: the worker is most likely still waiting for the device when shutdown
    // gives up; a second attempt then waits for the same join, and destroying the session
    // afterwards frees nothing a worker still uses (AddressSanitizer watches this).
    (void)session->shutdown(std::chrono::milliseconds(0));
    EXPECT_TRUE(session->shutdown(std::chrono::seconds(20)));
    session.reset();
}

} // namespace

namespace {

// Connect, choose `rows`, write; true when both sequences ended (any outcome).
bool runOnce(UpdaterSession& session, Endings& ended, const std::vector<int>& rows) {
    ended.connect.reset();
    ended.download.reset();
    MainWindow& window = session.window();
    QTest::mouseClick(window.btn_connect(), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return ended.connect.has_value(); }, kGenerousMs)) {
        return false;
    }
    if (ended.connect != ViewController::Outcome::Succeeded) {
        return true;
    }
    QTest::mouseClick(window.btn_download(), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return session.presenter().current() != nullptr; }, 5000)) {
        return false;
    }
    for (const int row : rows) {
        clickRow(*session.presenter().current(), row);
    }
    QTest::mouseClick(session.presenter().current()->btn_Select(), Qt::LeftButton);
    return QTest::qWaitFor([&] { return ended.download.has_value(); }, kGenerousMs);
}

// What the run wrote is in the device: the images' cut ranges at their addresses, the database
// from byte 4 on, and its header block. The images come from the record (what was downloaded
// and rebuilt), the bytes from the detector's own memory.
void expectImagesInMemory(const sim::VirtualDetector& detector, const ConnectedTargetInfo& r) {
    const auto expectAt = [&](std::uint8_t selector, std::uint32_t address, const Bytes& image,
                              std::uint32_t from, std::uint32_t to, const char* what) {
        ASSERT_LE(from, to);
        ASSERT_LE(to, image.size()) << what;
        const Bytes wanted(image.begin() + from, image.begin() + to);
        EXPECT_TRUE(detector.readMemory(selector, address, to - from) == wanted) << what;
    };
    if (r.ConnectedDevice_Enable_RD_Firmware() != 0) {
        expectAt(1, r.Info_RD_App_StartAddress(), *r.Download_Firmware_RD(),
                 r.Info_RD_Binary_Cut_StartAddress(), r.Info_RD_Binary_Cut_EndAddress(), "RD");
    }
    expectAt(r.isIncludeStar() != 0 ? 1 : 0, r.Info_GPS_App_StartAddress(),
             *r.Download_Firmware_GPS(), r.Info_GPS_Binary_Cut_StartAddress(),
             r.Info_GPS_Binary_Cut_EndAddress(), "GPS");
    const Bytes& db = *r.Download_Firmware_DATABASE();
    expectAt(0, r.Info_DataBase_SaveAddress(), db, 4, static_cast<std::uint32_t>(db.size()), "DB");
    const auto header = detector.readMemory(0, ViewController::kDatabaseHeaderAddress, 4);
    EXPECT_EQ(header, (std::vector<std::uint8_t>{db[3], db[2], static_cast<std::uint8_t>(~db[3]),
                                                 static_cast<std::uint8_t>(~db[2])}));
}

TEST(DemoRun, UpdateAnotherDetectorRunsASecondWholeUpdateOnAFreshRecord) {
    UpdaterSession session(demoSettings());
    QString error;
    ASSERT_TRUE(session.start(error)) << error.toStdString();
    Endings ended(session);
    MainWindow& window = session.window();
    window.show();
    EXPECT_TRUE(window.btn_start_over()->isHidden());

    // Run 1: the demo detector, two countries, Fake cameras out.
    const auto first = session.demo()->detector();
    ASSERT_TRUE(runOnce(session, ended, {2, 5}));
    ASSERT_EQ(ended.download, ViewController::Outcome::Succeeded)
        << window.label(Element::txt_Infomation)->text().toStdString();
    const auto record1 = session.controller().connectedTargetInfo();
    ASSERT_TRUE(record1);
    expectImagesInMemory(*first, *record1);
    EXPECT_FALSE(window.btn_start_over()->isHidden());
    EXPECT_TRUE(window.btn_show_log()->isHidden()) << "the log is offered after failures";
    EXPECT_TRUE(window.btn_start_over()->hasFocus() || !window.isActiveWindow());
    const QString log1 = session.logPath();

    // Starting over: the start-up state, nothing of run 1 on screen.
    QTest::mouseClick(window.btn_start_over(), Qt::LeftButton);
    EXPECT_TRUE(window.btn_start_over()->isHidden());
    EXPECT_FALSE(window.widget(Element::imageView_logo_download)->isHidden());
    EXPECT_TRUE(window.btn_connect()->isEnabled());
    EXPECT_FALSE(window.btn_download()->isEnabled());
    EXPECT_TRUE(window.widget(Element::txt_device_name)->isHidden());
    EXPECT_TRUE(window.label(Element::txt_device_name)->text().isEmpty());
    EXPECT_EQ(window.label(Element::txt_Infomation_upper)->text(),
              QStringLiteral("Ready to update"));
    EXPECT_EQ(window.label(Element::txt_QVT_DB)->text(), QStringLiteral("Camera database"));
    EXPECT_EQ(window.progressbar_download()->value(), 0);
    EXPECT_EQ(window.textColour(Element::txt_device_gps_version),
              MainWindow::toQColor(Colour::White));
    EXPECT_EQ(session.controller().connectedTargetInfo(), nullptr);
    EXPECT_EQ(session.controller().connectOutcome(), ViewController::Outcome::Running);

    // Run 2: another detector, another model; no unplugging needed for the first.
    ASSERT_TRUE(session.demo()->replaceDetector(QStringLiteral("combo-3810.json"), error))
        << error.toStdString();
    const auto second = session.demo()->detector();
    const auto firstTransactions = first->completedTransactions();
    ASSERT_TRUE(runOnce(session, ended, {0}));
    ASSERT_EQ(ended.download, ViewController::Outcome::Succeeded)
        << window.label(Element::txt_Infomation)->text().toStdString();
    const auto record2 = session.controller().connectedTargetInfo();
    ASSERT_TRUE(record2);
    EXPECT_NE(record2, record1);
    expectImagesInMemory(*second, *record2);
    EXPECT_EQ(first->completedTransactions(), firstTransactions) << "run 2 wrote to run 1's";
    EXPECT_EQ(window.label(Element::txt_device_name)->text(), QStringLiteral("3810 COMBO"));

    // The second record carries none of the first one's texts.
    EXPECT_NE(record2->ConnectedDevice_Name(), record1->ConnectedDevice_Name());
    EXPECT_NE(record2->SsId(), record1->SsId());
    EXPECT_NE(record2->ConnectedDevice_Version_GPS_Current_detail(),
              record1->ConnectedDevice_Version_GPS_Current_detail());
    EXPECT_NE(record2->Download_Firmware_GPS(), record1->Download_Firmware_GPS());
    EXPECT_EQ(record2->ConnectedDevice_Enable_RD_Firmware(), 0) << "its RD version is current";
    const auto checked = record2->Country_Checked();
    ASSERT_TRUE(checked);
    EXPECT_EQ(std::count(checked->begin(), checked->end(), ListEntry{std::string("YES")}), 1);
    EXPECT_EQ(record2->isExcludeFake(), 0);

    // Each run has its own log.
    EXPECT_NE(session.logPath(), log1);
    EXPECT_TRUE(QFileInfo::exists(log1));
    ASSERT_TRUE(session.shutdown(std::chrono::seconds(10)));
}

QStringList lastLines(const QString& path, int n) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QStringList lines =
        QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.mid(std::max<qsizetype>(0, lines.size() - n));
}

TEST(DemoRun, FailedRunLeavesALogEndingWithTheErrorAndShowLogOpensItsFolder) {
    UpdaterSession::Settings settings = demoSettings();
    QStringList opened;
    settings.openFolder = [&opened](const QString& folder) { opened << folder; };
    UpdaterSession session(settings);
    QString error;
    ASSERT_TRUE(session.start(error)) << error.toStdString();
    Endings ended(session);
    session.window().show();
    // A page of the GPS image reads back wrong.
    sim::Fault fault = sim::Fault::make(sim::FaultKind::CorruptRead, sim::Operation::Read);
    fault.address = 0x0800C010;
    fault.selector = 0;
    session.demo()->detector()->addFault(fault);

    std::vector<QString> timeLeft;
    session.window().setChangeObserver([&](const ElementChange& change) {
        if (change.element == Element::progressbar_download &&
            !session.window().txt_time_left()->isHidden()) {
            timeLeft.push_back(session.window().txt_time_left()->text());
        }
    });
    ASSERT_TRUE(runOnce(session, ended, {1}));
    session.window().setChangeObserver({});
    ASSERT_EQ(ended.download, ViewController::Outcome::Failed);
    EXPECT_EQ(session.window().label(Element::txt_Infomation)->text(),
              QStringLiteral("GPS Firmware Error"));
    // The time left was shown while writing, and is gone at the end.
    ASSERT_FALSE(timeLeft.empty());
    EXPECT_TRUE(timeLeft.front().endsWith(QStringLiteral(" left")))
        << timeLeft.front().toStdString();
    EXPECT_TRUE(session.window().txt_time_left()->isHidden());

    const QString path = session.logPath();
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(path.startsWith(UpdaterSession::defaultLogFolder())) << path.toStdString();
    const QStringList tail = lastLines(path, 3);
    ASSERT_FALSE(tail.isEmpty());
    EXPECT_TRUE(tail.join(QLatin1Char('\n')).contains(QStringLiteral("GPS Firmware Error")))
        << tail.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(tail.last().contains(QStringLiteral("download sequence ended: failed")))
        << tail.last().toStdString();
    // The same kinds of line as the command line's trace.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString all = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(all.contains(QStringLiteral(" usb write sel=0 addr=0x0800C000 len=256 ok")));
    EXPECT_TRUE(all.contains(QStringLiteral(" http GET ")));
    EXPECT_TRUE(all.contains(QStringLiteral(" window txt_Infomation.text=GPS Firmware Error")));

    ASSERT_FALSE(session.window().btn_show_log()->isHidden());
    QTest::mouseClick(session.window().btn_show_log(), Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QFileInfo(path).absolutePath()});
    ASSERT_TRUE(session.shutdown(std::chrono::seconds(10)));
}

TEST(DemoRun, ConnectErrorOffersStartingOverAndTheLog) {
    UpdaterSession::Settings settings = demoSettings();
    settings.profile = QStringLiteral("qvt-ka7.json"); // a model with no ORIGINAL update
    UpdaterSession session(settings);
    QString error;
    ASSERT_TRUE(session.start(error)) << error.toStdString();
    Endings ended(session);
    session.window().show();
    ASSERT_TRUE(runOnce(session, ended, {}));
    ASSERT_EQ(ended.connect, ViewController::Outcome::Failed);
    EXPECT_EQ(session.window().label(Element::txt_Infomation)->text(),
              QStringLiteral("Device does not supported"));
    EXPECT_FALSE(session.window().btn_start_over()->isHidden());
    EXPECT_FALSE(session.window().btn_show_log()->isHidden());
    ASSERT_TRUE(session.startOver());
    EXPECT_EQ(session.window().textColour(Element::txt_Infomation),
              MainWindow::toQColor(Colour::White));
    EXPECT_FALSE(session.startOver()) << "nothing has ended in the new run";
    // The same detector, still plugged in, is found again.
    ASSERT_TRUE(runOnce(session, ended, {}));
    EXPECT_EQ(ended.connect, ViewController::Outcome::Failed);
    EXPECT_EQ(session.window().label(Element::txt_device_name)->text(), QString());
    EXPECT_EQ(session.runsStarted(), 2);
    ASSERT_TRUE(session.shutdown(std::chrono::seconds(10)));
}

} // namespace
