#include "win/MainWindowWin32.hpp"

#include "app/TextFormat.hpp"
#include "install/BuildVersion.hpp"
#include "install/WideText.hpp"
#include "win/ResourceIds.hpp"
#include "win/Win32Ui.hpp"
#include "win/WinUiDispatcher.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include <commctrl.h>
#include <gdiplus.h>
#include <initguid.h>
#include <oleacc.h>
#include <shlwapi.h>

namespace {

constexpr wchar_t kWindowClass[] = L"DetectorUpdaterWindow";
constexpr wchar_t kPictureClass[] = L"DetectorUpdaterPicture";
constexpr wchar_t kSpinnerClass[] = L"DetectorUpdaterSpinner";
constexpr int kClientWidth = 680;
constexpr int kClientHeight = 548;
constexpr int kSpokes = 12;
constexpr UINT kSpinnerTickMs = 80;
constexpr UINT_PTR kSpinnerTimer = 1;
constexpr UINT kAboutCommand = 0x0010; // window menu ids must be below 0xF000 and 16-aligned
constexpr COLORREF kTimeLeftColour = RGB(200, 200, 200);

enum ControlId : int {
    kIdConnect = 1001,
    kIdDownload,
    kIdStartOver,
    kIdShowLog,
    kIdCheckBox,
};

std::size_t indexOf(Element element) { return static_cast<std::size_t>(element); }

std::wstring wide(const std::string& text) { return sys::wideFromUtf8(text); }

} // namespace

// A picture or a spinner: what its window paints.
struct MainWindowWin32::ChildState {
    Gdiplus::Bitmap* picture = nullptr;
    bool animating = false;
    int step = 0;
    COLORREF background = RGB(0, 0, 0);
};

namespace {

using ChildState = MainWindowWin32::ChildState;

ChildState* stateOf(HWND hwnd) {
    return reinterpret_cast<ChildState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// Painting into a bitmap first keeps the spinner from flickering at 12 frames a second.
void paintChild(HWND hwnd, bool spinner) {
    PAINTSTRUCT ps;
    const HDC target = BeginPaint(hwnd, &ps);
    RECT rect;
    GetClientRect(hwnd, &rect);
    const int w = rect.right;
    const int h = rect.bottom;
    const HDC dc = CreateCompatibleDC(target);
    const HBITMAP bitmap = CreateCompatibleBitmap(target, std::max(w, 1), std::max(h, 1));
    const HGDIOBJ old = SelectObject(dc, bitmap);
    const ChildState* state = stateOf(hwnd);
    const COLORREF bg = state != nullptr ? state->background : RGB(0, 0, 0);
    {
        Gdiplus::Graphics g(dc);
        g.Clear(Gdiplus::Color(255, GetRValue(bg), GetGValue(bg), GetBValue(bg)));
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        if (state != nullptr && !spinner && state->picture != nullptr) {
            // Scaled to fit, keeping the artwork's proportions.
            const double pw = state->picture->GetWidth();
            const double ph = state->picture->GetHeight();
            const double scale = std::min(w / pw, h / ph);
            const auto dw = static_cast<Gdiplus::REAL>(pw * scale);
            const auto dh = static_cast<Gdiplus::REAL>(ph * scale);
            g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
            g.DrawImage(state->picture, Gdiplus::RectF((w - dw) / 2, (h - dh) / 2, dw, dh));
        } else if (state != nullptr && spinner) {
            const double side = std::min(w, h);
            const double unit = side / 32.0;
            for (int i = 0; i < kSpokes; ++i) {
                // Spokes behind the brightest one fade out, like a turning comet tail.
                const int age = (state->step - i + kSpokes) % kSpokes;
                const int alpha = 255 - age * 200 / kSpokes;
                Gdiplus::Pen pen(Gdiplus::Color(static_cast<BYTE>(alpha), 255, 255, 255),
                                 static_cast<Gdiplus::REAL>(3.0 * unit));
                pen.SetStartCap(Gdiplus::LineCapRound);
                pen.SetEndCap(Gdiplus::LineCapRound);
                const double angle = i * 2.0 * 3.14159265358979 / kSpokes;
                const double sx = std::sin(angle);
                const double cy = -std::cos(angle);
                const auto at = [&](double r, double d) {
                    return static_cast<Gdiplus::REAL>(r + d * unit);
                };
                g.DrawLine(&pen, at(w / 2.0, 7 * sx), at(h / 2.0, 7 * cy), at(w / 2.0, 13 * sx),
                           at(h / 2.0, 13 * cy));
            }
        }
    }
    BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndPaint(hwnd, &ps);
}

template <bool spinner>
LRESULT CALLBACK childProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(
            hwnd, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paintChild(hwnd, spinner);
        return 0;
    case WM_TIMER:
        if (wparam == kSpinnerTimer) {
            if (ChildState* state = stateOf(hwnd)) {
                state->step = (state->step + 1) % kSpokes;
            }
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

// The bar shows its percentage inside, as the Qt window's does.
LRESULT CALLBACK progressProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                              UINT_PTR /*id*/, DWORD_PTR font) {
    if (message != WM_PAINT) {
        return DefSubclassProc(hwnd, message, wparam, lparam);
    }
    const LRESULT painted = DefSubclassProc(hwnd, message, wparam, lparam);
    const HDC dc = GetDC(hwnd);
    RECT rect;
    GetClientRect(hwnd, &rect);
    const std::wstring text = std::to_wstring(SendMessageW(hwnd, PBM_GETPOS, 0, 0)) + L"%";
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(font));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(20, 20, 20));
    DrawTextW(dc, text.c_str(), -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return painted;
}

std::unique_ptr<Gdiplus::Bitmap> loadArt(HINSTANCE instance, int id) {
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));
    if (found == nullptr) {
        return nullptr;
    }
    const HGLOBAL loaded = LoadResource(instance, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(instance, found);
    if (bytes == nullptr || size == 0) {
        return nullptr;
    }
    IStream* stream = SHCreateMemStream(static_cast<const BYTE*>(bytes), size);
    if (stream == nullptr) {
        return nullptr;
    }
    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(stream));
    stream->Release();
    if (bitmap && bitmap->GetLastStatus() != Gdiplus::Ok) {
        bitmap.reset();
    }
    return bitmap;
}

