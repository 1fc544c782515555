#include "gui/SelectionDialog.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <cstddef>
#include <utility>

namespace {

QString fromStd(const std::string& text) { return QString::fromStdString(text); }

QString columnId(std::string_view id) {
    return QString::fromUtf8(id.data(), static_cast<qsizetype>(id.size()));
}

constexpr int kNoticeMs = 4000;

QString number(std::uint32_t value) { return QLocale().toString(static_cast<qulonglong>(value)); }

QString limitText() { return number(SelectionDBViewController::kSelectionLimit); }

} // namespace

SelectionDialog::SelectionDialog(std::shared_ptr<SelectionDBViewController> model, QWidget* parent)
    : QDialog(parent)
    , m_model(std::move(model)) {
    build();
    m_model->setListener([this](DialogPart part) { render(part); });
    if (m_model->title().empty()) {
        m_model->viewDidLoad();
    }
    for (const DialogPart part : {DialogPart::Title, DialogPart::Table, DialogPart::SelectButton,
                                  DialogPart::CheckBoxes, DialogPart::LabelMain}) {
        render(part);
    }
}

SelectionDialog::~SelectionDialog() { m_model->setListener({}); }

void SelectionDialog::build() {
    setObjectName(QStringLiteral("SelectionDBView"));
    // The dialog's own black theme; the widgets inside keep the style's colours.
    setStyleSheet(QStringLiteral(
        "QDialog#SelectionDBView { background: black; }"
        "QDialog#SelectionDBView > QCheckBox { color: white; }"
        "QTableWidget { background: #111; color: white; gridline-color: #333;"
        " selection-background-color: #111; selection-color: white; }"
        "QHeaderView::section { background: #222; color: white; border: 0; padding: 4px; }"));

    m_tty = new QTableWidget(this);
    m_tty->setObjectName(QStringLiteral("tty"));
    m_tty->setColumnCount(3);
    //% "Chosen"
    //% "Cameras"
    m_tty->setHorizontalHeaderLabels({columnId(SelectionDBViewController::kCityColumn),
                                      qtTrId("gui_dialog_check_column"),
                                      qtTrId("gui_dialog_count_column")});
    m_tty->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tty->setSelectionMode(QAbstractItemView::NoSelection);
    // Reachable from the keyboard: Space toggles the current row (see eventFilter).
    m_tty->setFocusPolicy(Qt::StrongFocus);
    m_tty->installEventFilter(this);
    //% "Countries"
    m_tty->setAccessibleName(qtTrId("gui_a11y_country_table"));
    //% "Click a country, or press Space on it, to choose it or take it out."
    m_tty->setAccessibleDescription(qtTrId("gui_a11y_country_table_help"));
    m_tty->verticalHeader()->hide();
    m_tty->horizontalHeader()->setSectionResizeMode(kCityColumn, QHeaderView::Stretch);
    m_tty->horizontalHeader()->setSectionResizeMode(kCheckColumn, QHeaderView::ResizeToContents);
    m_tty->horizontalHeader()->setSectionResizeMode(kCountColumn, QHeaderView::ResizeToContents);

    //% "Exclude Strelka cameras"
    m_CheckBox_Strelka = new QCheckBox(qtTrId("gui_dialog_exclude_strelka"), this);
    m_CheckBox_Strelka->setObjectName(QStringLiteral("CheckBox_Strelka"));
    //% "Exclude Fake cameras"
    m_CheckBox_Fake = new QCheckBox(qtTrId("gui_dialog_exclude_fake"), this);
    m_CheckBox_Fake->setObjectName(QStringLiteral("CheckBox_Fake"));
    //% "Write the chosen countries"
    m_btn_Select = new QPushButton(qtTrId("gui_dialog_select"), this);
    m_btn_Select->setObjectName(QStringLiteral("btn_Select"));
    m_btn_Select->setAutoDefault(false);
    m_label_main = new QLabel(this);
    m_label_main->setObjectName(QStringLiteral("label_main"));
    m_label_total = new QLabel(this);
    m_label_total->setObjectName(QStringLiteral("label_total"));
    m_label_total->setStyleSheet(QStringLiteral("color: white;"));
    //% "Cameras chosen"
    m_label_total->setAccessibleName(qtTrId("gui_a11y_total"));
    //% "Last choice"
    m_btn_LastChoice = new QPushButton(qtTrId("gui_dialog_last_choice"), this);
    m_btn_LastChoice->setObjectName(QStringLiteral("btn_LastChoice"));
    m_btn_LastChoice->setAutoDefault(false);
    m_btn_LastChoice->setEnabled(false);
    m_btn_Select->setAccessibleName(m_btn_Select->text());
    m_btn_LastChoice->setAccessibleName(m_btn_LastChoice->text());
    m_CheckBox_Strelka->setAccessibleName(m_CheckBox_Strelka->text());
    m_CheckBox_Fake->setAccessibleName(m_CheckBox_Fake->text());
    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setSingleShot(true);
    m_noticeTimer->setInterval(kNoticeMs);
    connect(m_noticeTimer, &QTimer::timeout, this, [this] { showTotal(); });

    auto* boxes = new QHBoxLayout;
    boxes->addWidget(m_CheckBox_Strelka);
    boxes->addWidget(m_CheckBox_Fake);
    boxes->addStretch(1);
    auto* bottom = new QHBoxLayout;
    // label_main stays hidden, as the model says; the total line is the visible count.
    bottom->addWidget(m_label_main);
    bottom->addWidget(m_btn_LastChoice);
    bottom->addStretch(1);
    bottom->addWidget(m_btn_Select);
    QSizePolicy keep = m_btn_Select->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_btn_Select->setSizePolicy(keep);

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_tty, 1);
    column->addWidget(m_label_total);
    column->addLayout(boxes);
    column->addLayout(bottom);
    resize(500, 420);

    connect(m_tty, &QTableWidget::cellClicked, this,
            [this](int row, int /*column*/) { toggleRow(row); });
    connect(m_btn_LastChoice, &QPushButton::clicked, this, [this] { applyLastChoice(); });
    connect(m_CheckBox_Strelka, &QCheckBox::clicked, this, [this](bool on) {
        clearNotice();
        m_model->setCheckBox_StrelkaState(on);
        m_model->CheckBox_Strelka_Event();
    });
    connect(m_CheckBox_Fake, &QCheckBox::clicked, this, [this](bool on) {
        clearNotice();
        m_model->setCheckBox_FakeState(on);
        m_model->CheckBox_Fake_Event();
    });
    connect(m_btn_Select, &QPushButton::clicked, this,
            [this] { m_model->btn_Selecte_Click_Event(); });
}

