#include "win/WinScreenshotTour.hpp"

#include "sim/DeviceProfile.hpp"
#include "win/SelectionDialogWin32.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <utility>

#include <commctrl.h>
#include <gdiplus.h>

namespace {

constexpr int kSettleMs = 250;
// Inside the demo's GPS image (selector 0): a bad read-back there fails the GPS stage.
constexpr std::uint32_t kFaultAddress = 0x0800C010;
// Rows the tour ticks in the dialog: a few countries, well inside the record limit.
constexpr int kRowsToChoose = 4;
// The detector plugged in after "Update another detector".
constexpr const char* kSecondProfile = "combo-3810.json";
constexpr auto kTourLimit = std::chrono::minutes(3);

bool pngEncoder(CLSID& clsid) {
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) {
        return false;
    }
    std::vector<std::uint8_t> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok) {
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring_view(encoders[i].MimeType) == L"image/png") {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

int rowCount(const SelectionDialogWin32& dialog) {
    return static_cast<int>(
        SendMessageW(dialog.control(SelectionDialogWin32::Control::Table), LVM_GETITEMCOUNT, 0, 0));
}

// A mouse click in the middle of the row's first cell, as the user makes it.
void clickRow(const SelectionDialogWin32& dialog, int row) {
    const HWND table = dialog.control(SelectionDialogWin32::Control::Table);
    SendMessageW(table, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT cell{};
    cell.left = LVIR_BOUNDS;
    SendMessageW(table, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    const LPARAM at = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    SendMessageW(table, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(table, WM_LBUTTONUP, 0, at);
}

} // namespace

WinScreenshotTour::WinScreenshotTour(WinUpdater& updater, std::filesystem::path folder,
                                     bool failRun)
    : m_updater(updater)
    , m_folder(std::move(folder))
    , m_failRun(failRun) {}

bool WinScreenshotTour::saveScreen(const std::vector<HWND>& windows,
                                   const std::filesystem::path& file) {
    RECT area{};
    bool first = true;
    for (HWND hwnd : windows) {
        RECT r;
        if (hwnd == nullptr || GetWindowRect(hwnd, &r) == FALSE) {
            continue;
        }
        if (first) {
            area = r;
            first = false;
        } else {
            UnionRect(&area, &area, &r);
        }
    }
    const int w = area.right - area.left;
    const int h = area.bottom - area.top;
    if (first || w <= 0 || h <= 0) {
        return false;
    }
    const HDC screen = GetDC(nullptr);
    const HDC dc = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, w, h, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
    SelectObject(dc, old);
    CLSID png;
    bool saved = false;
    if (pngEncoder(png)) {
        Gdiplus::Bitmap image(bitmap, nullptr);
        saved = image.Save(file.wstring().c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return saved;
}

void WinScreenshotTour::settle(int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        m_updater.serveEvents(std::chrono::milliseconds(10));
    }
}

void WinScreenshotTour::finish(const std::string& why) {
    if (!why.empty() && m_error.empty()) {
        m_error = why;
    }
    m_finished = true;
}

void WinScreenshotTour::saveWindow(const std::string& state, bool withDialog) {
    settle(kSettleMs);
    std::vector<HWND> windows;
    SelectionDialogWin32* dialog = m_updater.presenter().current();
    if (!withDialog || dialog == nullptr) {
        windows.push_back(m_updater.window().hwnd());
    }
    if (dialog != nullptr && withDialog) {
        windows.push_back(dialog->window());
    }
    const auto path = m_folder / (state + ".png");
    if (!saveScreen(windows, path)) {
        finish("cannot write " + path.string());
        return;
    }
    m_written.push_back(path);
}

void WinScreenshotTour::onDialogShown() {
    SelectionDialogWin32* dialog = m_updater.presenter().current();
    if (dialog == nullptr) {
        finish("the country dialog did not open");
        return;
    }
    const int rows = std::min(kRowsToChoose, rowCount(*dialog));
    for (int row = 0; row < rows; ++row) {
        clickRow(*dialog, row);
    }
    if (!m_failRun) {
        // The window with the dialog over it.
        settle(kSettleMs);
        const auto path = m_folder / "04-selection.png";
        if (saveScreen({m_updater.window().hwnd(), dialog->window()}, path)) {
            m_written.push_back(path);
        } else {
            finish("cannot write " + path.string());
        }
        // One country more than the limit allows: the total line says why it stays "NO".
        for (int row = rows; row < rowCount(*dialog); ++row) {
            clickRow(*dialog, row);
            if (dialog->cellText(row, SelectionDialogWin32::kCheckColumn) != "YES") {
                saveWindow("08-dialog-total", true);
                break;
            }
        }
    }
    SendMessageW(dialog->control(SelectionDialogWin32::Control::Select), BM_CLICK, 0, 0);
}

void WinScreenshotTour::startAnotherRun() {
    m_secondRun = true;
    SendMessageW(m_updater.window().startOverButton(), BM_CLICK, 0, 0);
    std::string error;
    if (!m_updater.demo()->replaceDetector(WinUpdater::profilePath(kSecondProfile), error)) {
        finish(error);
        return;
    }
    SendMessageW(m_updater.window().control(Element::btn_connect), BM_CLICK, 0, 0);
    m_updater.demo()->plugIn();
}

bool WinScreenshotTour::run(std::string& error) {
    WinUpdater& u = m_updater;
    std::error_code ec;
    std::filesystem::create_directories(m_folder, ec);
    bool connectSucceeded = false;
    bool downloadEnded = false;
    ViewController::Outcome downloadOutcome = ViewController::Outcome::Running;

    u.window().setChangeObserver([this](const ElementChange& change) {
        // Half-way through an image, with the panel in the writing colour.
        if (m_failRun || m_downloadingSaved || change.element != Element::progressbar_download ||
            change.state.value < 40.0 ||
            m_updater.model().state(Element::txt_device_gps_version).textColour != Colour::Yellow) {
            return;
        }
        m_downloadingSaved = true;
        saveWindow("05-downloading");
    });
    u.presenter().setShownListener([this] { m_dialogPending = true; });
    u.setSequenceListener([&](bool download, ViewController::Outcome outcome) {
        if (!download) {
            if (m_secondRun) {
                if (outcome == ViewController::Outcome::Succeeded) {
                    saveWindow("09-another-detector");
                    finish({});
                } else {
                    finish("the second detector did not connect");
                }
                return;
            }
            if (outcome != ViewController::Outcome::Succeeded) {
                finish("the connect sequence did not succeed: " +
                       m_updater.model().state(Element::txt_Infomation).text);
                return;
            }
            connectSucceeded = true;
            return;
        }
        downloadEnded = true;
        downloadOutcome = outcome;
    });

    if (m_failRun) {
        sim::Fault fault = sim::Fault::make(sim::FaultKind::CorruptRead, sim::Operation::Read);
        fault.address = kFaultAddress;
        fault.selector = 0;
        u.demo()->detector()->addFault(fault);
    }

    u.window().show(SW_SHOWNORMAL);
    if (!m_failRun) {
        saveWindow("01-initial");
    }
    SendMessageW(u.window().control(Element::btn_connect), BM_CLICK, 0, 0);
    if (!m_failRun) {
        saveWindow("02-searching");
    }
    u.demo()->plugIn();

    // The steps run from this loop, not from inside the notices, as a user's clicks would.
    const auto limit = std::chrono::steady_clock::now() + kTourLimit;
    while (!m_finished) {
        if (std::chrono::steady_clock::now() > limit) {
            finish("timed out");
            break;
        }
        u.serveEvents(std::chrono::milliseconds(20));
        if (connectSucceeded) {
            connectSucceeded = false;
            if (!m_failRun) {
                saveWindow("03-connected");
            }
            SendMessageW(u.window().control(Element::btn_download), BM_CLICK, 0, 0);
        }
        if (m_dialogPending) {
            m_dialogPending = false;
            settle(100);
            onDialogShown();
        }
        if (downloadEnded) {
            downloadEnded = false;
            if (m_failRun) {
                if (downloadOutcome == ViewController::Outcome::Failed) {
                    saveWindow("07-fail");
                    finish({});
                } else {
                    finish("the fail run did not fail");
                }
            } else if (downloadOutcome != ViewController::Outcome::Succeeded) {
                finish("the download did not succeed: " +
                       m_updater.model().state(Element::txt_Infomation).text);
            } else {
                saveWindow("06-complete");
                if (!m_downloadingSaved) {
                    finish("no downloading state seen");
                } else {
                    startAnotherRun();
                }
            }
        }
    }
    u.window().setChangeObserver({});
    u.presenter().setShownListener({});
    u.setSequenceListener({});
    error = m_error;
    return m_error.empty();
}
