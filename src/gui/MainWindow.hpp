#pragma once
// The main window: draws the window model's sixteen elements and forwards the two buttons.

#include "app/Localizer.hpp"
#include "app/MainWindowModel.hpp"
#include "app/WindowView.hpp"

#include <QColor>
#include <QMainWindow>
#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class Spinner;

// Everything runs on the UI thread. The model is the truth: every change notice is applied to
// its widget at once, and the eight window operations go through the model.
class MainWindow final : public QMainWindow, public WindowView {
    Q_OBJECT
public:
    // model outlives the window.
    explicit MainWindow(MainWindowModel& model, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The buttons' actions (btn_Start, btn_DownloadStart).
    void setActions(std::function<void()> onConnect, std::function<void()> onDownload);
    // Asked when the user closes the window; false keeps it open.
    void setCloseGuard(std::function<bool()> mayClose);
    // Told of every change after the window has drawn it (screenshots, diagnostics).
    void setChangeObserver(std::function<void(const ElementChange&)> observer);

    void setCheckbox_gui(const std::string& text) override;
    void setBtnConnect(const std::string& text) override;
    void setBtnDownload(const std::string& text) override;
    void setProgBar(const std::string& text) override;
    void setInfoUpperLabel(const std::string& text) override;
    void setInfoLabel(const std::string& text) override;
    void setDeviceLabel(const std::string& text) override;
    void setQVTDB(const std::string& text) override;

    // The widget that shows an element.
    [[nodiscard]] QWidget* widget(Element element) const;
    [[nodiscard]] QPushButton* btn_connect() const { return m_btn_connect; }
    [[nodiscard]] QPushButton* btn_download() const { return m_btn_download; }
    [[nodiscard]] QProgressBar* progressbar_download() const { return m_progressbar_download; }
    [[nodiscard]] Spinner* circle_progressbar_connect() const { return m_circle_connect; }
    [[nodiscard]] Spinner* circle_progressbar_download() const { return m_circle_download; }
    [[nodiscard]] QCheckBox* checkbox_gui_audio() const { return m_checkbox_gui_audio; }
    [[nodiscard]] QLabel* label(Element element) const;
    // The colour a text line is drawn in now.
    [[nodiscard]] QColor textColour(Element element) const;
    [[nodiscard]] QColor backgroundColour() const;

    static QColor toQColor(Colour colour);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void apply(const ElementChange& change);
    void renderAll();

    MainWindowModel& m_model;
    std::array<QWidget*, kElementCount> m_widgets{};
    QWidget* m_central = nullptr;
    QPushButton* m_btn_connect = nullptr;
    QPushButton* m_btn_download = nullptr;
    QProgressBar* m_progressbar_download = nullptr;
    Spinner* m_circle_connect = nullptr;
    Spinner* m_circle_download = nullptr;
    QCheckBox* m_checkbox_gui_audio = nullptr;
    std::function<void()> m_onConnect;
    std::function<void()> m_onDownload;
    std::function<bool()> m_mayClose;
    std::function<void(const ElementChange&)> m_observer;
};
