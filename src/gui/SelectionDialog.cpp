#include "gui/SelectionDialog.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>
#include <cstddef>
#include <utility>

namespace {

QString fromStd(const std::string& text) { return QString::fromStdString(text); }

QString columnId(std::string_view id) {
    return QString::fromUtf8(id.data(), static_cast<qsizetype>(id.size()));
}

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
    m_tty->setFocusPolicy(Qt::NoFocus);
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

    auto* boxes = new QHBoxLayout;
    boxes->addWidget(m_CheckBox_Strelka);
    boxes->addWidget(m_CheckBox_Fake);
    boxes->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_label_main);
    bottom->addStretch(1);
    bottom->addWidget(m_btn_Select);
    QSizePolicy keep = m_btn_Select->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_btn_Select->setSizePolicy(keep);

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_tty, 1);
    column->addLayout(boxes);
    column->addLayout(bottom);
    resize(500, 420);

    connect(m_tty, &QTableWidget::cellClicked, this, [this](int row, int /*column*/) {
        if (row >= 0) {
            m_model->tableView_shouldSelectRow(static_cast<std::uint32_t>(row));
        }
    });
    connect(m_CheckBox_Strelka, &QCheckBox::clicked, this, [this](bool on) {
        m_model->setCheckBox_StrelkaState(on);
        m_model->CheckBox_Strelka_Event();
    });
    connect(m_CheckBox_Fake, &QCheckBox::clicked, this, [this](bool on) {
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
