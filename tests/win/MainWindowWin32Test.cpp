// The Win32 main window bound to the window model: a change reaches the right control, with the
// right text, colour, state; and the window's own additions.

#include "win/MainWindowWin32.hpp"

#include "app/CatalogueLocalizer.hpp"
#include "app/TableLocalizer.hpp"
#include "install/WideText.hpp"
#include "win/Win32Ui.hpp"

#include <functional>
#include <string>

#include <commctrl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

namespace {

class MainWindowWin32Test : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&s_gdiplus, &input, nullptr);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(s_gdiplus); }

    void SetUp() override {
        ASSERT_TRUE(window.create(GetModuleHandleW(nullptr)));
        model.viewDidLoad(ready);
    }

    // The colour the window hands a control to paint its text with.
    COLORREF paintedColour(HWND control) {
        const HDC dc = GetDC(window.hwnd());
        SendMessageW(window.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(control));
        const COLORREF colour = GetTextColor(dc);
        ReleaseDC(window.hwnd(), dc);
        return colour;
    }

    static bool visible(HWND hwnd) {
        return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
    }

    static inline ULONG_PTR s_gdiplus = 0;
    CatalogueLocalizer texts{"ru"};
    TableLocalizer ready{TableLocalizer::Table{{"str_ready_upper", "Ready"}}};
    MainWindowModel model{"Camera database"};
    MainWindowWin32 window{model, texts};
};

TEST_F(MainWindowWin32Test, ModelChangesReachTheirControls) {
    struct Row {
        const char* what;
        std::function<void(MainWindowModel&)> change;
        Element element;
        std::string text;
        bool shown;
        COLORREF colour;
    };
    const Row rows[] = {
        {"status", [](auto& m) { m.setInfoUpperLabel("COMPLETE"); }, Element::txt_Infomation_upper,
         "COMPLETE", true, RGB(255, 255, 255)},
        {"failure in red",
         [](auto& m) {
             m.setInfoLabel("GPS Firmware Error");
             m.setTextColour(Element::txt_Infomation, Colour::Red);
         },
         Element::txt_Infomation, "GPS Firmware Error", true, RGB(255, 59, 48)},
        {"panel while writing",
         [](auto& m) { m.setDeviceLabel("NO,Signature 5810E,GPS 1.2,RD 3.4,DOWNLOADING"); },
         Element::txt_device_gps_version, "GPS 1.2", true, RGB(255, 214, 10)},
        {"panel complete", [](auto& m) { m.setDeviceLabel("NO,Signature,G,RD 3.5,COMPLETE"); },
         Element::txt_device_rd_version, "RD 3.5", true, RGB(52, 217, 89)},
        {"panel hidden", [](auto& m) { m.setDeviceLabel("YES,Signature,G,R,"); },
         Element::txt_device_name, "Signature", false, RGB(255, 255, 255)},
        {"database caption", [](auto& m) { m.setQVTDB("NO,База 2026-12"); }, Element::txt_QVT_DB,
         "База 2026-12", true, RGB(255, 255, 255)},
        {"option caption", [](auto& m) { m.setCheckbox_gui("NO,YES,YES,Обновить звук"); },
         Element::txt_checkbox, "Обновить звук", true, RGB(255, 255, 255)},
    };
    for (const Row& row : rows) {
        row.change(model);
        const HWND control = window.control(row.element);
        EXPECT_EQ(win32::windowText(control), row.text) << row.what;
        EXPECT_EQ(visible(control), row.shown) << row.what;
        EXPECT_EQ(paintedColour(control), row.colour) << row.what;
    }
    // The start-up black theme reached the window.
    EXPECT_EQ(window.backgroundColour(), RGB(0, 0, 0));
}