// Where each element sits, in the Qt window's logical pixels: x, y, width, height.
struct Place {
    int x, y, w, h;
};

Place placeOf(Element element) {
    switch (element) {
    case Element::imageView_logo_download:
        return {160, 22, 360, 150};
    case Element::ImageView_Device:
        return {28, 55, 170, 90};
    case Element::txt_device_name:
        return {216, 44, 436, 32};
    case Element::txt_device_gps_version:
        return {216, 82, 436, 26};
    case Element::txt_device_rd_version:
        return {216, 112, 436, 26};
    case Element::checkbox_gui_audio:
        return {28, 204, 20, 24};
    case Element::txt_checkbox:
        return {54, 200, 300, 32};
    case Element::ImageView_QVT_DB:
        return {400, 192, 48, 48};
    case Element::txt_QVT_DB:
        return {452, 200, 200, 32};
    case Element::txt_Infomation_upper:
        return {28, 244, 624, 60};
    case Element::txt_Infomation:
        return {28, 306, 624, 44};
    case Element::circle_progressbar_connect:
        return {28, 360, 32, 32};
    case Element::progressbar_download:
        return {72, 364, 536, 24};
    case Element::circle_progressbar_download:
        return {620, 360, 32, 32};
    case Element::btn_connect:
        return {178, 414, 150, 40};
    case Element::btn_download:
        return {352, 414, 150, 40};
    }
    return {0, 0, 0, 0};
}

// The Qt window's font of each text line: pixel size, bold.
std::pair<int, bool> fontOf(Element element) {
    switch (element) {
    case Element::txt_device_name:
        return {22, true};
    case Element::txt_device_gps_version:
    case Element::txt_device_rd_version:
        return {15, false};
    case Element::txt_QVT_DB:
    case Element::txt_checkbox:
        return {13, false};
    case Element::txt_Infomation_upper:
        return {20, true};
    case Element::txt_Infomation:
        return {14, false};
    case Element::btn_connect:
    case Element::btn_download:
        return {15, true};
    default:
        return {13, false};
    }
}

