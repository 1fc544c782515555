#include "win/SelectionDialogWin32.hpp"

#include "app/TextFormat.hpp"
#include "install/WideText.hpp"
#include "win/Win32Ui.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include <commctrl.h>
#include <uxtheme.h>

namespace {

constexpr int kIdTableHelp = 1001;
constexpr int kIdTableLabel = 1002;
constexpr int kIdTable = 1003;
constexpr int kIdTotal = 1004;
constexpr int kIdStrelka = 1005;
constexpr int kIdFake = 1006;
constexpr int kIdLastChoice = 1007;
constexpr int kIdSelect = 1008;

constexpr UINT_PTR kNoticeTimer = 1;
// Posted by the model's Closed notice: the answer follows the notice, so the window goes only
// after the model has returned.
constexpr UINT kDestroyMessage = WM_APP + 1;
constexpr wchar_t kProperty[] = L"DetectorSelectionDialogWin32";

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kTableBackground = RGB(17, 17, 17);
constexpr COLORREF kYes = RGB(52, 217, 89);
constexpr COLORREF kNo = RGB(170, 170, 170);

// The client size at 100 %, as the Qt dialog opens.
constexpr int kClientWidth = 500;
constexpr int kClientHeight = 420;

// Per-monitor calls of Windows 10 1607 and later, looked up so the program still starts on
// older systems (which then lay out at the system DPI).
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using SetDialogDpiChangeBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
using win32::systemDpi;
using win32::user32Function;
using win32::windowDpi;

// The message font at dpi: what Windows' own dialogs use, sized for the dialog's monitor.
HFONT messageFont(UINT dpi) {
    static const auto forDpi =
        user32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi != nullptr && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        metrics.lfMessageFont.lfHeight = MulDiv(
            metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi()));
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

std::wstring wide(std::string_view text) { return sys::wideFromUtf8(text); }

void setText(HWND hwnd, std::string_view text) { SetWindowTextW(hwnd, wide(text).c_str()); }

void setCellText(HWND table, int row, int column, const std::string& text) {
    std::wstring value = wide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = value.data();
    SendMessageW(table, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

constexpr COLORREF kHeaderBackground = RGB(34, 34, 34);
constexpr COLORREF kHeaderDivider = RGB(51, 51, 51);

// The header's custom draw goes to its parent, the list view, not to the dialog: the list view is
// subclassed to draw the header white on dark grey, as the Qt table's.
LRESULT drawHeaderItem(NMCUSTOMDRAW& draw) {
    if (draw.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw.dwDrawStage != CDDS_ITEMPREPAINT) {
        return CDRF_DODEFAULT;
    }
    std::array<wchar_t, 128> title{};
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_FORMAT;
    item.pszText = title.data();
    item.cchTextMax = static_cast<int>(title.size());
    SendMessageW(draw.hdr.hwndFrom, HDM_GETITEMW, draw.dwItemSpec, reinterpret_cast<LPARAM>(&item));
    RECT area = draw.rc;
    HBRUSH background = CreateSolidBrush(kHeaderBackground);
    FillRect(draw.hdc, &area, background);
    DeleteObject(background);
    HBRUSH divider = CreateSolidBrush(kHeaderDivider);
    RECT edge{area.right - 1, area.top, area.right, area.bottom};
    FillRect(draw.hdc, &edge, divider);
    DeleteObject(divider);
    const int padding = MulDiv(area.bottom - area.top, 1, 4);
    area.left += padding;
    area.right -= padding;
    SetBkMode(draw.hdc, TRANSPARENT);
    SetTextColor(draw.hdc, kWhite);
    const UINT align = (item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT ? DT_RIGHT : DT_LEFT;
    DrawTextW(draw.hdc, title.data(), -1, &area,
              align | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    return CDRF_SKIPDEFAULT;
}

LRESULT CALLBACK tableProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                           DWORD_PTR /*data*/) {
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == NM_CUSTOMDRAW &&
            header->hwndFrom == reinterpret_cast<HWND>(SendMessageW(hwnd, LVM_GETHEADER, 0, 0))) {
            return drawHeaderItem(*reinterpret_cast<NMCUSTOMDRAW*>(lParam));
        }
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &tableProc, id);
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void addTool(HWND tooltip, HWND owner, HWND control, const std::string& text) {
    std::wstring value = wide(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = value.data();
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void setTool(HWND tooltip, HWND owner, HWND control, const std::string& text) {
    std::wstring value = wide(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = value.data();
    SendMessageW(tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

} // namespace

HWND SelectionDialogWin32::open(HWND owner, std::shared_ptr<SelectionDBViewController> model,
                                const Localizer& texts, std::string_view language) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    Texts t{texts.L("gui_dialog_check_column"),
            texts.L("gui_dialog_count_column"),
            texts.L("gui_dialog_exclude_strelka"),
            texts.L("gui_dialog_exclude_fake"),
            texts.L("gui_dialog_select"),
            texts.L("gui_dialog_total"),
            texts.L("gui_dialog_last_choice"),
            texts.L("gui_dialog_refused"),
            texts.L("gui_dialog_last_choice_refused"),
            texts.L("gui_dialog_last_choice_missing"),
            texts.L("gui_a11y_country_table"),
            texts.L("gui_a11y_country_table_help"),
            texts.L("gui_a11y_total"),
            std::string(language)};
    auto* dialog = new SelectionDialogWin32(owner, std::move(model), std::move(t));

    // An empty template: the controls are made in WM_INITDIALOG, sized in pixels for the
    // monitor, not in dialog units of a template font.
    static_assert(sizeof(DLGTEMPLATE) == 18);
    alignas(DWORD) std::array<WORD, 12> words{};
    DLGTEMPLATE frame{};
    frame.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
    std::memcpy(words.data(), &frame, sizeof frame);
    // words[9..11]: no menu, the standard dialog class, an empty title.
    HWND hwnd = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                           reinterpret_cast<const DLGTEMPLATE*>(words.data()),
                                           owner, &dialogProc, reinterpret_cast<LPARAM>(dialog));
    if (hwnd == nullptr) {
        delete dialog;
        return nullptr;
    }
    if (owner != nullptr) {
        EnableWindow(owner, FALSE);
    }
    ShowWindow(hwnd, SW_SHOW);
    SetFocus(dialog->m_table);
    return hwnd;
}

SelectionDialogWin32* SelectionDialogWin32::fromWindow(HWND window) {
    if (window == nullptr || !IsWindow(window)) {
        return nullptr;
    }
    return static_cast<SelectionDialogWin32*>(GetPropW(window, kProperty));
}

bool SelectionDialogWin32::preTranslate(MSG& msg) {
    if (msg.hwnd == nullptr) {
        return false;
    }
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    SelectionDialogWin32* dialog = fromWindow(root);
    return dialog != nullptr && IsDialogMessageW(root, &msg) != FALSE;
}

SelectionDialogWin32::SelectionDialogWin32(HWND owner,
                                           std::shared_ptr<SelectionDBViewController> model,
                                           Texts texts)
    : m_owner(owner)
    , m_model(std::move(model))
    , m_texts(std::move(texts)) {}

SelectionDialogWin32::~SelectionDialogWin32() {
    m_model->setListener({});
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
}

INT_PTR CALLBACK SelectionDialogWin32::dialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<SelectionDialogWin32*>(lParam);
        dialog->m_hwnd = hwnd;
        SetPropW(hwnd, kProperty, dialog);
        dialog->build();
        // Focus is set by open() once the window is shown.
        return FALSE;
    }
    auto* dialog = static_cast<SelectionDialogWin32*>(GetPropW(hwnd, kProperty));
    if (dialog == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        RemovePropW(hwnd, kProperty);
        delete dialog;
        return FALSE;
    }
    return dialog->handle(message, wParam, lParam);
}

INT_PTR SelectionDialogWin32::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH));
    case WM_CTLCOLORSTATIC: {
        auto* dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, reinterpret_cast<HWND>(lParam) == m_tableHelp ? kNo : kWhite);
        SetBkColor(dc, RGB(0, 0, 0));
        return reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH));
    }
    case WM_CTLCOLORBTN:
        // The push buttons' corners, outside their themed face.
        return reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH));
    case WM_SIZE:
        layout();
        return TRUE;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = scaled(380);
        info->ptMinTrackSize.y = scaled(300);
        return TRUE;
    }
    case WM_DPICHANGED: {
        applyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        layout();
        return TRUE;
    }
    case WM_NOTIFY:
        return notify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_TIMER:
        if (wParam == kNoticeTimer) {
            KillTimer(m_hwnd, kNoticeTimer);
            m_noticeActive = false;
            showTotal();
        }
        return TRUE;
    case kDestroyMessage:
        DestroyWindow(m_hwnd);
        return TRUE;
    case WM_DESTROY:
        // However the window goes, the owner must not stay disabled.
        if (m_owner != nullptr) {
            EnableWindow(m_owner, TRUE);
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void SelectionDialogWin32::build() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* type, const std::string& text, DWORD style, int id,
                    DWORD exStyle = 0) {
        return CreateWindowExW(exStyle, type, wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0,
                               0, 0, 0, m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               instance, nullptr);
    };
    // Creation order is tab order and the order MSAA reads labels in: a static just before a
    // control without a caption of its own (the table) names it.
    m_tableHelp = make(WC_STATICW, m_texts.tableHelp, SS_LEFT | SS_NOPREFIX, kIdTableHelp);
    m_tableLabel = make(WC_STATICW, m_texts.tableName, SS_LEFT | SS_NOPREFIX, kIdTableLabel);
    m_table = make(WC_LISTVIEWW, m_texts.tableName,
                   WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                   kIdTable);
    m_total = make(WC_STATICW, "", SS_LEFT | SS_NOPREFIX | SS_NOTIFY, kIdTotal);
    m_strelka = make(WC_BUTTONW, m_texts.excludeStrelka, WS_TABSTOP | BS_AUTOCHECKBOX, kIdStrelka);
    m_fake = make(WC_BUTTONW, m_texts.excludeFake, WS_TABSTOP | BS_AUTOCHECKBOX, kIdFake);
    m_lastChoiceButton =
        make(WC_BUTTONW, m_texts.lastChoice, WS_TABSTOP | BS_PUSHBUTTON, kIdLastChoice);
    m_select = make(WC_BUTTONW, m_texts.select, WS_TABSTOP | BS_PUSHBUTTON, kIdSelect);
    EnableWindow(m_lastChoiceButton, FALSE);

    // A themed check box draws its caption in the theme's text colour, black on this black
    // background, whatever WM_CTLCOLORSTATIC says. Unthemed, it takes the colour given there.
    SetWindowTheme(m_strelka, L"", L"");
    SetWindowTheme(m_fake, L"", L"");

    SetWindowSubclass(m_table, &tableProc, 1, 0);
    SendMessageW(m_table, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    SendMessageW(m_table, LVM_SETBKCOLOR, 0, kTableBackground);
    SendMessageW(m_table, LVM_SETTEXTBKCOLOR, 0, kTableBackground);
    SendMessageW(m_table, LVM_SETTEXTCOLOR, 0, kWhite);
    const std::array<std::pair<std::string, int>, 3> columns{
        {{std::string(SelectionDBViewController::kCityColumn), LVCFMT_LEFT},
         {m_texts.checkColumn, LVCFMT_LEFT},
         {m_texts.countColumn, LVCFMT_RIGHT}}};
    for (int i = 0; i < 3; ++i) {
        std::wstring title = wide(columns[static_cast<std::size_t>(i)].first);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = columns[static_cast<std::size_t>(i)].second;
        column.cx = 60;
        column.pszText = title.data();
        column.iSubItem = i;
        SendMessageW(m_table, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
    }

    m_tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd,
                                nullptr, instance, nullptr);
    if (m_tooltip != nullptr) {
        addTool(m_tooltip, m_hwnd, m_total, m_texts.totalName);
        addTool(m_tooltip, m_hwnd, m_lastChoiceButton, "");
    }

    applyDpi(windowDpi(m_hwnd));
    placeOverOwner();
    // Centred on another monitor, the window may have changed DPI on the way.
    if (const UINT dpi = windowDpi(m_hwnd); dpi != m_dpi) {
        applyDpi(dpi);
        placeOverOwner();
    }

    static const auto noAutoScaling =
        user32Function<SetDialogDpiChangeBehaviorFn>("SetDialogDpiChangeBehavior");
    if (noAutoScaling != nullptr) {
        // DDC_DISABLE_ALL: the dialog lays itself out on WM_DPICHANGED.
        noAutoScaling(m_hwnd, 1, 1);
    }

    m_model->setListener([this](DialogPart part) { render(part); });
    if (m_model->title().empty()) {
        m_model->viewDidLoad();
    }
    for (const DialogPart part : {DialogPart::Title, DialogPart::Table, DialogPart::SelectButton,
                                  DialogPart::CheckBoxes, DialogPart::LabelMain}) {
        render(part);
    }
}

