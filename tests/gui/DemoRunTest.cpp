// A whole update in the real window: the demo detector, the simulated server, no pauses.

#include "QtPrinters.hpp"
#include "gui/SelectionDialog.hpp"
#include "gui/Spinner.hpp"
#include "gui/UpdaterSession.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
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