DWORD textStyle(Element element) {
    switch (element) {
    case Element::txt_Infomation_upper:
    case Element::txt_Infomation:
        return SS_CENTER;
    case Element::txt_QVT_DB:
        return SS_RIGHT;
    default:
        return SS_LEFT;
    }
}

} // namespace

MainWindowWin32::MainWindowWin32(MainWindowModel& model, const Localizer& texts)
    : m_model(model)
    , m_texts(texts) {}

MainWindowWin32::~MainWindowWin32() {
    m_model.setListener({});
    if (m_hwnd != nullptr) {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
    for (auto& [size, font] : m_fonts) {
        DeleteObject(font);
    }
    if (m_background != nullptr) {
        DeleteObject(m_background);
    }
}

COLORREF MainWindowWin32::toColorRef(Colour colour) {
    switch (colour) {
    case Colour::White:
        return RGB(255, 255, 255);
    case Colour::Black:
        return RGB(0, 0, 0);
    case Colour::Red:
        return RGB(255, 59, 48);
    case Colour::Green:
        return RGB(52, 217, 89);
    case Colour::Yellow:
        return RGB(255, 214, 10);
    }
    return RGB(255, 255, 255);
}

void MainWindowWin32::placeText(Element element) {
    // A text line takes the height its wrapped text needs, centred in its place, as a Qt label
    // with centred alignment draws it; what does not fit its place is cut at the bottom.
    const Place place = placeOf(element);
    const HWND line = control(element);
    const HDC dc = GetDC(line);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(line, WM_GETFONT, 0, 0)));
    const std::wstring text = wide(win32::windowText(line));
    RECT needed{0, 0, px(place.w), 0};
    DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(line, dc);
    const int h = std::min(static_cast<int>(needed.bottom), px(place.h));
    SetWindowPos(line, nullptr, px(place.x), px(place.y) + (px(place.h) - h) / 2, px(place.w), h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

int MainWindowWin32::buttonWidth(HWND button, int minimumLogical) const {
    const auto font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
    return std::max(px(minimumLogical),
                    win32::textWidth(button, font, win32::windowText(button)) + px(32));
}

int MainWindowWin32::px(int logical) const { return MulDiv(logical, static_cast<int>(m_dpi), 96); }

bool MainWindowWin32::create(HINSTANCE instance) {
    m_instance = instance;
    WNDCLASSEXW window{};
    window.cbSize = sizeof window;
    window.lpfnWndProc = windowProc;
    window.hInstance = instance;
    window.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(DETECTOR_IDI_APP));
    window.lpszClassName = kWindowClass;
    WNDCLASSEXW child{};
    child.cbSize = sizeof child;
    child.lpfnWndProc = childProc<false>;
    child.hInstance = instance;
    child.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    child.lpszClassName = kPictureClass;
    WNDCLASSEXW spinner = child;
    spinner.lpfnWndProc = childProc<true>;
    spinner.lpszClassName = kSpinnerClass;
    for (const WNDCLASSEXW* cls : {&window, &child, &spinner}) {
        if (RegisterClassExW(cls) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            return false;
        }
    }
    m_art[0] = loadArt(instance, DETECTOR_IDR_ART_LOGO);
    m_art[1] = loadArt(instance, DETECTOR_IDR_ART_DEVICE);
    m_art[2] = loadArt(instance, DETECTOR_IDR_ART_DATABASE);

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    m_hwnd = CreateWindowExW(0, kWindowClass, wide(m_texts.L("gui_window_title")).c_str(), style,
                             CW_USEDEFAULT, CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr,
                             nullptr, instance, this);
    if (m_hwnd == nullptr) {
        return false;
    }
    m_dpi = win32::windowDpi(m_hwnd);
    build();
    makeFonts();
    layout();
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
    // The window has no menu bar: About lives in the window menu, and on F1.
    if (const HMENU menu = GetSystemMenu(m_hwnd, FALSE)) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kAboutCommand,
                    wide(m_texts.L("gui_about_action") + "\tF1").c_str());
    }
    return true;
}

