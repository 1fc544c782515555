#include "gui/ScreenshotTour.hpp"

#include "gui/SelectionDialog.hpp"
#include "sim/DeviceProfile.hpp"

#include <QDir>
#include <QEventLoop>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <utility>

namespace {

constexpr int kTitleBar = 28;
// Inside the demo's GPS image (selector 0): a bad read-back there fails the GPS stage.
constexpr std::uint32_t kFaultAddress = 0x0800C010;
// Rows the tour ticks in the dialog: a few countries, well inside the record limit.
constexpr int kRowsToChoose = 4;

} // namespace

ScreenshotTour::ScreenshotTour(UpdaterSession& session, QString folder, QString prefix,
                               bool failRun)
    : m_session(session)
    , m_folder(std::move(folder))
    , m_prefix(std::move(prefix))
    , m_failRun(failRun) {}

QImage ScreenshotTour::framed(QWidget& window) {
    const QPixmap contents = window.grab();
    QImage image(contents.width(), contents.height() + kTitleBar, QImage::Format_RGB32);
    image.fill(QColor(48, 48, 52));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 3; ++i) {
        static const QColor kLights[] = {{255, 95, 86}, {255, 189, 46}, {39, 201, 63}};
        p.setBrush(kLights[i]);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(16 + i * 20, kTitleBar / 2.0), 6, 6);
    }
    QFont font = window.font();
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(230, 230, 230));
    p.drawText(QRect(0, 0, image.width(), kTitleBar), Qt::AlignCenter, window.windowTitle());
    p.drawPixmap(0, kTitleBar, contents);
    return image;
}

void ScreenshotTour::save(const QString& state, const QImage& image) {
    const QString path = QDir(m_folder).filePath(m_prefix + state + QStringLiteral(".png"));
    if (!image.save(path)) {
        m_error = QStringLiteral("cannot write %1").arg(path);
        return;
    }
    m_written << path;
}

void ScreenshotTour::saveWindow(const QString& state) { save(state, framed(m_session.window())); }

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
        // The dialog over the dimmed main window, as a window manager would show it.
        QImage image = framed(m_session.window());
        const QImage over = framed(*dialog);
        QPainter p(&image);
        p.fillRect(image.rect(), QColor(0, 0, 0, 120));
        p.drawImage((image.width() - over.width()) / 2,
                    std::max(0, (image.height() - over.height()) / 2), over);
        p.end();
        save(QStringLiteral("04-selection"), image);
    }
    dialog->btn_Select()->click();
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
            finish(m_downloadingSaved ? QString() : QStringLiteral("no downloading state seen"));
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