void SelectionDialog::render(DialogPart part) {
    switch (part) {
    case DialogPart::Title:
        setWindowTitle(fromStd(m_model->title()));
        break;
    case DialogPart::Table:
        fillTable();
        break;
    case DialogPart::SelectButton:
        m_btn_Select->setHidden(m_model->btn_SelectHidden());
        break;
    case DialogPart::CheckBoxes: {
        const QSignalBlocker strelka(m_CheckBox_Strelka);
        const QSignalBlocker fake(m_CheckBox_Fake);
        m_CheckBox_Strelka->setChecked(m_model->CheckBox_StrelkaOn());
        m_CheckBox_Fake->setChecked(m_model->CheckBox_FakeOn());
        break;
    }
    case DialogPart::LabelMain:
        m_label_main->setText(fromStd(m_model->label_main()));
        m_label_main->setHidden(m_model->label_mainHidden());
        showTotal();
        break;
    case DialogPart::Closed:
        // The answer follows this notice; close() only schedules the deletion.
        close();
        break;
    }
}

void SelectionDialog::fillTable() {
    const auto rows = m_model->numberOfRowsInTableView();
    m_tty->setRowCount(static_cast<int>(rows));
    for (std::uint32_t row = 0; row < rows; ++row) {
        const auto r = static_cast<int>(row);
        const QString name = fromStd(
            m_model->tableView_viewForTableColumn_row(SelectionDBViewController::kCityColumn, row));
        const QString check = fromStd(m_model->tableView_viewForTableColumn_row(
            SelectionDBViewController::kCheckColumn, row));
        const QString count = row < m_model->locCountrySpeedCamNumArray().size()
                                  ? fromStd(m_model->locCountrySpeedCamNumArray()[row])
                                  : QString();
        const std::array<QString, 3> texts{name, check, count};
        for (int column = 0; column < 3; ++column) {
            QTableWidgetItem* item = m_tty->item(r, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                item->setFlags(Qt::ItemIsEnabled);
                m_tty->setItem(r, column, item);
            }
            item->setText(texts[static_cast<std::size_t>(column)]);
        }
        m_tty->item(r, kCheckColumn)
            ->setForeground(check == QLatin1String("YES") ? QColor(52, 217, 89)
                                                          : QColor(170, 170, 170));
        m_tty->item(r, kCountColumn)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
}

QString SelectionDialog::totalText(std::uint32_t total) {
    //% "%1 of %2 cameras"
    return qtTrId("gui_dialog_total").arg(number(total), limitText());
}

void SelectionDialog::setLastChoice(std::optional<LastChoice> choice) {
    m_lastChoice = std::move(choice);
    m_btn_LastChoice->setEnabled(m_lastChoice.has_value() && !m_lastChoice->empty());
    QStringList names;
    if (m_lastChoice) {
        for (const std::string& name : m_lastChoice->countries()) {
            names << fromStd(name);
        }
    }
    m_btn_LastChoice->setToolTip(names.join(QStringLiteral(", ")));
}

void SelectionDialog::setNoticeMilliseconds(int milliseconds) {
    m_noticeTimer->setInterval(milliseconds);
}

void SelectionDialog::showTotal() {
    if (m_noticeTimer->isActive()) {
        return;
    }
    m_label_total->setText(totalText(m_model->total_selected_db_num()));
}

void SelectionDialog::showNotice(const QString& text) {
    m_noticeTimer->start();
    m_label_total->setText(text);
}

void SelectionDialog::clearNotice() {
    m_noticeTimer->stop();
    showTotal();
}

void SelectionDialog::toggleRow(int row) {
    if (row < 0) {
        return;
    }
    const auto r = static_cast<std::uint32_t>(row);
    clearNotice();
    // The model refuses silently; the row stays "NO" and the line says why.
    if (const auto wouldBe = m_model->clickRow(r)) {
        //% "Not added: %3 would make %1, more than the limit of %2 cameras"
        showNotice(qtTrId("gui_dialog_refused")
                       .arg(number(*wouldBe), limitText(),
                            fromStd(m_model->tableView_viewForTableColumn_row(
                                SelectionDBViewController::kCityColumn, r))));
    }
}

void SelectionDialog::applyLastChoice() {
    if (!m_lastChoice) {
        return;
    }
    clearNotice();
    const LastChoice::Result result = m_lastChoice->applyTo(*m_model);
    if (!result.applied) {
        //% "The last choice now holds %1 cameras, more than %2: not applied"
        showNotice(
            qtTrId("gui_dialog_last_choice_refused").arg(number(result.refusedTotal), limitText()));
        return;
    }
    if (!result.missing.empty()) {
        QStringList names;
        for (const std::string& name : result.missing) {
            names << fromStd(name);
        }
        //% "No longer listed, skipped: %1"
        showNotice(qtTrId("gui_dialog_last_choice_missing").arg(names.join(QStringLiteral(", "))));
    }
}

bool SelectionDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_tty && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && m_tty->currentRow() >= 0) {
            toggleRow(m_tty->currentRow());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
