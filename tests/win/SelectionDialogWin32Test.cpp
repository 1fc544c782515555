// The Win32 country dialog driven through its real controls: mouse and key messages on the
// list view, clicks on the buttons and boxes, the window's close box.

#include "win/SelectionDialogWin32.hpp"

#include "app/TableLocalizer.hpp"
#include "install/WideText.hpp"

#include <memory>
#include <string>
#include <vector>

#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

using Control = SelectionDialogWin32::Control;

struct Answer {
    std::vector<std::string> checked;
    bool strelka = false;
    bool fake = false;
};

class RecordingDelegate final : public SelectDelegate {
public:
    void slectedData(const std::vector<std::string>& checked, bool excludeStrelka,
                     bool excludeFake) override {
        answers.push_back({checked, excludeStrelka, excludeFake});
    }
    std::vector<Answer> answers;
};

struct Country {
    std::string name, cameras, strelka, fake;
};

const TableLocalizer kEnglish(TableLocalizer::Table{
    {"gui_dialog_check_column", "Chosen"},
    {"gui_dialog_count_column", "Cameras"},
    {"gui_dialog_exclude_strelka", "Exclude Strelka cameras"},
    {"gui_dialog_exclude_fake", "Exclude Fake cameras"},
    {"gui_dialog_select", "Write the chosen countries"},
    {"gui_dialog_total", "%1 of %2 cameras"},
    {"gui_dialog_last_choice", "Last choice"},
    {"gui_dialog_refused", "Not added: %3 would make %1, more than the limit of %2 cameras"},
    {"gui_dialog_last_choice_refused",
     "The last choice now holds %1 cameras, more than %2: not applied"},
    {"gui_dialog_last_choice_missing", "No longer listed, skipped: %1"},
    {"gui_a11y_country_table", "Countries"},
    {"gui_a11y_country_table_help", "Click a country, or press Space on it."},
    {"gui_a11y_total", "Cameras chosen"},
});

std::string text(HWND hwnd) {
    std::wstring buffer(256, L'\0');
    buffer.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, buffer.data(), 256)));
    return sys::utf8FromWide(buffer);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!SelectionDialogWin32::preTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

class SelectionDialogWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                                800, 600, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner, nullptr) << "no desktop: run under a display (xvfb-run)";
    }
    void TearDown() override {
        if (IsWindow(hwnd)) {
            DestroyWindow(hwnd);
        }
        DestroyWindow(owner);
        pump();
    }

    void open(const std::vector<Country>& countries, const Localizer& texts = kEnglish,
              const char* language = "en") {
        auto names = std::make_shared<std::vector<std::string>>();
        auto cams = std::make_shared<std::vector<std::string>>();
        auto strelka = std::make_shared<std::vector<std::string>>();
        auto fake = std::make_shared<std::vector<std::string>>();
        for (const auto& c : countries) {
            names->push_back(c.name);
            cams->push_back(c.cameras);
            strelka->push_back(c.strelka);
            fake->push_back(c.fake);
        }
        model = std::make_shared<SelectionDBViewController>();
        model->setDataValue(names, cams, strelka, fake,
                            static_cast<std::uint32_t>(countries.size()));
        model->setDelegate(delegate);
        model->viewDidLoad();
        hwnd = SelectionDialogWin32::open(owner, model, texts, language);
        ASSERT_NE(hwnd, nullptr);
        pump();
    }

    SelectionDialogWin32& dialog() const { return *SelectionDialogWin32::fromWindow(hwnd); }
    HWND control(Control which) const { return dialog().control(which); }

    void clickRow(int row) {
        HWND table = control(Control::Table);
        RECT cell{LVIR_BOUNDS, 0, 0, 0};
        ASSERT_TRUE(SendMessageW(table, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                                 reinterpret_cast<LPARAM>(&cell)));
        const LPARAM at = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
        // The list view waits for the button to come up before it reports the click.
        PostMessageW(table, WM_LBUTTONUP, 0, at);
        SendMessageW(table, WM_LBUTTONDOWN, MK_LBUTTON, at);
        pump();
    }
    void pressSpace(int row) {
        HWND table = control(Control::Table);
        LVITEMW item{};
        item.stateMask = LVIS_FOCUSED;
        item.state = LVIS_FOCUSED;
        SendMessageW(table, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        SendMessageW(table, WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(table, WM_KEYUP, VK_SPACE, 0);
        pump();
    }
    void click(Control which) {
        SendMessageW(control(which), BM_CLICK, 0, 0);
        pump();
    }
    bool checked(Control which) const {
        return SendMessageW(control(which), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    std::string checks() const {
        std::string out;
        for (std::uint32_t row = 0; row < model->numberOfRowsInTableView(); ++row) {
            if (row != 0) {
                out += ' ';
            }
            out += dialog().cellText(static_cast<int>(row), SelectionDialogWin32::kCheckColumn);
        }
        return out;
    }
    bool selectShown() const { return IsWindowVisible(control(Control::Select)) != FALSE; }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<SelectionDBViewController> model;
    HWND owner = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(SelectionDialogWin32Test, OpensModalOverTheOwnerWithTheModelsRows) {
    open({{"Россия", "120", "5", "2"}, {"Latvija", "30", "0", "0"}});
    EXPECT_EQ(text(hwnd), "Загрузка завершена.");
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), owner);
    EXPECT_FALSE(IsWindowEnabled(owner));
    EXPECT_EQ(dialog().cellText(0, SelectionDialogWin32::kCityColumn), "Россия");
    EXPECT_EQ(dialog().cellText(1, SelectionDialogWin32::kCityColumn), "Latvija");
    EXPECT_EQ(dialog().cellText(0, SelectionDialogWin32::kCountColumn), "120");
    EXPECT_EQ(checks(), "NO NO");
    EXPECT_FALSE(selectShown());
    EXPECT_FALSE(IsWindowEnabled(control(Control::LastChoice))) << "nothing stored";
    EXPECT_EQ(dialog().totalLine(), "0 of 9,300 cameras");

    HWND table = control(Control::Table);
    std::wstring title(16, L'\0');
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = title.data();
    column.cchTextMax = 16;
    SendMessageW(table, LVM_GETCOLUMNW, SelectionDialogWin32::kCityColumn,
                 reinterpret_cast<LPARAM>(&column));
    EXPECT_STREQ(column.pszText, L"City");
    // Screen readers name the table by the static just before it; the buttons by their text.
    EXPECT_EQ(text(GetWindow(table, GW_HWNDPREV)), "Countries");
    EXPECT_EQ(text(control(Control::Select)), "Write the chosen countries");
    EXPECT_EQ(text(control(Control::LastChoice)), "Last choice");
}

enum class Action { Click, Space, Strelka, Fake };

TEST_F(SelectionDialogWin32Test, ClicksSpaceAndBoxesGoThroughTheModelsLimit) {
    open({{"A", "100", "30", "10"}, {"B", "9250", "0", "0"}});
    const struct {
        Action action;
        int row;
        const char* checks;
        const char* line;
        bool selectShown;
    } steps[] = {
        {Action::Click, 0, "YES NO", "100 of 9,300 cameras", true},
        {Action::Click, 1, "YES NO",
         "Not added: B would make 9,350, more than the limit of 9,300 cameras", true},
        {Action::Strelka, -1, "YES NO", "70 of 9,300 cameras", true},
        {Action::Space, 1, "YES NO",
         "Not added: B would make 9,320, more than the limit of 9,300 cameras", true},
        {Action::Fake, -1, "YES NO", "60 of 9,300 cameras", true},
        {Action::Click, 0, "NO NO", "0 of 9,300 cameras", false},
        {Action::Space, 1, "NO YES", "9,250 of 9,300 cameras", true},
        {Action::Click, 0, "NO YES",
         "Not added: A would make 9,310, more than the limit of 9,300 cameras", true},
    };
    int n = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "step " << n++);
        switch (step.action) {
        case Action::Click:
            clickRow(step.row);
            break;
        case Action::Space:
            pressSpace(step.row);
            break;
        case Action::Strelka:
            click(Control::CheckBoxStrelka);
            break;
        case Action::Fake:
            click(Control::CheckBoxFake);
            break;
        }
        EXPECT_EQ(checks(), step.checks);
        EXPECT_EQ(model->arOptions_Check()[0] + " " + model->arOptions_Check()[1], step.checks);
        EXPECT_EQ(dialog().totalLine(), step.line);
        EXPECT_EQ(selectShown(), step.selectShown);
    }
    EXPECT_TRUE(checked(Control::CheckBoxStrelka));
    EXPECT_TRUE(model->CheckBox_FakeOn());
}

TEST_F(SelectionDialogWin32Test, ANoticeGivesWayToTheTotalAfterItsTime) {
    open({{"A", "9300", "0", "0"}, {"B", "1", "0", "0"}});
    dialog().setNoticeMilliseconds(100);
    clickRow(0);
    clickRow(1);
    EXPECT_EQ(dialog().totalLine(),
              "Not added: B would make 9,301, more than the limit of 9,300 cameras");
    for (int i = 0; i < 300 && dialog().totalLine() != "9,300 of 9,300 cameras"; ++i) {
        Sleep(10);
        pump();
    }
    EXPECT_EQ(dialog().totalLine(), "9,300 of 9,300 cameras");
}

TEST_F(SelectionDialogWin32Test, RussianNumbersUseANoBreakSpace) {
    const TableLocalizer russian(TableLocalizer::Table{{"gui_dialog_total", "%1 из %2 камер"}});
    open({{"A", "3500", "0", "0"}}, russian, "ru");
    clickRow(0);
    EXPECT_EQ(dialog().totalLine(), "3\u00A0500 из 9\u00A0300 камер");
}

