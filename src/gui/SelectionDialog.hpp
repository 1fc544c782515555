#pragma once
// The country selection dialog: draws the selection model and hands the user's clicks to it.

#include "app/SelectionDBViewController.hpp"

#include <QDialog>
#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

// Columns: "City" (the country name), the check text ("YES"/"NO") and the camera count. A click
// anywhere in a row toggles it. The model's Closed notice closes the dialog; closing it by the
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
    [[nodiscard]] const std::shared_ptr<SelectionDBViewController>& model() const {
        return m_model;
    }

private:
    void build();
    void render(DialogPart part);
    void fillTable();

    std::shared_ptr<SelectionDBViewController> m_model;
    QTableWidget* m_tty = nullptr;
    QPushButton* m_btn_Select = nullptr;
    QCheckBox* m_CheckBox_Strelka = nullptr;
    QCheckBox* m_CheckBox_Fake = nullptr;
    QLabel* m_label_main = nullptr;
};
