// "Last choice": a stored choice goes through the dialog's own rules.

#include "app/LastChoice.hpp"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

SharedTextList texts(std::vector<std::string> values) {
    return std::make_shared<TextList>(std::move(values));
}

// Alpha 100 cameras (30 Strelka, 10 Fake), Bravo 9250, Charlie 40 (0, 40), Delta 1.
struct Dialog {
    SelectionDBViewController model;
    Dialog() {
        model.setDataValue(texts({"Alpha", "Bravo", "Charlie", "Delta"}),
                           texts({"100", "9250", "40", "1"}), texts({"30", "0", "0", "0"}),
                           texts({"10", "0", "40", "0"}), 4);
        model.viewDidLoad();
    }
    [[nodiscard]] std::vector<std::string> checks() const { return model.arOptions_Check(); }
};

using Checks = std::vector<std::string>;

TEST(LastChoiceTest, RestoresTheCountriesAndBoxesReplacingTheCurrentChoice) {
    Dialog d;
    d.model.tableView_shouldSelectRow(3); // Delta, to be replaced
    const auto result = LastChoice({"Charlie", "Alpha"}, true, false).applyTo(d.model);
    EXPECT_TRUE(result.applied);
    EXPECT_TRUE(result.missing.empty());
    EXPECT_EQ(d.checks(), (Checks{"YES", "NO", "YES", "NO"}));
    EXPECT_TRUE(d.model.CheckBox_StrelkaOn());
    EXPECT_FALSE(d.model.CheckBox_FakeOn());
    // 100 - 30 + 40, the Strelka cameras left out.
    EXPECT_EQ(d.model.total_selected_db_num(), 110U);
    EXPECT_EQ(d.model.label_main(), "110");
    EXPECT_FALSE(d.model.btn_SelectHidden());
}

TEST(LastChoiceTest, SkipsNamesNoLongerListed) {
    Dialog d;
    const auto result = LastChoice({"Atlantis", "Delta", "alpha"}, false, false).applyTo(d.model);
    EXPECT_TRUE(result.applied);
    // Names match exactly: "alpha" is not "Alpha".
    EXPECT_EQ(result.missing, (std::vector<std::string>{"Atlantis", "alpha"}));
    EXPECT_EQ(d.checks(), (Checks{"NO", "NO", "NO", "YES"}));
    EXPECT_EQ(d.model.total_selected_db_num(), 1U);
}

TEST(LastChoiceTest, RefusesAChoiceOverTheLimitAndKeepsTheDialogAsItWas) {
    Dialog d;
    d.model.setCheckBox_FakeState(true);
    d.model.CheckBox_Fake_Event();
    d.model.tableView_shouldSelectRow(2); // Charlie: 40 - 40 Fake = 0
    d.model.tableView_shouldSelectRow(3); // Delta: 1
    // Alpha and Bravo with no box: 100 + 9250 = 9350, over the limit.
    const auto result = LastChoice({"Alpha", "Bravo"}, false, false).applyTo(d.model);
    EXPECT_FALSE(result.applied);
    EXPECT_EQ(result.refusedTotal, 9350U);
    EXPECT_EQ(d.checks(), (Checks{"NO", "NO", "YES", "YES"}));
    EXPECT_FALSE(d.model.CheckBox_StrelkaOn());
    EXPECT_TRUE(d.model.CheckBox_FakeOn());
    EXPECT_EQ(d.model.total_selected_db_num(), 1U);
    EXPECT_EQ(d.model.label_main(), "1");

    // Within the limit the stored choice replaces the current one.
    const auto within = LastChoice({"Bravo", "Delta"}, false, false).applyTo(d.model);
    EXPECT_TRUE(within.applied);
    EXPECT_EQ(d.checks(), (Checks{"NO", "YES", "NO", "YES"}));
    EXPECT_EQ(d.model.total_selected_db_num(), 9251U);
}

TEST(LastChoiceTest, FromRecordTakesTheNamesCheckedYesAndTheExclusions) {
    ConnectedTargetInfo record;
    record.setCountry_Name(texts({"Latvija", "Eesti", "Lietuva"}));
    record.setCountry_Checked(
        std::make_shared<List>(List{ListEntry{std::string("YES")}, ListEntry{std::string("NO")},
                                    ListEntry{std::string("YES")}}));
    record.setIsExcludeFake(1);
    const LastChoice choice = LastChoice::fromRecord(record);
    EXPECT_EQ(choice.countries(), (std::vector<std::string>{"Latvija", "Lietuva"}));
    EXPECT_FALSE(choice.excludeStrelka());
    EXPECT_TRUE(choice.excludeFake());
}

} // namespace