TEST_F(SelectionDialogWin32Test, LastChoiceAppliedWithMissingNamesThenRefusedAsAWhole) {
    open({{"A", "100", "30", "10"}, {"B", "9250", "0", "0"}, {"C", "40", "0", "0"}});
    dialog().setLastChoice(LastChoice({"C", "Gone", "A"}, true, false));
    EXPECT_TRUE(IsWindowEnabled(control(Control::LastChoice)));
    EXPECT_EQ(checks(), "NO NO NO") << "offered, never imposed";
    click(Control::LastChoice);
    EXPECT_EQ(checks(), "YES NO YES");
    EXPECT_TRUE(checked(Control::CheckBoxStrelka));
    EXPECT_FALSE(checked(Control::CheckBoxFake));
    EXPECT_EQ(dialog().totalLine(), "No longer listed, skipped: Gone");

    dialog().setLastChoice(LastChoice({"A", "B"}, false, false));
    click(Control::LastChoice);
    EXPECT_EQ(checks(), "YES NO YES");
    EXPECT_TRUE(checked(Control::CheckBoxStrelka));
    EXPECT_EQ(model->total_selected_db_num(), 110U);
    EXPECT_EQ(dialog().totalLine(),
              "The last choice now holds 9,350 cameras, more than 9,300: not applied");
}

TEST_F(SelectionDialogWin32Test, ConfirmAnswersOnceAndTheWindowGoes) {
    open({{"A", "100", "30", "10"}, {"B", "200", "0", "0"}, {"C", "5", "0", "0"}});
    clickRow(0);
    clickRow(2);
    click(Control::CheckBoxFake);
    HWND select = control(Control::Select);
    SendMessageW(select, BM_CLICK, 0, 0);
    SendMessageW(select, BM_CLICK, 0, 0);
    pump();
    ASSERT_EQ(delegate->answers.size(), 1U);
    EXPECT_EQ(delegate->answers[0].checked, (std::vector<std::string>{"YES", "NO", "YES"}));
    EXPECT_FALSE(delegate->answers[0].strelka);
    EXPECT_TRUE(delegate->answers[0].fake);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(SelectionDialogWin32Test, TheCloseBoxAndEscapeAnswerNothing) {
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "close box");
        open({{"A", "100", "0", "0"}});
        clickRow(0);
        ASSERT_TRUE(selectShown());
        if (escape) {
            MSG key{control(Control::Table), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
            EXPECT_TRUE(SelectionDialogWin32::preTranslate(key));
        } else {
            SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        pump();
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_TRUE(delegate->answers.empty());
        EXPECT_FALSE(model->closed());
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
}

RECT placeIn(HWND control, HWND parent) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(SelectionDialogWin32Test, NothingIsCutOffAt100150And200Percent) {
    open({{"A", "100", "0", "0"}});
    RECT start{};
    GetWindowRect(hwnd, &start);
    for (const int dpi : {96, 144, 192}) {
        SCOPED_TRACE(dpi);
        RECT suggested{start.left, start.top,
                       start.left + MulDiv(start.right - start.left, dpi, 96),
                       start.top + MulDiv(start.bottom - start.top, dpi, 96)};
        SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        RECT client{};
        GetClientRect(hwnd, &client);
        for (const auto& [which, extra] : {std::pair{Control::CheckBoxStrelka, 13},
                                           {Control::CheckBoxFake, 13},
                                           {Control::LastChoice, 8},
                                           {Control::Select, 8}}) {
            HWND c = control(which);
            HDC dc = GetDC(c);
            HGDIOBJ old =
                SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)));
            const std::wstring caption = sys::wideFromUtf8(text(c));
            SIZE size{};
            GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            SelectObject(dc, old);
            ReleaseDC(c, dc);
            // The message font grows with the DPI (9 pt is 12 px at 100 %).
            EXPECT_GE(metrics.tmHeight, MulDiv(12, dpi, 96));
            const RECT r = placeIn(c, hwnd);
            EXPECT_GE(r.right - r.left, size.cx + MulDiv(extra, dpi, 96)) << text(c);
            EXPECT_GE(r.bottom - r.top, metrics.tmHeight) << text(c);
            EXPECT_GE(r.left, 0);
            EXPECT_LE(r.right, client.right);
            EXPECT_LE(r.bottom, client.bottom);
        }
        // Top to bottom: table, total line, boxes, buttons; side by side without overlap.
        const RECT table = placeIn(control(Control::Table), hwnd);
        const RECT total = placeIn(control(Control::TotalLine), hwnd);
        const RECT strelka = placeIn(control(Control::CheckBoxStrelka), hwnd);
        const RECT fake = placeIn(control(Control::CheckBoxFake), hwnd);
        const RECT last = placeIn(control(Control::LastChoice), hwnd);
        const RECT select = placeIn(control(Control::Select), hwnd);
        EXPECT_LE(table.bottom, total.top);
        EXPECT_LE(total.bottom, strelka.top);
        EXPECT_LE(strelka.bottom, last.top);
        EXPECT_LE(strelka.right, fake.left);
        EXPECT_LE(last.right, select.left);
    }
}

} // namespace
