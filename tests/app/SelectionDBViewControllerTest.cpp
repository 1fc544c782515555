#include "app/SelectionDBViewController.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Row {
    std::string name;
    std::string cameras;
    std::string strelka;
    std::string fake;
};

struct Answer {
    std::vector<std::string> checked;
    bool excludeStrelka;
    bool excludeFake;
};

class RecordingDelegate final : public SelectDelegate {
public:
    void slectedData(const std::vector<std::string>& checked, bool excludeStrelka,
                     bool excludeFake) override {
        answers.push_back({checked, excludeStrelka, excludeFake});
    }
    std::vector<Answer> answers;
};

SharedTextList column(const std::vector<Row>& rows, std::string Row::*field) {
    auto list = std::make_shared<TextList>();
    for (const Row& row : rows) {
        list->push_back(row.*field);
    }
    return list;
}

// An opened dialog over rows, answering to a recording delegate.
struct OpenDialog {
    SelectionDBViewController dialog;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();

    explicit OpenDialog(const std::vector<Row>& rows) {
        dialog.setDataValue(column(rows, &Row::name), column(rows, &Row::cameras),
                            column(rows, &Row::strelka), column(rows, &Row::fake),
                            static_cast<std::uint32_t>(rows.size()));
        dialog.setDelegate(delegate);
        dialog.viewDidLoad();
    }

    void click(std::uint32_t row) { EXPECT_TRUE(dialog.tableView_shouldSelectRow(row)); }
    void strelkaBox(bool on) {
        dialog.setCheckBox_StrelkaState(on);
        dialog.CheckBox_Strelka_Event();
    }
    void fakeBox(bool on) {
        dialog.setCheckBox_FakeState(on);
        dialog.CheckBox_Fake_Event();
    }
    [[nodiscard]] std::vector<std::string> checks() const { return dialog.arOptions_Check(); }
    [[nodiscard]] std::uint32_t total() const { return dialog.total_selected_db_num(); }
    [[nodiscard]] bool buttonShown() const { return !dialog.btn_SelectHidden(); }
};

using Checks = std::vector<std::string>;

TEST(SelectionDBViewControllerTest, OpensWithNothingChosen) {
    OpenDialog d({{"Austria", "120", "5", "1"}, {"Belgium", "80", "0", "0"}});
    EXPECT_EQ(d.dialog.title(), "Загрузка завершена.");
    EXPECT_TRUE(d.dialog.blackBackground());
    EXPECT_FALSE(d.buttonShown());
    EXPECT_FALSE(d.dialog.CheckBox_StrelkaOn());
    EXPECT_FALSE(d.dialog.CheckBox_FakeOn());
    EXPECT_TRUE(d.dialog.label_mainHidden());
    EXPECT_EQ(d.dialog.CountryNum(), 2U);
    EXPECT_EQ(d.dialog.numberOfRowsInTableView(), 2U);
    EXPECT_EQ(d.checks(), (Checks{"NO", "NO"}));
    EXPECT_EQ(d.total(), 0U);
    EXPECT_EQ(d.dialog.locCountrySpeedCamNumArray(), (Checks{"120", "80"}));
    EXPECT_EQ(d.dialog.locCountryStrelkaArray(), (Checks{"5", "0"}));
    EXPECT_EQ(d.dialog.locCountryFakeArray(), (Checks{"1", "0"}));
}

TEST(SelectionDBViewControllerTest, CellsShowNamesAndCheckTexts) {
    OpenDialog d({{"Austria", "120", "0", "0"}, {"Belgium", "80", "0", "0"}});
    d.click(1);
    EXPECT_EQ(d.dialog.tableView_viewForTableColumn_row("City", 0), "Austria");
    EXPECT_EQ(d.dialog.tableView_viewForTableColumn_row("City", 1), "Belgium");
    EXPECT_EQ(d.dialog.tableView_viewForTableColumn_row("Check", 0), "NO");
    EXPECT_EQ(d.dialog.tableView_viewForTableColumn_row("anything", 1), "YES");
    EXPECT_EQ(d.dialog.tableView_viewForTableColumn_row("City", 2), "");
}