void MainWindowWin32::build() {
    auto makeStatic = [this](DWORD style) {
        return CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX | style, 0, 0,
                               0, 0, m_hwnd, nullptr, m_instance, nullptr);
    };
    auto makeButton = [this](const std::string& key, int id) {
        return CreateWindowExW(0, L"BUTTON", wide(m_texts.L(key)).c_str(),
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0,
                               m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               m_instance, nullptr);
    };
    auto makeChild = [this](const wchar_t* cls, DWORD style) {
        m_children.push_back(std::make_unique<ChildState>());
        return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, m_hwnd,
                               nullptr, m_instance, m_children.back().get());
    };
    for (const Element element : allElements()) {
        HWND control = nullptr;
        switch (kindOf(element)) {
        case ElementKind::Picture:
            control = makeChild(kPictureClass, 0);
            break;
        case ElementKind::Spinner:
            control = makeChild(kSpinnerClass, 0);
            break;
        case ElementKind::PushButton:
            control =
                makeButton(element == Element::btn_connect ? "gui_btn_connect" : "gui_btn_download",
                           element == Element::btn_connect ? kIdConnect : kIdDownload);
            break;
        case ElementKind::ProgressBar:
            control = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                      m_hwnd, nullptr, m_instance, nullptr);
            SendMessageW(control, PBM_SETRANGE32,
                         static_cast<WPARAM>(MainWindowModel::kProgressMinimum),
                         static_cast<LPARAM>(MainWindowModel::kProgressMaximum));
            break;
        case ElementKind::TextLine:
            control = makeStatic(textStyle(element));
            break;
        case ElementKind::CheckBox:
            // The caption is an element of its own, so the box draws no text on the black.
            control = CreateWindowExW(
                0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 0, 0,
                m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdCheckBox)), m_instance,
                nullptr);
            break;
        }
        m_controls[indexOf(element)] = control;
    }
    stateOf(control(Element::imageView_logo_download))->picture = m_art[0].get();
    stateOf(control(Element::ImageView_Device))->picture = m_art[1].get();
    stateOf(control(Element::ImageView_QVT_DB))->picture = m_art[2].get();
    m_timeLeft = makeStatic(SS_CENTER);
    m_startOver = makeButton("gui_btn_start_over", kIdStartOver);
    m_showLog = makeButton("gui_btn_show_log", kIdShowLog);
    ShowWindow(m_timeLeft, SW_HIDE);
    ShowWindow(m_startOver, SW_HIDE);
    ShowWindow(m_showLog, SW_HIDE);
    // Tab order is creation order; the buttons are the stops, in the Qt window's order.
    SetWindowPos(control(Element::btn_download), control(Element::btn_connect), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    nameForScreenReaders();
}

void MainWindowWin32::makeFonts() {
    for (auto& [key, font] : m_fonts) {
        DeleteObject(font);
    }
    m_fonts.clear();
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    auto fontFor = [&](int size, bool bold) {
        const int key = bold ? -size : size;
        auto found = m_fonts.find(key);
        if (found != m_fonts.end()) {
            return found->second;
        }
        LOGFONTW font = metrics.lfMessageFont;
        font.lfHeight = -px(size);
        font.lfWidth = 0;
        font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        font.lfQuality = CLEARTYPE_QUALITY;
        const HFONT made = CreateFontIndirectW(&font);
        m_fonts[key] = made;
        return made;
    };
    for (const Element element : allElements()) {
        const auto [size, bold] = fontOf(element);
        SendMessageW(control(element), WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(size, bold)),
                     FALSE);
    }
    SendMessageW(m_timeLeft, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(12, false)), FALSE);
    // The progress bar draws its percentage in this font; the subclass is replaced in place.
    SetWindowSubclass(control(Element::progressbar_download), progressProc, 1,
                      reinterpret_cast<DWORD_PTR>(fontFor(12, false)));
    for (HWND button : {m_startOver, m_showLog}) {
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(15, true)), FALSE);
    }
}

