#pragma once
// The main window: draws the window model's sixteen elements and forwards the two buttons; below
// them, what the window adds around one update: the time left, starting over and the log.

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
    // Told of every change as well, for the run's log.
    void setChangeLog(std::function<void(const ElementChange&)> log);
    // "Update another detector" and "Show log".
    void setRunActions(std::function<void()> onStartOver, std::function<void()> onShowLog);
    // At the end of a run: offers starting over and, after a failure, the log; with offered
    // false both go away. The keyboard focus goes to "Update another detector".
    void offerRunEnd(bool offered, bool showLog);
    // The line under the progress bar; an empty text hides it.
    void setTimeLeft(const QString& text);
    // The keyboard focus on Connect, as at start-up.
    void focusConnect();

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
    [[nodiscard]] QPushButton* btn_start_over() const { return m_btn_start_over; }
    [[nodiscard]] QPushButton* btn_show_log() const { return m_btn_show_log; }
    [[nodiscard]] QLabel* txt_time_left() const { return m_txt_time_left; }
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
    void nameForScreenReaders();

    MainWindowModel& m_model;
    std::array<QWidget*, kElementCount> m_widgets{};
    QWidget* m_central = nullptr;
    QPushButton* m_btn_connect = nullptr;
    QPushButton* m_btn_download = nullptr;
    QProgressBar* m_progressbar_download = nullptr;
    Spinner* m_circle_connect = nullptr;
    Spinner* m_circle_download = nullptr;
    QCheckBox* m_checkbox_gui_audio = nullptr;
    QPushButton* m_btn_start_over = nullptr;
    QPushButton* m_btn_show_log = nullptr;
    QLabel* m_txt_time_left = nullptr;
    std::function<void()> m_onConnect;
    std::function<void()> m_onStartOver;
    std::function<void()> m_onShowLog;
    std::function<void(const ElementChange&)> m_changeLog;
    std::function<void()> m_onDownload;
    std::function<bool()> m_mayClose;
    std::function<void(const ElementChange&)> m_observer;
};