TEST(SelectionDBViewControllerTest, LimitRefusesBWithAndWithoutExclusions) {
    OpenDialog d({{"A", "100", "30", "10"}, {"B", "9250", "0", "0"}});
    d.click(0);
    EXPECT_EQ(d.total(), 100U);
    EXPECT_TRUE(d.buttonShown());
    EXPECT_EQ(d.dialog.label_main(), "100");

    d.click(1); // 9350
    EXPECT_EQ(d.checks(), (Checks{"YES", "NO"}));
    EXPECT_EQ(d.total(), 100U);
    EXPECT_TRUE(d.buttonShown());

    d.strelkaBox(true);
    EXPECT_EQ(d.total(), 70U);
    EXPECT_EQ(d.dialog.label_main(), "70");
    EXPECT_TRUE(d.buttonShown());

    d.click(1); // 9320
    EXPECT_EQ(d.checks(), (Checks{"YES", "NO"}));
    EXPECT_EQ(d.total(), 70U);

    d.fakeBox(true);
    EXPECT_EQ(d.total(), 60U);

    d.click(1); // 9310
    EXPECT_EQ(d.checks(), (Checks{"YES", "NO"}));
    EXPECT_EQ(d.total(), 60U);
    EXPECT_EQ(d.dialog.label_main(), "60");
    EXPECT_TRUE(d.buttonShown());
}

TEST(SelectionDBViewControllerTest, ExactlyTheLimitFits) {
    OpenDialog d({{"A", "9300", "0", "0"}, {"B", "1", "0", "0"}});
    d.click(0);
    EXPECT_EQ(d.checks(), (Checks{"YES", "NO"}));
    EXPECT_EQ(d.total(), 9300U);
    EXPECT_TRUE(d.buttonShown());
    d.click(1);
    EXPECT_EQ(d.checks(), (Checks{"YES", "NO"}));
    EXPECT_EQ(d.total(), 9300U);
    EXPECT_EQ(d.dialog.label_main(), "9300");

    d.dialog.btn_Selecte_Click_Event();
    ASSERT_EQ(d.delegate->answers.size(), 1U);
    EXPECT_EQ(d.delegate->answers[0].checked, (Checks{"YES", "NO"}));
}

TEST(SelectionDBViewControllerTest, BoxThatZeroesTheTotalDropsTheChoice) {
    OpenDialog d({{"A", "30", "30", "0"}, {"B", "5", "0", "0"}});
    d.click(0);
    EXPECT_EQ(d.total(), 30U);
    const std::uint32_t reloads = d.dialog.tableReloads();
    d.strelkaBox(true);
    EXPECT_EQ(d.checks(), (Checks{"NO", "NO"}));
    EXPECT_EQ(d.total(), 0U);
    EXPECT_FALSE(d.buttonShown());
    EXPECT_EQ(d.dialog.label_main(), "0");
    EXPECT_GT(d.dialog.tableReloads(), reloads);
    // The box stays on; only the choice was dropped.
    EXPECT_TRUE(d.dialog.CheckBox_StrelkaOn());
}

TEST(SelectionDBViewControllerTest, BoxThatPushesOverTheLimitDropsTheChoice) {
    // 9300 with Strelka excluded; turning the box off again gives 9400.
    OpenDialog d({{"A", "9400", "100", "0"}});
    d.strelkaBox(true);
    d.click(0);
    EXPECT_EQ(d.total(), 9300U);
    d.strelkaBox(false);
    EXPECT_EQ(d.checks(), (Checks{"NO"}));
    EXPECT_EQ(d.total(), 0U);
    EXPECT_FALSE(d.buttonShown());
}