void MainWindowWin32::layout() {
    RECT frame{0, 0, px(kClientWidth), px(kClientHeight)};
    win32::adjustWindowRect(frame, static_cast<DWORD>(GetWindowLongPtrW(m_hwnd, GWL_STYLE)), 0,
                            m_dpi);
    SetWindowPos(m_hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    auto put = [this](HWND hwnd, Place p) {
        SetWindowPos(hwnd, nullptr, px(p.x), px(p.y), px(p.w), px(p.h),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    for (const Element element : allElements()) {
        if (kindOf(element) == ElementKind::TextLine) {
            placeText(element);
        } else {
            put(control(element), placeOf(element));
        }
    }
    put(m_timeLeft, {28, 398, 624, 22});
    // Button rows are centred, each button as wide as its caption needs (Russian ones are
    // longer), at least as wide as the Qt window's.
    auto row = [this](int y, std::initializer_list<std::pair<HWND, int>> buttons) {
        int total = 0;
        for (const auto& [button, minimum] : buttons) {
            total += (total > 0 ? px(24) : 0) + buttonWidth(button, minimum);
        }
        int x = (px(kClientWidth) - total) / 2;
        for (const auto& [button, minimum] : buttons) {
            const int w = buttonWidth(button, minimum);
            SetWindowPos(button, nullptr, x, px(y), w, px(40), SWP_NOZORDER | SWP_NOACTIVATE);
            x += w + px(24);
        }
    };
    row(432, {{control(Element::btn_connect), 150}, {control(Element::btn_download), 150}});
    // "Show log" gives its place up, so a lone "Update another detector" sits in the middle.
    if (m_showLogOffered) {
        row(484, {{m_startOver, 240}, {m_showLog, 150}});
    } else {
        row(484, {{m_startOver, 240}});
    }
}

LRESULT CALLBACK MainWindowWin32::windowProc(HWND hwnd, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<MainWindowWin32*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->m_hwnd == nullptr) {
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    return self->handle(message, wparam, lparam);
}

LRESULT MainWindowWin32::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wparam);
        const std::function<void()>* action = nullptr;
        if (HIWORD(wparam) == BN_CLICKED) {
            switch (id) {
            case kIdConnect:
                action = &m_onConnect;
                break;
            case kIdDownload:
                action = &m_onDownload;
                break;
            case kIdStartOver:
                action = &m_onStartOver;
                break;
            case kIdShowLog:
                action = &m_onShowLog;
                break;
            case kIdCheckBox:
                // No step reads the option, but a click must not let the box drift from the
                // model.
                m_model.setTicked(Element::checkbox_gui_audio,
                                  SendMessageW(control(Element::checkbox_gui_audio), BM_GETCHECK, 0,
                                               0) == BST_CHECKED);
                return 0;
            default:
                break;
            }
        }
        if (action != nullptr && *action) {
            (*action)();
            return 0;
        }
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        const auto hdc = reinterpret_cast<HDC>(wparam);
        const auto child = reinterpret_cast<HWND>(lparam);
        COLORREF colour = kTimeLeftColour;
        for (const Element element : allElements()) {
            if (control(element) == child) {
                colour = textColour(element);
            }
        }
        SetTextColor(hdc, colour);
        SetBkColor(hdc, m_backgroundColour);
        return reinterpret_cast<LRESULT>(m_background);
    }
    case WM_ERASEBKGND: {
        RECT rect;
        GetClientRect(m_hwnd, &rect);
        FillRect(reinterpret_cast<HDC>(wparam), &rect, m_background);
        return 1;
    }
    case WM_TIMER: {
        const auto found = m_timers.find(wparam);
        if (found != m_timers.end()) {
            KillTimer(m_hwnd, wparam);
            const auto fn = std::move(found->second);
            m_timers.erase(found);
            if (fn) {
                fn();
            }
            return 0;
        }
        break;
    }
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == kAboutCommand) {
            showAbout();
            return 0;
        }
        break;
    case WM_DPICHANGED: {
        m_dpi = HIWORD(wparam);
        const auto* suggested = reinterpret_cast<const RECT*>(lparam);
        SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        makeFonts();
        layout();
        InvalidateRect(m_hwnd, nullptr, TRUE);
        return 0;
    }
    case WM_CLOSE:
        if (m_mayClose && !m_mayClose()) {
            return 0;
        }
        DestroyWindow(m_hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        m_hwnd = nullptr;
        return 0;
    default:
        if (message == WinUiDispatcher::kWakeMessage) {
            if (m_onWake) {
                m_onWake();
            }
            return 0;
        }
        break;
    }
    return DefWindowProcW(m_hwnd, message, wparam, lparam);
}

