#pragma once
// The country selection dialog of the Win32 window: draws the selection model and hands the
// user's clicks to it.

#include "app/LastChoice.hpp"
#include "app/Localizer.hpp"
#include "app/SelectionDBViewController.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <windows.h>

// Columns: "City" (the country name), the check text ("YES"/"NO") and the camera count. A click
// anywhere in a row, or Space on the focused row, toggles it. The total line shows the choice's
// camera count against the limit, and for a few seconds why a click or the last choice was
// refused. The model's Closed notice closes the dialog; the close box and Escape close it
// without an answer. The dialog is application-modal but does not block: open() returns at
// once and the host's message loop runs it (see preTranslate). UI thread only.
class SelectionDialogWin32 final {
public:
    static constexpr int kCityColumn = 0;
    static constexpr int kCheckColumn = 1;
    static constexpr int kCountColumn = 2;

    enum class Control { Table, TotalLine, CheckBoxStrelka, CheckBoxFake, LastChoice, Select };

    SelectionDialogWin32(const SelectionDialogWin32&) = delete;
    SelectionDialogWin32& operator=(const SelectionDialogWin32&) = delete;
    SelectionDialogWin32(SelectionDialogWin32&&) = delete;
    SelectionDialogWin32& operator=(SelectionDialogWin32&&) = delete;

    // Shows the dialog as a popup owned by owner (may be null), disables owner and returns the
    // dialog's window at once; closing it enables and activates owner again and destroys the
    // dialog. model has its data; viewDidLoad is run here if it has not run yet. texts is read
    // here only; language ("en" or "ru") groups the numbers. Returns null, with owner left as
    // it was, when the window could not be made.
    static HWND open(HWND owner, std::shared_ptr<SelectionDBViewController> model,
                     const Localizer& texts, std::string_view language);
    // The dialog behind window, or null when window is not an open dialog of this kind.
    [[nodiscard]] static SelectionDialogWin32* fromWindow(HWND window);
    // For the host's message loop, before TranslateMessage: true when msg belonged to an open
    // dialog's keyboard handling (Tab, Space, Enter, Escape) and was handled; it must then not
    // be dispatched.
    static bool preTranslate(MSG& msg);

    // The choice "Last choice" restores; without one the button is disabled.
    void setLastChoice(std::optional<LastChoice> choice);
    // How long a refusal stays in the total line (4 s unless set).
    void setNoticeMilliseconds(unsigned milliseconds);

    [[nodiscard]] HWND window() const { return m_hwnd; }
    [[nodiscard]] HWND control(Control which) const;
    // A cell's text as the table shows it; empty for a cell that does not exist.
    [[nodiscard]] std::string cellText(int row, int column) const;
    [[nodiscard]] std::string totalLine() const;
    [[nodiscard]] const std::shared_ptr<SelectionDBViewController>& model() const {
        return m_model;
    }

private:
    struct Texts {
        std::string checkColumn, countColumn, excludeStrelka, excludeFake, select, total,
            lastChoice, refused, lastChoiceRefused, lastChoiceMissing, tableName, tableHelp,
            totalName, language;
    };

    SelectionDialogWin32(HWND owner, std::shared_ptr<SelectionDBViewController> model, Texts texts);
    ~SelectionDialogWin32();

    static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void build();
    void applyDpi(UINT dpi);
    void layout();
    void placeOverOwner();
    INT_PTR notify(const NMHDR& header, LPARAM lParam);
    void command(int id, int code);
    void render(DialogPart part);
    void fillTable();
    void toggleRow(int row);
    void applyLastChoice();
    void showTotal();
    void showNotice(const std::string& text);
    void clearNotice();
    void finish();
    [[nodiscard]] std::string number(std::uint32_t value) const;
    [[nodiscard]] int scaled(int logical) const;
    [[nodiscard]] int textWidth(const std::string& text) const;

    HWND m_owner = nullptr;
    HWND m_hwnd = nullptr;
    std::shared_ptr<SelectionDBViewController> m_model;
    Texts m_texts;
    std::optional<LastChoice> m_lastChoice;
    UINT m_noticeMs = 4000;
    bool m_noticeActive = false;
    bool m_finishing = false;
    UINT m_dpi = 96;
    HFONT m_font = nullptr;
    int m_lineHeight = 16;

    HWND m_tableHelp = nullptr;
    HWND m_tableLabel = nullptr;
    HWND m_table = nullptr;
    HWND m_total = nullptr;
    HWND m_strelka = nullptr;
    HWND m_fake = nullptr;
    HWND m_lastChoiceButton = nullptr;
    HWND m_select = nullptr;
    HWND m_tooltip = nullptr;
};