TEST(SelectionDBViewControllerTest, BoxWithinTheLimitKeepsTheChoice) {
    OpenDialog d({{"A", "100", "30", "10"}, {"B", "50", "0", "5"}});
    d.click(0);
    d.click(1);
    d.fakeBox(true);
    EXPECT_EQ(d.checks(), (Checks{"YES", "YES"}));
    EXPECT_EQ(d.total(), 135U);
    EXPECT_TRUE(d.buttonShown());
    d.fakeBox(false);
    EXPECT_EQ(d.total(), 150U);
}

TEST(SelectionDBViewControllerTest, ClickingAChosenRowTakesItOut) {
    OpenDialog d({{"A", "100", "0", "0"}, {"B", "200", "0", "0"}, {"C", "7", "0", "0"}});
    d.click(0);
    d.click(1);
    EXPECT_EQ(d.total(), 300U);
    d.click(0);
    EXPECT_EQ(d.checks(), (Checks{"NO", "YES", "NO"}));
    EXPECT_EQ(d.total(), 200U);
    EXPECT_TRUE(d.buttonShown());
    EXPECT_EQ(d.dialog.label_main(), "200");
    d.click(1);
    EXPECT_EQ(d.checks(), (Checks{"NO", "NO", "NO"}));
    EXPECT_EQ(d.total(), 0U);
    EXPECT_FALSE(d.buttonShown());
    EXPECT_EQ(d.dialog.label_main(), "0");
}

TEST(SelectionDBViewControllerTest, ChosenRowOfValueZeroShowsAButtonThatDoesNothing) {
    OpenDialog d({{"A", "0", "0", "0"}, {"B", "abc", "", ""}});
    d.click(0);
    d.click(1);
    EXPECT_EQ(d.checks(), (Checks{"YES", "YES"}));
    EXPECT_EQ(d.total(), 0U);
    EXPECT_TRUE(d.buttonShown());
    d.dialog.btn_Selecte_Click_Event();
    EXPECT_FALSE(d.dialog.closed());
    EXPECT_TRUE(d.delegate->answers.empty());
}

TEST(SelectionDBViewControllerTest, NoCountries) {
    OpenDialog d({});
    EXPECT_EQ(d.dialog.numberOfRowsInTableView(), 0U);
    EXPECT_FALSE(d.buttonShown());
    d.strelkaBox(true);
    EXPECT_FALSE(d.buttonShown());
    d.fakeBox(true);
    EXPECT_FALSE(d.buttonShown());
    EXPECT_EQ(d.dialog.label_main(), "0");
    d.dialog.btn_Selecte_Click_Event();
    EXPECT_FALSE(d.dialog.closed());
    EXPECT_TRUE(d.delegate->answers.empty());
    EXPECT_FALSE(d.dialog.tableView_shouldSelectRow(0));
}

TEST(SelectionDBViewControllerTest, NegativeRowValueWrapsAndIsRefused) {
    // 10 cameras but 30 Strelka: with Strelka excluded the row is worth 2^32 - 20.
    OpenDialog d({{"A", "10", "30", "0"}, {"B", "40", "0", "0"}});
    d.strelkaBox(true);
    EXPECT_EQ(d.dialog.rowValue(0), 4294967276U);
    d.click(0);
    EXPECT_EQ(d.checks(), (Checks{"NO", "NO"}));
    EXPECT_EQ(d.total(), 0U);
    EXPECT_FALSE(d.buttonShown());

    // Chosen while the box is off, then the box wraps the chosen total: the choice is dropped.
    d.strelkaBox(false);
    d.click(0);
    d.click(1);
    EXPECT_EQ(d.total(), 50U);
    d.strelkaBox(true); // (10 - 30) + 40
    EXPECT_EQ(d.total(), 20U);
    EXPECT_EQ(d.checks(), (Checks{"YES", "YES"}));
    d.click(1); // takes B out: 20 - 40 wraps
    EXPECT_EQ(d.total(), 4294967276U);
    EXPECT_EQ(d.dialog.label_main(), "-20");
    EXPECT_TRUE(d.buttonShown());
    d.dialog.btn_Selecte_Click_Event();
    EXPECT_FALSE(d.dialog.closed());
    EXPECT_TRUE(d.delegate->answers.empty());
    d.fakeBox(true);
    EXPECT_EQ(d.checks(), (Checks{"NO", "NO"}));
    EXPECT_EQ(d.total(), 0U);
    EXPECT_FALSE(d.buttonShown());
}