void MainWindowWin32::show(int showCommand) {
    ShowWindow(m_hwnd, showCommand);
    UpdateWindow(m_hwnd);
}

void MainWindowWin32::setActions(std::function<void()> onConnect,
                                 std::function<void()> onDownload) {
    m_onConnect = std::move(onConnect);
    m_onDownload = std::move(onDownload);
}

void MainWindowWin32::setRunActions(std::function<void()> onStartOver,
                                    std::function<void()> onShowLog) {
    m_onStartOver = std::move(onStartOver);
    m_onShowLog = std::move(onShowLog);
}

void MainWindowWin32::setCloseGuard(std::function<bool()> mayClose) {
    m_mayClose = std::move(mayClose);
}

void MainWindowWin32::setChangeLog(std::function<void(const ElementChange&)> log) {
    m_changeLog = std::move(log);
}

void MainWindowWin32::setChangeObserver(std::function<void(const ElementChange&)> observer) {
    m_observer = std::move(observer);
}

void MainWindowWin32::setWakeHandler(std::function<void()> onWake) { m_onWake = std::move(onWake); }

void MainWindowWin32::after(unsigned milliseconds, std::function<void()> fn) {
    const UINT_PTR id = m_nextTimer++;
    m_timers[id] = std::move(fn);
    SetTimer(m_hwnd, id, milliseconds, nullptr);
}

void MainWindowWin32::offerRunEnd(bool offered, bool showLog) {
    m_showLogOffered = offered && showLog;
    layout();
    ShowWindow(m_startOver, offered ? SW_SHOW : SW_HIDE);
    ShowWindow(m_showLog, m_showLogOffered ? SW_SHOW : SW_HIDE);
    if (offered) {
        SetFocus(m_startOver);
    }
}

void MainWindowWin32::setTimeLeft(const std::string& text) {
    SetWindowTextW(m_timeLeft, wide(text).c_str());
    ShowWindow(m_timeLeft, text.empty() ? SW_HIDE : SW_SHOW);
}

void MainWindowWin32::focusConnect() { SetFocus(control(Element::btn_connect)); }

void MainWindowWin32::showAbout() {
    const std::string text = text::substitute(m_texts.L("gui_about_text"),
                                              {BuildVersion::text(), BuildVersion::licence()});
    MessageBoxW(m_hwnd, wide(text).c_str(), wide(m_texts.L("gui_about_action")).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

bool MainWindowWin32::preTranslate(MSG& msg) {
    if (m_hwnd == nullptr || (msg.hwnd != m_hwnd && !IsChild(m_hwnd, msg.hwnd))) {
        return false;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F1) {
        showAbout();
        return true;
    }
    // Enter presses the focused button, as Space does.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        wchar_t cls[16] = {};
        GetClassNameW(msg.hwnd, cls, 16);
        const auto style = GetWindowLongPtrW(msg.hwnd, GWL_STYLE);
        if (lstrcmpiW(cls, L"BUTTON") == 0 && (style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON) {
            SendMessageW(msg.hwnd, BM_CLICK, 0, 0);
            return true;
        }
    }
    return IsDialogMessageW(m_hwnd, &msg) != FALSE;
}

HWND MainWindowWin32::control(Element element) const { return m_controls[indexOf(element)]; }

bool MainWindowWin32::animating(Element element) const {
    const ChildState* state = stateOf(control(element));
    return kindOf(element) == ElementKind::Spinner && state != nullptr && state->animating;
}

COLORREF MainWindowWin32::textColour(Element element) const {
    return kindOf(element) == ElementKind::TextLine ? toColorRef(m_model.state(element).textColour)
                                                    : RGB(255, 255, 255);
}

COLORREF MainWindowWin32::backgroundColour() const { return m_backgroundColour; }

std::wstring MainWindowWin32::accessibleName(HWND control) const {
    const auto found = m_accessibleNames.find(control);
    return found == m_accessibleNames.end() ? std::wstring() : found->second;
}

void MainWindowWin32::name(HWND control, const std::string& text) {
    const std::wstring value = wide(text);
    m_accessibleNames[control] = value;
    // Screen readers take a control's name from the accessibility server's annotation; where
    // that service is missing the control's own text stands.
    IAccPropServices* services = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IAccPropServices, reinterpret_cast<void**>(&services))) &&
        services != nullptr) {
        services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                 PROPID_ACC_NAME, value.c_str());
        services->Release();
    }
}

