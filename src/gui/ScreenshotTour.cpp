#include "gui/ScreenshotTour.hpp"

#include "gui/SelectionDialog.hpp"
#include "sim/DeviceProfile.hpp"

#include <QDir>
#include <QEventLoop>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <utility>

namespace {

constexpr int kSettleMs = 250;
// Inside the demo's GPS image (selector 0): a bad read-back there fails the GPS stage.
constexpr std::uint32_t kFaultAddress = 0x0800C010;
// Rows the tour ticks in the dialog: a few countries, well inside the record limit.
constexpr int kRowsToChoose = 4;
// The detector plugged in after "Update another detector".
constexpr const char* kSecondProfile = "combo-3810.json";

} // namespace

ScreenshotTour::ScreenshotTour(UpdaterSession& session, QString folder, QString prefix,
                               bool failRun)
    : m_session(session)
    , m_folder(std::move(folder))
    , m_prefix(std::move(prefix))
    , m_failRun(failRun) {}

QImage ScreenshotTour::onScreen(const QList<QWidget*>& windows) {
    QRect area;
    for (QWidget* window : windows) {
        area |= window->frameGeometry();
    }
    QScreen* screen = windows.first()->screen();
    QImage image;
    if (screen != nullptr) {
        image = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    }
    if (image.isNull()) {
        image = windows.first()->grab().toImage();
    }
    return image;
}

void ScreenshotTour::settle(int milliseconds) {
    QEventLoop wait;
    QTimer::singleShot(milliseconds, &wait, &QEventLoop::quit);
    wait.exec();
}

void ScreenshotTour::save(const QString& state, const QImage& image) {
    const QString path = QDir(m_folder).filePath(m_prefix + state + QStringLiteral(".png"));
    if (!image.save(path)) {
        m_error = QStringLiteral("cannot write %1").arg(path);
        return;
    }
    m_written << path;
}

void ScreenshotTour::saveWindow(const QString& state) {
    settle(kSettleMs);
    save(state, onScreen({&m_session.window()}));
}

void ScreenshotTour::onDialogShown() {
    SelectionDialog* dialog = m_session.presenter().current();
    if (dialog == nullptr) {
        return;
    }
    const int rows = std::min(kRowsToChoose, dialog->tty()->rowCount());
    for (int row = 0; row < rows; ++row) {
        emit dialog->tty()->cellClicked(row, 0);
    }
    if (!m_failRun) {
        settle(kSettleMs);
        save(QStringLiteral("04-selection"), onScreen({&m_session.window(), dialog}));
        // One country more than the limit allows: the total line says why it stays "NO".
        for (int row = rows; row < dialog->tty()->rowCount(); ++row) {
            emit dialog->tty()->cellClicked(row, 0);
            if (dialog->tty()->item(row, SelectionDialog::kCheckColumn)->text() !=
                QLatin1String("YES")) {
                dialog->tty()->scrollToItem(dialog->tty()->item(row, 0));
                settle(kSettleMs);
                save(QStringLiteral("08-dialog-total"), onScreen({dialog}));
                break;
            }
        }
    }
    dialog->btn_Select()->click();
}

void ScreenshotTour::startAnotherRun() {
    m_secondRun = true;
    m_session.window().btn_start_over()->click();
    QString error;
    if (!m_session.demo()->replaceDetector(QString::fromLatin1(kSecondProfile), error)) {
        m_error = error;
    }
    m_session.window().btn_connect()->click();
    m_session.demo()->plugIn();
}

bool ScreenshotTour::run(QString& error) {
    UpdaterSession& s = m_session;
    QEventLoop loop;
    auto finish = [this, &loop](const QString& why) {
        if (!why.isEmpty() && m_error.isEmpty()) {
            m_error = why;
        }
        m_finished = true;
        loop.quit();
    };

    s.window().setChangeObserver([this](const ElementChange& change) {
        // Half-way through an image, with the panel in the writing colour.
        if (m_failRun || m_downloadingSaved || change.element != Element::progressbar_download ||
            change.state.value < 40.0 ||
            m_session.model().state(Element::txt_device_gps_version).textColour != Colour::Yellow) {
            return;
        }
        m_downloadingSaved = true;
        saveWindow(QStringLiteral("05-downloading"));
    });
    s.presenter().setShownListener([this](SelectionDialog*) {
        QTimer::singleShot(100, &m_session.window(), [this] { onDialogShown(); });
    });
    s.setSequenceListener([this, finish](bool download, ViewController::Outcome outcome) {
        if (!download && m_secondRun) {
            if (outcome == ViewController::Outcome::Succeeded) {
                saveWindow(QStringLiteral("09-another-detector"));
                finish({});
            } else {
                finish(QStringLiteral("the second detector did not connect"));
            }
            return;
        }
        if (!download) {
            if (outcome != ViewController::Outcome::Succeeded) {
                finish(QStringLiteral("the connect sequence did not succeed: %1")
                           .arg(QString::fromStdString(
                               m_session.model().state(Element::txt_Infomation).text)));
                return;
            }
            if (!m_failRun) {
                saveWindow(QStringLiteral("03-connected"));
            }
            QTimer::singleShot(0, &m_session.window(),
                               [this] { m_session.window().btn_download()->click(); });
            return;
        }
        if (m_failRun) {
            if (outcome == ViewController::Outcome::Failed) {
                saveWindow(QStringLiteral("07-fail"));
                finish({});
            } else {
                finish(QStringLiteral("the fail run did not fail"));
            }
            return;
        }
        if (outcome == ViewController::Outcome::Succeeded) {
            saveWindow(QStringLiteral("06-complete"));
            if (!m_downloadingSaved) {
                finish(QStringLiteral("no downloading state seen"));
                return;
            }
            QTimer::singleShot(0, &m_session.window(), [this] { startAnotherRun(); });
        } else {
            finish(QStringLiteral("the download did not succeed"));
        }
    });

    if (m_failRun) {
        sim::Fault fault = sim::Fault::make(sim::FaultKind::CorruptRead, sim::Operation::Read);
        fault.address = kFaultAddress;
        fault.selector = 0;
        s.demo()->detector()->addFault(fault);
    }

    QTimer::singleShot(0, &s.window(), [this, &s] {
        s.window().show();
        if (!m_failRun) {
            saveWindow(QStringLiteral("01-initial"));
        }
        s.window().btn_connect()->click();
        if (!m_failRun) {
            saveWindow(QStringLiteral("02-searching"));
        }
        s.demo()->plugIn();
    });
    QTimer::singleShot(180000, &loop, [finish] { finish(QStringLiteral("timed out")); });
    loop.exec();
    s.window().setChangeObserver({});
    s.presenter().setShownListener({});
    s.setSequenceListener({});
    error = m_error;
    return m_error.isEmpty();
}