TEST(SelectionDBViewControllerTest, NegativeCountTextAddsAWrappedValue) {
    // A chosen "-50" row brings a total of 100 down to 50, which is accepted as it is.
    OpenDialog d({{"A", "100", "0", "0"}, {"B", "-50", "0", "0"}});
    d.click(0);
    d.click(1);
    EXPECT_EQ(d.checks(), (Checks{"YES", "YES"}));
    EXPECT_EQ(d.total(), 50U);
    d.click(0); // 50 - 100 wraps
    EXPECT_EQ(d.total(), 4294967246U);
    EXPECT_EQ(d.dialog.label_main(), "-50");
    EXPECT_TRUE(d.buttonShown());
}

TEST(SelectionDBViewControllerTest, OverlongCountSaturatesAndIsRefused) {
    OpenDialog d({{"A", "99999999999", "0", "0"}, {"B", "1", "0", "0"}});
    EXPECT_EQ(d.dialog.rowValue(0), 2147483647U);
    d.click(0);
    EXPECT_EQ(d.checks(), (Checks{"NO", "NO"}));
    EXPECT_FALSE(d.buttonShown());
    EXPECT_EQ(d.total(), 0U);
    d.click(1);
    EXPECT_EQ(d.total(), 1U);
}

TEST(SelectionDBViewControllerTest, ButtonAnswersOnceWithChecksAndExclusions) {
    OpenDialog d({{"A", "100", "10", "0"}, {"B", "20", "0", "0"}, {"C", "30", "0", "1"}});
    d.click(0);
    d.click(2);
    d.strelkaBox(true);
    d.dialog.btn_Selecte_Click_Event();
    EXPECT_TRUE(d.dialog.closed());
    EXPECT_TRUE(d.dialog.isStrelkaCheched());
    EXPECT_FALSE(d.dialog.isFakeCheched());
    ASSERT_EQ(d.delegate->answers.size(), 1U);
    EXPECT_EQ(d.delegate->answers[0].checked, (Checks{"YES", "NO", "YES"}));
    EXPECT_TRUE(d.delegate->answers[0].excludeStrelka);
    EXPECT_FALSE(d.delegate->answers[0].excludeFake);

    d.dialog.btn_Selecte_Click_Event();
    EXPECT_EQ(d.delegate->answers.size(), 1U);
}

TEST(SelectionDBViewControllerTest, ExclusionFlagsAreTakenOnlyWhenConfirming) {
    OpenDialog d({{"A", "100", "0", "0"}});
    d.click(0);
    d.dialog.setCheckBox_FakeState(true);
    d.dialog.CheckBox_Fake_Event();
    EXPECT_FALSE(d.dialog.isFakeCheched());
    d.dialog.btn_Selecte_Click_Event();
    ASSERT_EQ(d.delegate->answers.size(), 1U);
    EXPECT_FALSE(d.delegate->answers[0].excludeStrelka);
    EXPECT_TRUE(d.delegate->answers[0].excludeFake);
}

TEST(SelectionDBViewControllerTest, ShortOrAbsentListsLimitTheRows) {
    SelectionDBViewController dialog;
    auto names = std::make_shared<const TextList>(TextList{"A", "B", "C"});
    auto counts = std::make_shared<const TextList>(TextList{"1", "2", "3"});
    auto two = std::make_shared<const TextList>(TextList{"0", "0"});
    dialog.setDataValue(names, counts, counts, two, 3);
    EXPECT_EQ(dialog.CountryNum(), 2U);
    EXPECT_EQ(dialog.arOptions(), (Checks{"A", "B"}));

    dialog.setDataValue(names, counts, counts, counts, 1);
    EXPECT_EQ(dialog.CountryNum(), 1U);

    dialog.setDataValue(names, nullptr, counts, counts, 3);
    EXPECT_EQ(dialog.CountryNum(), 0U);
    EXPECT_EQ(dialog.numberOfRowsInTableView(), 0U);
}

