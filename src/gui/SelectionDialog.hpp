#pragma once
// The country selection dialog: draws the selection model and hands the user's clicks to it.

#include "app/LastChoice.hpp"
#include "app/SelectionDBViewController.hpp"

#include <QDialog>
#include <cstdint>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

// Columns: "City" (the country name), the check text ("YES"/"NO") and the camera count. A click
// anywhere in a row, or Space on the current row, toggles it. The total line under the table
// shows the choice's camera count against the limit, and for a few seconds why a click or the
// last choice was refused. The model's Closed notice closes the dialog; closing it by the
// window's own button answers nothing.
class SelectionDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCityColumn = 0;
    static constexpr int kCheckColumn = 1;
    static constexpr int kCountColumn = 2;

    // model has its data; viewDidLoad is run here if it has not run yet.
    explicit SelectionDialog(std::shared_ptr<SelectionDBViewController> model,
                             QWidget* parent = nullptr);
    ~SelectionDialog() override;

    [[nodiscard]] QTableWidget* tty() const { return m_tty; }
    [[nodiscard]] QPushButton* btn_Select() const { return m_btn_Select; }
    [[nodiscard]] QCheckBox* CheckBox_Strelka() const { return m_CheckBox_Strelka; }
    [[nodiscard]] QCheckBox* CheckBox_Fake() const { return m_CheckBox_Fake; }
    [[nodiscard]] QLabel* label_main() const { return m_label_main; }
    [[nodiscard]] QLabel* label_total() const { return m_label_total; }
    [[nodiscard]] QPushButton* btn_LastChoice() const { return m_btn_LastChoice; }

    // The choice "Last choice" restores; without one the button is disabled.
    void setLastChoice(std::optional<LastChoice> choice);
    // How long a refusal stays in the total line.
    void setNoticeMilliseconds(int milliseconds);
    // "3,500 of 9,300 cameras", numbers in the window's language.
    [[nodiscard]] static QString totalText(std::uint32_t total);
    [[nodiscard]] const std::shared_ptr<SelectionDBViewController>& model() const {
        return m_model;
    }

private:
    void build();
    void render(DialogPart part);
    void fillTable();
    void toggleRow(int row);
    void applyLastChoice();
    void showTotal();
    void showNotice(const QString& text);
    void clearNotice();
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::shared_ptr<SelectionDBViewController> m_model;
    QTableWidget* m_tty = nullptr;
    QPushButton* m_btn_Select = nullptr;
    QCheckBox* m_CheckBox_Strelka = nullptr;
    QCheckBox* m_CheckBox_Fake = nullptr;
    QLabel* m_label_main = nullptr;
    QLabel* m_label_total = nullptr;
    QPushButton* m_btn_LastChoice = nullptr;
    QTimer* m_noticeTimer = nullptr;
    std::optional<LastChoice> m_lastChoice;
};