void SelectionDialogWin32::applyDpi(UINT dpi) {
    m_dpi = dpi;
    HFONT font = messageFont(dpi);
    for (HWND control : {m_tableHelp, m_tableLabel, m_table, m_total, m_strelka, m_fake,
                         m_lastChoiceButton, m_select, m_tooltip}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
    m_font = font;
    HDC dc = GetDC(m_hwnd);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(m_hwnd, dc);
    m_lineHeight = std::max<int>(metrics.tmHeight, 1);
    if (m_tooltip != nullptr) {
        SendMessageW(m_tooltip, TTM_SETMAXTIPWIDTH, 0, scaled(400));
    }
}

void SelectionDialogWin32::placeOverOwner() {
    RECT frame{0, 0, scaled(kClientWidth), scaled(kClientHeight)};
    win32::adjustWindowRect(frame, static_cast<DWORD>(GetWindowLongPtrW(m_hwnd, GWL_STYLE)),
                            static_cast<DWORD>(GetWindowLongPtrW(m_hwnd, GWL_EXSTYLE)), m_dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT over{};
    if (m_owner == nullptr || !GetWindowRect(m_owner, &over)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromRect(&over, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    int x = (over.left + over.right - width) / 2;
    int y = (over.top + over.bottom - height) / 2;
    // Kept on the owner's monitor, its title bar reachable.
    x = std::max<int>(work.left, std::min<int>(x, work.right - width));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
    SetWindowPos(m_hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

int SelectionDialogWin32::scaled(int logical) const {
    return MulDiv(logical, static_cast<int>(m_dpi), 96);
}

int SelectionDialogWin32::textWidth(const std::string& text) const {
    return win32::textWidth(m_hwnd, m_font, text);
}

void SelectionDialogWin32::layout() {
    if (m_table == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(m_hwnd, &client);
    const int width = client.right;
    const int height = client.bottom;
    const int margin = scaled(10);
    const int gap = scaled(6);
    const int line = m_lineHeight;
    const int buttonHeight = line + scaled(10);
    const int boxHeight = std::max(line, scaled(13)) + scaled(4);
    // The unthemed box: its square and the space before the caption.
    const int boxExtra = scaled(13) + scaled(10);
    auto buttonWidth = [&](const std::string& text) {
        return std::max(scaled(88), textWidth(text) + scaled(24));
    };

    const int buttonY = height - margin - buttonHeight;
    const int boxY = buttonY - gap - boxHeight;
    // The help and the total line may take two lines: a Russian refusal is long.
    const int totalY = boxY - gap - 2 * line;
    const int labelWidth = textWidth(m_texts.tableName) + scaled(2);
    const int tableY = margin + 2 * line + scaled(4);
    const int tableHeight = std::max(totalY - gap - tableY, line);
    const int inner = std::max(width - 2 * margin, 0);

    HDWP moves = BeginDeferWindowPos(8);
    auto place = [&](HWND control, int x, int y, int w, int h) {
        if (moves != nullptr) {
            moves = DeferWindowPos(moves, control, nullptr, x, y, std::max(w, 0), std::max(h, 0),
                                   SWP_NOZORDER | SWP_NOACTIVATE);
        }
    };
    place(m_tableLabel, margin, margin, labelWidth, line);
    const int helpX = margin + labelWidth + scaled(12);
    place(m_tableHelp, helpX, margin, width - margin - helpX, 2 * line);
    place(m_table, margin, tableY, inner, tableHeight);
    place(m_total, margin, totalY, inner, 2 * line);
    const int strelkaWidth = textWidth(m_texts.excludeStrelka) + boxExtra;
    place(m_strelka, margin, boxY, strelkaWidth, boxHeight);
    place(m_fake, margin + strelkaWidth + scaled(16), boxY,
          textWidth(m_texts.excludeFake) + boxExtra, boxHeight);
    place(m_lastChoiceButton, margin, buttonY, buttonWidth(m_texts.lastChoice), buttonHeight);
    const int selectWidth = buttonWidth(m_texts.select);
    place(m_select, width - margin - selectWidth, buttonY, selectWidth, buttonHeight);
    if (moves != nullptr) {
        EndDeferWindowPos(moves);
    }

    // "City" takes what the check and count columns leave.
    auto stringWidth = [&](const std::string& text) {
        const std::wstring value = wide(text);
        return static_cast<int>(
            SendMessageW(m_table, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(value.c_str())));
    };
    const int padding = scaled(16);
    const int checkWidth =
        std::max({stringWidth(m_texts.checkColumn), stringWidth("YES"), stringWidth("NO")}) +
        padding;
    const int countWidth =
        std::max(stringWidth(m_texts.countColumn), stringWidth("000000")) + padding;
    RECT tableClient{};
    GetClientRect(m_table, &tableClient);
    // Room for the vertical scroll bar before the rows bring it, so no horizontal one follows.
    const bool scrolls = (GetWindowLongPtrW(m_table, GWL_STYLE) & WS_VSCROLL) != 0;
    // The system's metrics are at the system's DPI, not this monitor's.
    const int scrollBar = scrolls ? 0
                                  : MulDiv(GetSystemMetrics(SM_CXVSCROLL), static_cast<int>(m_dpi),
                                           static_cast<int>(systemDpi())) +
                                        scaled(1);
    const int cityWidth =
        std::max<int>(tableClient.right - scrollBar - checkWidth - countWidth, scaled(60));
    SendMessageW(m_table, LVM_SETCOLUMNWIDTH, kCityColumn, cityWidth);
    SendMessageW(m_table, LVM_SETCOLUMNWIDTH, kCheckColumn, checkWidth);
    SendMessageW(m_table, LVM_SETCOLUMNWIDTH, kCountColumn, countWidth);
}

INT_PTR SelectionDialogWin32::notify(const NMHDR& header, LPARAM lParam) {
    if (header.hwndFrom != m_table) {
        return FALSE;
    }
    switch (header.code) {
    case NM_CLICK:
    case NM_DBLCLK:
        // Every click toggles, as in the Qt dialog: a double click is two.
        toggleRow(reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
        return TRUE;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey == VK_SPACE) {
            toggleRow(static_cast<int>(
                SendMessageW(m_table, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)));
        }
        return TRUE;
    case NM_CUSTOMDRAW: {
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
        LRESULT result = CDRF_DODEFAULT;
        switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            result = CDRF_NOTIFYITEMDRAW;
            break;
        case CDDS_ITEMPREPAINT:
            // No selection colours, as the Qt table: the focus rectangle shows the row.
            draw->nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED);
            result = CDRF_NOTIFYSUBITEMDRAW;
            break;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const int row = static_cast<int>(draw->nmcd.dwItemSpec);
            const bool yes = cellText(row, kCheckColumn) == "YES";
            draw->clrText = draw->iSubItem == kCheckColumn ? (yes ? kYes : kNo) : kWhite;
            draw->clrTextBk = kTableBackground;
            result = CDRF_NEWFONT;
            break;
        }
        default:
            break;
        }
        SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void SelectionDialogWin32::command(int id, int code) {
    switch (id) {
    case IDCANCEL:
        // The close box and Escape: closed without an answer.
        finish();
        return;
    case kIdStrelka:
    case kIdFake: {
        if (code != BN_CLICKED) {
            return;
        }
        HWND box = id == kIdStrelka ? m_strelka : m_fake;
        const bool on = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
        clearNotice();
        if (id == kIdStrelka) {
            m_model->setCheckBox_StrelkaState(on);
            m_model->CheckBox_Strelka_Event();
        } else {
            m_model->setCheckBox_FakeState(on);
            m_model->CheckBox_Fake_Event();
        }
        return;
    }
    case kIdLastChoice:
        if (code == BN_CLICKED) {
            applyLastChoice();
        }
        return;
    case kIdSelect:
        if (code == BN_CLICKED) {
            // The delegate may end this dialog's owner; the model lives through its own call.
            const std::shared_ptr<SelectionDBViewController> model = m_model;
            model->btn_Selecte_Click_Event();
        }
        return;
    default:
        return;
    }
}

void SelectionDialogWin32::render(DialogPart part) {
    switch (part) {
    case DialogPart::Title:
        setText(m_hwnd, m_model->title());
        break;
    case DialogPart::Table:
        fillTable();
        break;
    case DialogPart::SelectButton: {
        const bool hidden = m_model->btn_SelectHidden();
        if (hidden && GetFocus() == m_select) {
            SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_table), TRUE);
        }
        ShowWindow(m_select, hidden ? SW_HIDE : SW_SHOW);
        break;
    }
    case DialogPart::CheckBoxes:
        // BM_SETCHECK sends no BN_CLICKED: the model is not told its own change.
        SendMessageW(m_strelka, BM_SETCHECK, m_model->CheckBox_StrelkaOn() ? BST_CHECKED : 0, 0);
        SendMessageW(m_fake, BM_SETCHECK, m_model->CheckBox_FakeOn() ? BST_CHECKED : 0, 0);
        break;
    case DialogPart::LabelMain:
        // label_main stays hidden, as the model says; the total line is the visible count.
        showTotal();
        break;
    case DialogPart::Closed:
        // The answer follows this notice: the window goes once the model has returned.
        if (!m_finishing) {
            m_finishing = true;
            if (m_owner != nullptr) {
                EnableWindow(m_owner, TRUE);
                SetActiveWindow(m_owner);
            }
            ShowWindow(m_hwnd, SW_HIDE);
            PostMessageW(m_hwnd, kDestroyMessage, 0, 0);
        }
        break;
    }
}

void SelectionDialogWin32::fillTable() {
    const auto rows = static_cast<int>(m_model->numberOfRowsInTableView());
    auto count = static_cast<int>(SendMessageW(m_table, LVM_GETITEMCOUNT, 0, 0));
    SendMessageW(m_table, WM_SETREDRAW, FALSE, 0);
    while (count > rows) {
        SendMessageW(m_table, LVM_DELETEITEM, static_cast<WPARAM>(--count), 0);
    }
    while (count < rows) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = count++;
        item.pszText = const_cast<wchar_t*>(L"");
        SendMessageW(m_table, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    const std::vector<std::string>& counts = m_model->locCountrySpeedCamNumArray();
    for (int row = 0; row < rows; ++row) {
        const auto r = static_cast<std::uint32_t>(row);
        setCellText(
            m_table, row, kCityColumn,
            m_model->tableView_viewForTableColumn_row(SelectionDBViewController::kCityColumn, r));
        setCellText(
            m_table, row, kCheckColumn,
            m_model->tableView_viewForTableColumn_row(SelectionDBViewController::kCheckColumn, r));
        setCellText(m_table, row, kCountColumn, r < counts.size() ? counts[r] : std::string());
    }
    SendMessageW(m_table, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_table, nullptr, TRUE);
}

std::string SelectionDialogWin32::number(std::uint32_t value) const {
    return text::groupedNumber(value, m_texts.language);
}

void SelectionDialogWin32::setLastChoice(std::optional<LastChoice> choice) {
    m_lastChoice = std::move(choice);
    EnableWindow(m_lastChoiceButton, m_lastChoice.has_value() && !m_lastChoice->empty());
    std::string names;
    if (m_lastChoice) {
        for (const std::string& name : m_lastChoice->countries()) {
            names += names.empty() ? "" : ", ";
            names += name;
        }
    }
    if (m_tooltip != nullptr) {
        setTool(m_tooltip, m_hwnd, m_lastChoiceButton, names);
    }
}

void SelectionDialogWin32::setNoticeMilliseconds(unsigned milliseconds) {
    m_noticeMs = milliseconds;
    if (m_noticeActive) {
        SetTimer(m_hwnd, kNoticeTimer, m_noticeMs, nullptr);
    }
}

HWND SelectionDialogWin32::control(Control which) const {
    switch (which) {
    case Control::Table:
        return m_table;
    case Control::TotalLine:
        return m_total;
    case Control::CheckBoxStrelka:
        return m_strelka;
    case Control::CheckBoxFake:
        return m_fake;
    case Control::LastChoice:
        return m_lastChoiceButton;
    case Control::Select:
        return m_select;
    }
    return nullptr;
}

std::string SelectionDialogWin32::cellText(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(SendMessageW(m_table, LVM_GETITEMCOUNT, 0, 0))) {
        return {};
    }
    std::array<wchar_t, 512> buffer{};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const auto length = static_cast<std::size_t>(SendMessageW(
        m_table, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    return sys::utf8FromWide(std::wstring_view(buffer.data(), std::min(length, buffer.size())));
}

std::string SelectionDialogWin32::totalLine() const { return win32::windowText(m_total); }

void SelectionDialogWin32::showTotal() {
    if (m_noticeActive) {
        return;
    }
    setText(m_total,
            text::substitute(m_texts.total, {number(m_model->total_selected_db_num()),
                                             number(SelectionDBViewController::kSelectionLimit)}));
}

void SelectionDialogWin32::showNotice(const std::string& text) {
    m_noticeActive = true;
    SetTimer(m_hwnd, kNoticeTimer, m_noticeMs, nullptr);
    setText(m_total, text);
}

void SelectionDialogWin32::clearNotice() {
    KillTimer(m_hwnd, kNoticeTimer);
    m_noticeActive = false;
    showTotal();
}

void SelectionDialogWin32::toggleRow(int row) {
    if (row < 0) {
        return;
    }
    const auto r = static_cast<std::uint32_t>(row);
    clearNotice();
    // The model refuses silently; the row stays "NO" and the line says why.
    if (const auto wouldBe = m_model->clickRow(r)) {
        showNotice(text::substitute(
            m_texts.refused, {number(*wouldBe), number(SelectionDBViewController::kSelectionLimit),
                              m_model->tableView_viewForTableColumn_row(
                                  SelectionDBViewController::kCityColumn, r)}));
    }
}

void SelectionDialogWin32::applyLastChoice() {
    if (!m_lastChoice) {
        return;
    }
    clearNotice();
    const LastChoice::Result result = m_lastChoice->applyTo(*m_model);
    if (!result.applied) {
        showNotice(text::substitute(
            m_texts.lastChoiceRefused,
            {number(result.refusedTotal), number(SelectionDBViewController::kSelectionLimit)}));
        return;
    }
    if (!result.missing.empty()) {
        std::string names;
        for (const std::string& name : result.missing) {
            names += names.empty() ? "" : ", ";
            names += name;
        }
        showNotice(text::substitute(m_texts.lastChoiceMissing, {names}));
    }
}

void SelectionDialogWin32::finish() {
    if (m_finishing) {
        return;
    }
    m_finishing = true;
    // Enabled before the dialog goes, so Windows hands the activation back to the owner.
    if (m_owner != nullptr) {
        EnableWindow(m_owner, TRUE);
        SetActiveWindow(m_owner);
    }
    DestroyWindow(m_hwnd);
}