TEST(SelectionDBViewControllerTest, SetDataValueStartsAFreshChoice) {
    OpenDialog d({{"A", "100", "0", "0"}});
    d.click(0);
    auto names = std::make_shared<const TextList>(TextList{"X", "Y"});
    auto counts = std::make_shared<const TextList>(TextList{"5", "6"});
    d.dialog.setDataValue(names, counts, counts, counts, 2);
    EXPECT_EQ(d.checks(), (Checks{"NO", "NO"}));
    EXPECT_EQ(d.total(), 0U);
    EXPECT_FALSE(d.dialog.isStrelkaCheched());
}

TEST(SelectionDBViewControllerTest, ClickOnAMissingRowChangesNothing) {
    OpenDialog d({{"A", "100", "0", "0"}});
    d.click(0);
    const std::uint32_t reloads = d.dialog.tableReloads();
    EXPECT_FALSE(d.dialog.tableView_shouldSelectRow(1));
    EXPECT_FALSE(d.dialog.tableView_shouldSelectRow(UINT32_MAX));
    EXPECT_EQ(d.checks(), (Checks{"YES"}));
    EXPECT_EQ(d.total(), 100U);
    EXPECT_EQ(d.dialog.tableReloads(), reloads);
}

TEST(SelectionDBViewControllerTest, CountTextsReadLikeIntegers) {
    OpenDialog d({{"A", " 12abc", "+2", "1.9"}, {"B", "1e3", "-", "x"}});
    d.strelkaBox(true);
    d.fakeBox(true);
    EXPECT_EQ(d.dialog.rowValue(0), 9U);
    EXPECT_EQ(d.dialog.rowValue(1), 1U);
}

TEST(SelectionDBViewControllerTest, ListenerHearsEveryPartThatChanged) {
    OpenDialog d({{"A", "100", "0", "0"}});
    std::vector<DialogPart> parts;
    d.dialog.setListener([&](DialogPart part) { parts.push_back(part); });
    d.click(0);
    d.dialog.btn_Selecte_Click_Event();
    const std::vector<DialogPart> expected{DialogPart::SelectButton, DialogPart::Table,
                                           DialogPart::LabelMain, DialogPart::Closed};
    EXPECT_EQ(parts, expected);
}

TEST(SelectionDBViewControllerTest, LabelMainAlwaysHoldsTheTotal) {
    OpenDialog d({{"A", "100", "30", "10"}, {"B", "2000", "7", "3"}, {"C", "7000", "0", "0"}});
    const auto check = [&] { EXPECT_EQ(d.dialog.label_main(), std::to_string(d.total())); };
    d.click(0);
    check();
    d.click(1);
    check();
    d.strelkaBox(true);
    check();
    d.click(2);
    check();
    d.click(2);
    check();
    d.fakeBox(true);
    check();
    d.click(0);
    check();
}

} // namespace

namespace {

TEST(SelectionDBViewControllerTest, ClickRowNamesTheTotalOfARefusalOnly) {
    OpenDialog d({{"A", "9000", "0", "0"}, {"B", "500", "0", "0"}, {"C", "300", "0", "0"}});
    EXPECT_EQ(d.dialog.clickRow(0), std::nullopt) << "added";
    EXPECT_EQ(d.dialog.clickRow(1), std::optional<std::uint32_t>(9500)) << "refused";
    EXPECT_EQ(d.dialog.arOptions_Check()[1], "NO");
    EXPECT_EQ(d.dialog.clickRow(2), std::nullopt) << "9300 fits exactly";
    EXPECT_EQ(d.dialog.clickRow(0), std::nullopt) << "taken out";
    EXPECT_EQ(d.dialog.clickRow(7), std::nullopt) << "no such row";
    EXPECT_EQ(d.dialog.total_selected_db_num(), 300U);
}

} // namespace