TEST_F(MainWindowWin32Test, ButtonsBarSpinnersAndBoxFollowTheModel) {
    const HWND download = window.control(Element::btn_download);
    EXPECT_FALSE(IsWindowEnabled(download)) << "disabled at start-up";
    model.setBtnDownload("yes");
    EXPECT_TRUE(IsWindowEnabled(download));
    EXPECT_EQ(win32::windowText(download), texts.L("gui_btn_download"));
    model.setBtnConnect("NO");
    EXPECT_FALSE(IsWindowEnabled(window.control(Element::btn_connect)));

    model.setProgBar("47");
    EXPECT_EQ(SendMessageW(window.control(Element::progressbar_download), PBM_GETPOS, 0, 0), 47);
    model.setProgBar("not a number");
    EXPECT_EQ(SendMessageW(window.control(Element::progressbar_download), PBM_GETPOS, 0, 0), 0);

    model.setHidden(Element::circle_progressbar_download, false);
    model.setAnimating(Element::circle_progressbar_download, true);
    EXPECT_TRUE(window.animating(Element::circle_progressbar_download));
    EXPECT_FALSE(window.animating(Element::circle_progressbar_connect));
    model.setAnimating(Element::circle_progressbar_download, false);
    EXPECT_FALSE(window.animating(Element::circle_progressbar_download));

    model.setCheckbox_gui("NO,YES,YES,caption");
    const HWND box = window.control(Element::checkbox_gui_audio);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    // A click on the box reaches the model.
    SendMessageW(box, BM_CLICK, 0, 0);
    EXPECT_FALSE(model.state(Element::checkbox_gui_audio).ticked);
}

TEST_F(MainWindowWin32Test, ClicksRunTheActionsAndTheRunEndIsOffered) {
    int connects = 0;
    int startOvers = 0;
    window.setActions([&] { ++connects; }, [] {});
    window.setRunActions([&] { ++startOvers; }, [] {});
    SendMessageW(window.control(Element::btn_connect), BM_CLICK, 0, 0);
    EXPECT_EQ(connects, 1);

    // The keyboard, through the message loop's handling: Tab to the next button, Enter on it.
    window.show(SW_SHOWNOACTIVATE);
    int downloads = 0;
    window.setActions([&] { ++connects; }, [&] { ++downloads; });
    model.setBtnDownload("YES");
    window.focusConnect();
    auto key = [this](WPARAM code) {
        MSG msg{GetFocus(), WM_KEYDOWN, code, 0, 0, {}};
        if (!window.preTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    };
    key(VK_TAB);
    EXPECT_EQ(GetFocus(), window.control(Element::btn_download));
    key(VK_RETURN);
    EXPECT_EQ(downloads, 1);
    EXPECT_EQ(connects, 1);

    // Closing while the guard says no (the user kept the update going) leaves the window.
    int asked = 0;
    window.setCloseGuard([&] { return ++asked > 1; });
    SendMessageW(window.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(IsWindow(window.hwnd()));

    EXPECT_FALSE(visible(window.startOverButton()));
    window.offerRunEnd(true, true);
    EXPECT_TRUE(visible(window.startOverButton()));
    EXPECT_TRUE(visible(window.showLogButton()));
    EXPECT_EQ(GetFocus(), window.startOverButton());
    SendMessageW(window.startOverButton(), BM_CLICK, 0, 0);
    EXPECT_EQ(startOvers, 1);
    window.offerRunEnd(true, false);
    EXPECT_FALSE(visible(window.showLogButton())) << "the log is offered after a failure only";

    window.setTimeLeft("1 мин 05 с");
    EXPECT_TRUE(visible(window.timeLeftLine()));
    EXPECT_EQ(win32::windowText(window.timeLeftLine()), "1 мин 05 с");
    window.setTimeLeft({});
    EXPECT_FALSE(visible(window.timeLeftLine()));

    // Each control carries its own name, in the window's language.
    ASSERT_FALSE(texts.L("gui_a11y_progress").empty());
    EXPECT_EQ(
        sys::utf8FromWide(window.accessibleName(window.control(Element::progressbar_download))),
        texts.L("gui_a11y_progress"));
    EXPECT_EQ(sys::utf8FromWide(window.accessibleName(window.control(Element::txt_Infomation))),
              texts.L("gui_a11y_details"));
}

} // namespace
