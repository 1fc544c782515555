#include "gui/MainWindow.hpp"

#include "gui/Artwork.hpp"
#include "gui/Spinner.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <cstddef>
#include <utility>

namespace {

std::size_t indexOf(Element element) { return static_cast<std::size_t>(element); }

QLabel* makeText(QWidget* parent, int pixelSize, bool bold, Qt::Alignment alignment) {
    auto* label = new QLabel(parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    label->setAlignment(alignment);
    label->setWordWrap(true);
    return label;
}

QLabel* makePicture(QWidget* parent, const QPixmap& pixmap) {
    auto* label = new QLabel(parent);
    label->setPixmap(pixmap);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// Hidden elements keep their place, so the window does not jump as the panel comes and goes.
void keepPlace(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

} // namespace

MainWindow::MainWindow(MainWindowModel& model, QWidget* parent)
    : QMainWindow(parent)
    , m_model(model) {
    build();
    renderAll();
    m_model.setListener([this](const ElementChange& change) {
        apply(change);
        if (m_changeLog) {
            m_changeLog(change);
        }
        if (m_observer) {
            m_observer(change);
        }
    });
}

MainWindow::~MainWindow() { m_model.setListener({}); }

void MainWindow::build() {
    //% "Detector Updater"
    setWindowTitle(qtTrId("gui_window_title"));
    // The black theme goes on the central widget only: on the window it would also paint the
    // selection dialog.
    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("central"));
    m_central->setAutoFillBackground(true);
    setCentralWidget(m_central);

    auto* logo = makePicture(m_central, artwork::logo(QSize(360, 150)));
    auto* devicePicture = makePicture(m_central, artwork::device(QSize(170, 90)));
    auto* name = makeText(m_central, 22, true, Qt::AlignLeft | Qt::AlignVCenter);
    auto* gps = makeText(m_central, 15, false, Qt::AlignLeft | Qt::AlignVCenter);
    auto* rd = makeText(m_central, 15, false, Qt::AlignLeft | Qt::AlignVCenter);
    auto* dbPicture = makePicture(m_central, artwork::database(QSize(48, 48)));
    auto* dbCaption = makeText(m_central, 13, false, Qt::AlignRight | Qt::AlignVCenter);
    m_checkbox_gui_audio = new QCheckBox(m_central);
    auto* checkboxCaption = makeText(m_central, 13, false, Qt::AlignLeft | Qt::AlignVCenter);
    auto* upper = makeText(m_central, 20, true, Qt::AlignCenter);
    auto* lower = makeText(m_central, 14, false, Qt::AlignCenter);
    m_progressbar_download = new QProgressBar(m_central);
    m_progressbar_download->setTextVisible(true);
    m_circle_connect = new Spinner(m_central);
    m_circle_download = new Spinner(m_central);
    //% "Connect"
    m_btn_connect = new QPushButton(qtTrId("gui_btn_connect"), m_central);
    //% "Download"
    m_btn_download = new QPushButton(qtTrId("gui_btn_download"), m_central);
    //% "Update another detector"
    m_btn_start_over = new QPushButton(qtTrId("gui_btn_start_over"), m_central);
    m_btn_start_over->setObjectName(QStringLiteral("btn_start_over"));
    //% "Show log"
    m_btn_show_log = new QPushButton(qtTrId("gui_btn_show_log"), m_central);
    m_btn_show_log->setObjectName(QStringLiteral("btn_show_log"));
    m_txt_time_left = makeText(m_central, 12, false, Qt::AlignCenter);
    m_txt_time_left->setObjectName(QStringLiteral("txt_time_left"));
    QPalette dim = m_txt_time_left->palette();
    dim.setColor(QPalette::WindowText, QColor(200, 200, 200));
    m_txt_time_left->setPalette(dim);
    for (QPushButton* button : {m_btn_connect, m_btn_download, m_btn_start_over, m_btn_show_log}) {
        button->setMinimumSize(150, 40);
        QFont font = button->font();
        font.setPixelSize(15);
        font.setBold(true);
        button->setFont(font);
        // Enter presses the focused button, as Space does.
        button->setAutoDefault(true);
        button->setFocusPolicy(Qt::StrongFocus);
    }
    m_btn_start_over->setMinimumWidth(240);
    // Their row and line keep their height, so the window does not jump; "Show log" gives
    // its place up, so a lone "Update another detector" sits in the middle.
    keepPlace(m_btn_start_over);
    keepPlace(m_txt_time_left);
    m_btn_start_over->hide();
    m_btn_show_log->hide();
    m_txt_time_left->hide();

    m_widgets[indexOf(Element::imageView_logo_download)] = logo;
    m_widgets[indexOf(Element::btn_connect)] = m_btn_connect;
    m_widgets[indexOf(Element::btn_download)] = m_btn_download;
    m_widgets[indexOf(Element::circle_progressbar_connect)] = m_circle_connect;
    m_widgets[indexOf(Element::circle_progressbar_download)] = m_circle_download;
    m_widgets[indexOf(Element::progressbar_download)] = m_progressbar_download;
    m_widgets[indexOf(Element::txt_Infomation_upper)] = upper;
    m_widgets[indexOf(Element::txt_Infomation)] = lower;
    m_widgets[indexOf(Element::ImageView_Device)] = devicePicture;
    m_widgets[indexOf(Element::txt_device_name)] = name;
    m_widgets[indexOf(Element::txt_device_gps_version)] = gps;
    m_widgets[indexOf(Element::txt_device_rd_version)] = rd;
    m_widgets[indexOf(Element::ImageView_QVT_DB)] = dbPicture;
    m_widgets[indexOf(Element::txt_QVT_DB)] = dbCaption;
    m_widgets[indexOf(Element::checkbox_gui_audio)] = m_checkbox_gui_audio;
    m_widgets[indexOf(Element::txt_checkbox)] = checkboxCaption;
    for (const Element element : allElements()) {
        QWidget* w = m_widgets[indexOf(element)];
        w->setObjectName(QString::fromUtf8(elementName(element).data(),
                                           static_cast<qsizetype>(elementName(element).size())));
        keepPlace(w);
    }

    // Top: the logo, or in the same place the device panel.
    auto* stage = new QWidget(m_central);
    stage->setFixedHeight(160);
    auto* stageLayout = new QGridLayout(stage);
    stageLayout->setContentsMargins(0, 0, 0, 0);
    auto* panel = new QGridLayout;
    panel->addWidget(devicePicture, 0, 0, 3, 1);
    panel->addWidget(name, 0, 1);
    panel->addWidget(gps, 1, 1);
    panel->addWidget(rd, 2, 1);
    panel->setColumnStretch(1, 1);
    panel->setHorizontalSpacing(18);
    stageLayout->addWidget(logo, 0, 0);
    stageLayout->addLayout(panel, 0, 0);

    auto* option = new QHBoxLayout;
    option->addWidget(m_checkbox_gui_audio);
    option->addWidget(checkboxCaption);
    option->addStretch(1);
    option->addWidget(dbPicture);
    option->addWidget(dbCaption);

    auto* progress = new QHBoxLayout;
    progress->addWidget(m_circle_connect);
    progress->addWidget(m_progressbar_download, 1);
    progress->addWidget(m_circle_download);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_btn_connect);
    buttons->addSpacing(24);
    buttons->addWidget(m_btn_download);
    buttons->addStretch(1);

    auto* runEnd = new QHBoxLayout;
    runEnd->addStretch(1);
    runEnd->addWidget(m_btn_start_over);
    runEnd->addSpacing(24);
    runEnd->addWidget(m_btn_show_log);
    runEnd->addStretch(1);

    auto* column = new QVBoxLayout(m_central);
    column->setContentsMargins(28, 20, 28, 20);
    column->setSpacing(12);
    column->addWidget(stage);
    column->addLayout(option);
    column->addWidget(upper);
    column->addWidget(lower);
    column->addLayout(progress);
    column->addWidget(m_txt_time_left);
    column->addLayout(buttons);
    column->addLayout(runEnd);

    m_progressbar_download->setRange(static_cast<int>(MainWindowModel::kProgressMinimum),
                                     static_cast<int>(MainWindowModel::kProgressMaximum));
    resize(680, 560);
    setTabOrder(m_btn_connect, m_btn_download);
    setTabOrder(m_btn_download, m_btn_start_over);
    setTabOrder(m_btn_start_over, m_btn_show_log);
    nameForScreenReaders();

    connect(m_btn_connect, &QPushButton::clicked, this, [this] {
        if (m_onConnect) {
            m_onConnect();
        }
    });
    connect(m_btn_download, &QPushButton::clicked, this, [this] {
        if (m_onDownload) {
            m_onDownload();
        }
    });
    connect(m_btn_start_over, &QPushButton::clicked, this, [this] {
        if (m_onStartOver) {
            m_onStartOver();
        }
    });
    connect(m_btn_show_log, &QPushButton::clicked, this, [this] {
        if (m_onShowLog) {
            m_onShowLog();
        }
    });
    // No step reads the option, but a click must not let the box drift from the model.
    connect(m_checkbox_gui_audio, &QCheckBox::toggled, this,
            [this](bool on) { m_model.setTicked(Element::checkbox_gui_audio, on); });
}

void MainWindow::setActions(std::function<void()> onConnect, std::function<void()> onDownload) {
    m_onConnect = std::move(onConnect);
    m_onDownload = std::move(onDownload);
}

void MainWindow::nameForScreenReaders() {
    //% "Connect to the detector"
    m_btn_connect->setAccessibleName(qtTrId("gui_a11y_connect"));
    //% "Choose countries and write the update"
    m_btn_download->setAccessibleName(qtTrId("gui_a11y_download"));
    m_btn_start_over->setAccessibleName(m_btn_start_over->text());
    //% "Open the folder of this run's log"
    m_btn_show_log->setAccessibleName(qtTrId("gui_a11y_show_log"));
    //% "Status"
    label(Element::txt_Infomation_upper)->setAccessibleName(qtTrId("gui_a11y_status"));
    //% "Details"
    label(Element::txt_Infomation)->setAccessibleName(qtTrId("gui_a11y_details"));
    //% "Detector"
    label(Element::txt_device_name)->setAccessibleName(qtTrId("gui_a11y_device_name"));
    //% "GPS version"
    label(Element::txt_device_gps_version)->setAccessibleName(qtTrId("gui_a11y_gps_version"));
    //% "Radar version"
    label(Element::txt_device_rd_version)->setAccessibleName(qtTrId("gui_a11y_rd_version"));
    //% "Progress"
    m_progressbar_download->setAccessibleName(qtTrId("gui_a11y_progress"));
    //% "Time left"
    m_txt_time_left->setAccessibleName(qtTrId("gui_a11y_time_left"));
}

void MainWindow::setChangeLog(std::function<void(const ElementChange&)> log) {
    m_changeLog = std::move(log);
}

void MainWindow::setRunActions(std::function<void()> onStartOver, std::function<void()> onShowLog) {
    m_onStartOver = std::move(onStartOver);
    m_onShowLog = std::move(onShowLog);
}

void MainWindow::offerRunEnd(bool offered, bool showLog) {
    m_btn_start_over->setVisible(offered);
    m_btn_show_log->setVisible(offered && showLog);
    if (offered) {
        m_btn_start_over->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::setTimeLeft(const QString& text) {
    m_txt_time_left->setText(text);
    m_txt_time_left->setVisible(!text.isEmpty());
}

void MainWindow::focusConnect() { m_btn_connect->setFocus(Qt::OtherFocusReason); }

void MainWindow::setCloseGuard(std::function<bool()> mayClose) { m_mayClose = std::move(mayClose); }

void MainWindow::setChangeObserver(std::function<void(const ElementChange&)> observer) {
    m_observer = std::move(observer);
}

void MainWindow::setCheckbox_gui(const std::string& text) { m_model.setCheckbox_gui(text); }
void MainWindow::setBtnConnect(const std::string& text) { m_model.setBtnConnect(text); }
void MainWindow::setBtnDownload(const std::string& text) { m_model.setBtnDownload(text); }
void MainWindow::setProgBar(const std::string& text) { m_model.setProgBar(text); }
void MainWindow::setInfoUpperLabel(const std::string& text) { m_model.setInfoUpperLabel(text); }
void MainWindow::setInfoLabel(const std::string& text) { m_model.setInfoLabel(text); }
void MainWindow::setDeviceLabel(const std::string& text) { m_model.setDeviceLabel(text); }
void MainWindow::setQVTDB(const std::string& text) { m_model.setQVTDB(text); }

QWidget* MainWindow::widget(Element element) const { return m_widgets[indexOf(element)]; }

QLabel* MainWindow::label(Element element) const { return qobject_cast<QLabel*>(widget(element)); }

QColor MainWindow::textColour(Element element) const {
    return widget(element)->palette().color(QPalette::WindowText);
}

QColor MainWindow::backgroundColour() const { return m_central->palette().color(QPalette::Window); }

QColor MainWindow::toQColor(Colour colour) {
    switch (colour) {
    case Colour::White:
        return {255, 255, 255};
    case Colour::Black:
        return {0, 0, 0};
    case Colour::Red:
        return {255, 59, 48};
    case Colour::Green:
        return {52, 217, 89};
    case Colour::Yellow:
        return {255, 214, 10};
    }
    return {255, 255, 255};
}

void MainWindow::apply(const ElementChange& change) {
    QWidget* w = widget(change.element);
    const ElementState& s = change.state;
    switch (change.property) {
    case Property::Hidden:
        w->setVisible(!s.hidden);
        break;
    case Property::Enabled:
        w->setEnabled(s.enabled);
        break;
    case Property::Ticked:
        if (m_checkbox_gui_audio == w && m_checkbox_gui_audio->isChecked() != s.ticked) {
            m_checkbox_gui_audio->setChecked(s.ticked);
        }
        break;
    case Property::Animating:
        if (auto* spinner = qobject_cast<Spinner*>(w)) {
            spinner->setAnimating(s.animating);
        }
        break;
    case Property::Text:
        if (auto* text = qobject_cast<QLabel*>(w)) {
            text->setText(QString::fromStdString(s.text));
        }
        break;
    case Property::TextColour: {
        QPalette palette = w->palette();
        palette.setColor(QPalette::WindowText, toQColor(s.textColour));
        w->setPalette(palette);
        break;
    }
    case Property::Value:
        if (w == m_progressbar_download) {
            m_progressbar_download->setValue(static_cast<int>(std::lround(s.value)));
        }
        break;
    }
    // The background has no notice of its own; viewDidLoad changes it along with the texts.
    if (backgroundColour() != toQColor(m_model.windowBackground())) {
        QPalette palette = m_central->palette();
        palette.setColor(QPalette::Window, toQColor(m_model.windowBackground()));
        m_central->setPalette(palette);
    }
}

void MainWindow::renderAll() {
    m_model.replay([this](const ElementChange& change) { apply(change); });
    QPalette palette = m_central->palette();
    palette.setColor(QPalette::Window, toQColor(m_model.windowBackground()));
    m_central->setPalette(palette);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_mayClose && !m_mayClose()) {
        event->ignore();
        return;
    }
    event->accept();
}