void MainWindowWin32::nameForScreenReaders() {
    name(control(Element::btn_connect), m_texts.L("gui_a11y_connect"));
    name(control(Element::btn_download), m_texts.L("gui_a11y_download"));
    name(m_startOver, m_texts.L("gui_btn_start_over"));
    name(m_showLog, m_texts.L("gui_a11y_show_log"));
    name(control(Element::txt_Infomation_upper), m_texts.L("gui_a11y_status"));
    name(control(Element::txt_Infomation), m_texts.L("gui_a11y_details"));
    name(control(Element::txt_device_name), m_texts.L("gui_a11y_device_name"));
    name(control(Element::txt_device_gps_version), m_texts.L("gui_a11y_gps_version"));
    name(control(Element::txt_device_rd_version), m_texts.L("gui_a11y_rd_version"));
    name(control(Element::progressbar_download), m_texts.L("gui_a11y_progress"));
    name(m_timeLeft, m_texts.L("gui_a11y_time_left"));
}

void MainWindowWin32::apply(const ElementChange& change) {
    const HWND w = control(change.element);
    const ElementState& s = change.state;
    switch (change.property) {
    case Property::Hidden:
        ShowWindow(w, s.hidden ? SW_HIDE : SW_SHOWNA);
        break;
    case Property::Enabled:
        EnableWindow(w, s.enabled ? TRUE : FALSE);
        break;
    case Property::Ticked:
        if (kindOf(change.element) == ElementKind::CheckBox) {
            SendMessageW(w, BM_SETCHECK, s.ticked ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        break;
    case Property::Animating:
        if (ChildState* state = stateOf(w);
            state != nullptr && kindOf(change.element) == ElementKind::Spinner) {
            state->animating = s.animating;
            if (s.animating) {
                SetTimer(w, kSpinnerTimer, kSpinnerTickMs, nullptr);
            } else {
                KillTimer(w, kSpinnerTimer);
            }
            InvalidateRect(w, nullptr, FALSE);
        }
        break;
    case Property::Text:
        if (kindOf(change.element) == ElementKind::TextLine) {
            SetWindowTextW(w, wide(s.text).c_str());
            placeText(change.element);
        }
        break;
    case Property::TextColour:
        InvalidateRect(w, nullptr, TRUE);
        break;
    case Property::Value:
        if (kindOf(change.element) == ElementKind::ProgressBar) {
            SendMessageW(w, PBM_SETPOS, static_cast<WPARAM>(std::lround(s.value)), 0);
        }
        break;
    }
    // The background has no notice of its own; viewDidLoad changes it along with the texts.
    const COLORREF background = toColorRef(m_model.windowBackground());
    if (m_background == nullptr || background != m_backgroundColour) {
        if (m_background != nullptr) {
            DeleteObject(m_background);
        }
        m_backgroundColour = background;
        m_background = CreateSolidBrush(background);
        for (const Element element : allElements()) {
            if (ChildState* state = kindOf(element) == ElementKind::Picture ||
                                            kindOf(element) == ElementKind::Spinner
                                        ? stateOf(control(element))
                                        : nullptr) {
                state->background = background;
            }
        }
        InvalidateRect(m_hwnd, nullptr, TRUE);
    }
}

void MainWindowWin32::renderAll() {
    m_model.replay([this](const ElementChange& change) { apply(change); });
}
