// The country dialog's widgets: clicks on the real table rows and check boxes.

#include "gui/SelectionDialog.hpp"

#include "QtPrinters.hpp"
#include "gui/QtSelectionPresenter.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

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

SharedTextList list(std::vector<std::string> texts) {
    return std::make_shared<std::vector<std::string>>(std::move(texts));
}

struct Country {
    std::string name, cameras, strelka, fake;
};

class SelectionDialogTest : public ::testing::Test {
protected:
    void open(const std::vector<Country>& countries) {
        std::vector<std::string> names, cams, strelka, fake;
        for (const auto& c : countries) {
            names.push_back(c.name);
            cams.push_back(c.cameras);
            strelka.push_back(c.strelka);
            fake.push_back(c.fake);
        }
        model = std::make_shared<SelectionDBViewController>();
        model->setDataValue(list(names), list(cams), list(strelka), list(fake),
                            static_cast<std::uint32_t>(countries.size()));
        model->setDelegate(delegate);
        model->viewDidLoad();
        dialog = std::make_unique<SelectionDialog>(model);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }

    void clickRow(int row) {
        QTableWidget* table = dialog->tty();
        const QRect cell = table->visualItemRect(table->item(row, SelectionDialog::kCityColumn));
        ASSERT_TRUE(cell.isValid());
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }

    void clickBox(QCheckBox* box) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }

    QString check(int row) const {
        return dialog->tty()->item(row, SelectionDialog::kCheckColumn)->text();
    }
    bool selectShown() const { return !dialog->btn_Select()->isHidden(); }
    QString total() const { return dialog->label_main()->text(); }
    QString totalLine() const { return dialog->label_total()->text(); }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<SelectionDBViewController> model;
    std::unique_ptr<SelectionDialog> dialog;
};

TEST_F(SelectionDialogTest, ShowsTitleColumnsAndHiddenControls) {
    open({{"Россия", "120", "5", "2"}, {"Latvija", "30", "0", "0"}});
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Загрузка завершена."));
    QTableWidget* table = dialog->tty();
    EXPECT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->horizontalHeaderItem(SelectionDialog::kCityColumn)->text(),
              QStringLiteral("City"));
    EXPECT_EQ(table->item(0, SelectionDialog::kCityColumn)->text(), QStringLiteral("Россия"));
    EXPECT_EQ(table->item(1, SelectionDialog::kCityColumn)->text(), QStringLiteral("Latvija"));
    EXPECT_EQ(check(0), QStringLiteral("NO"));
    EXPECT_EQ(table->item(0, SelectionDialog::kCountColumn)->text(), QStringLiteral("120"));
    EXPECT_TRUE(dialog->btn_Select()->isHidden());
    EXPECT_TRUE(dialog->label_main()->isHidden());
    EXPECT_FALSE(dialog->CheckBox_Strelka()->isChecked());
    EXPECT_FALSE(dialog->CheckBox_Fake()->isChecked());
}

TEST_F(SelectionDialogTest, LimitWithExclusions) {
    open({{"A", "100", "30", "10"}, {"B", "9250", "0", "0"}});
    clickRow(0);
    EXPECT_EQ(check(0), QStringLiteral("YES"));
    EXPECT_EQ(total(), QStringLiteral("100"));
    EXPECT_TRUE(selectShown());
    clickRow(1);
    EXPECT_EQ(check(1), QStringLiteral("NO"));
    EXPECT_EQ(total(), QStringLiteral("100"));
    clickBox(dialog->CheckBox_Strelka());
    EXPECT_TRUE(dialog->CheckBox_Strelka()->isChecked());
    EXPECT_EQ(total(), QStringLiteral("70"));
    clickRow(1);
    EXPECT_EQ(check(1), QStringLiteral("NO"));
    EXPECT_EQ(total(), QStringLiteral("70"));
    clickBox(dialog->CheckBox_Fake());
    EXPECT_EQ(total(), QStringLiteral("60"));
    clickRow(1);
    EXPECT_EQ(check(1), QStringLiteral("NO"));
    EXPECT_EQ(total(), QStringLiteral("60"));
    EXPECT_EQ(check(0), QStringLiteral("YES"));
    EXPECT_TRUE(selectShown());
}

TEST_F(SelectionDialogTest, ExactLimitAcceptedThenRefused) {
    open({{"A", "9300", "0", "0"}, {"B", "1", "0", "0"}});
    clickRow(0);
    EXPECT_EQ(check(0), QStringLiteral("YES"));
    EXPECT_EQ(total(), QStringLiteral("9300"));
    clickRow(1);
    EXPECT_EQ(check(1), QStringLiteral("NO"));
    EXPECT_EQ(total(), QStringLiteral("9300"));
}

TEST_F(SelectionDialogTest, ExclusionToZeroDropsTheChoice) {
    open({{"A", "30", "30", "0"}, {"B", "5", "0", "0"}});
    clickRow(0);
    EXPECT_EQ(total(), QStringLiteral("30"));
    clickBox(dialog->CheckBox_Strelka());
    EXPECT_EQ(check(0), QStringLiteral("NO"));
    EXPECT_EQ(check(1), QStringLiteral("NO"));
    EXPECT_EQ(total(), QStringLiteral("0"));
    EXPECT_FALSE(selectShown());
}

TEST_F(SelectionDialogTest, ClickingAChosenRowTakesItOut) {
    open({{"A", "100", "0", "0"}, {"B", "50", "0", "0"}});
    clickRow(0);
    clickRow(1);
    EXPECT_EQ(total(), QStringLiteral("150"));
    clickRow(0);
    EXPECT_EQ(check(0), QStringLiteral("NO"));
    EXPECT_EQ(total(), QStringLiteral("50"));
    EXPECT_TRUE(selectShown());
    clickRow(1);
    EXPECT_EQ(total(), QStringLiteral("0"));
    EXPECT_FALSE(selectShown());
}

TEST_F(SelectionDialogTest, TotalZeroChoiceDoesNotAnswer) {
    open({{"A", "0", "0", "0"}, {"B", "7", "0", "0"}});
    clickRow(0);
    EXPECT_EQ(check(0), QStringLiteral("YES"));
    ASSERT_TRUE(selectShown());
    QTest::mouseClick(dialog->btn_Select(), Qt::LeftButton);
    EXPECT_TRUE(delegate->answers.empty());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(SelectionDialogTest, NoCountries) {
    open({});
    EXPECT_EQ(dialog->tty()->rowCount(), 0);
    EXPECT_FALSE(selectShown());
    clickBox(dialog->CheckBox_Fake());
    EXPECT_FALSE(selectShown());
    EXPECT_EQ(total(), QStringLiteral("0"));
}

TEST_F(SelectionDialogTest, SelectAnswersAndCloses) {
    open({{"A", "100", "30", "10"}, {"B", "200", "0", "0"}, {"C", "5", "0", "0"}});
    clickRow(0);
    clickRow(2);
    clickBox(dialog->CheckBox_Fake());
    QTest::mouseClick(dialog->btn_Select(), Qt::LeftButton);
    ASSERT_EQ(delegate->answers.size(), 1U);
    EXPECT_EQ(delegate->answers[0].checked, (std::vector<std::string>{"YES", "NO", "YES"}));
    EXPECT_FALSE(delegate->answers[0].strelka);
    EXPECT_TRUE(delegate->answers[0].fake);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(SelectionDialogTest, ClosingTheWindowAnswersNothing) {
    open({{"A", "100", "0", "0"}});
    clickRow(0);
    dialog->close();
    EXPECT_TRUE(delegate->answers.empty());
    EXPECT_FALSE(model->closed());
}

TEST(QtSelectionPresenter, ShowsAModalDialogOverTheWindow) {
    QWidget main;
    main.show();
    QtSelectionPresenter presenter(&main);
    SelectionDialog* shown = nullptr;
    presenter.setShownListener([&](SelectionDialog* d) { shown = d; });
    auto model = std::make_shared<SelectionDBViewController>();
    model->setDataValue(list({"A"}), list({"10"}), list({"0"}), list({"0"}), 1);
    model->viewDidLoad();
    presenter.present(model);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(presenter.current(), shown);
    EXPECT_TRUE(shown->isModal());
    EXPECT_EQ(shown->parentWidget(), &main);
    EXPECT_EQ(QApplication::activeModalWidget(), shown);
    shown->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return presenter.current() == nullptr; }, 5000));
}

} // namespace

namespace {

// The tests run in English; numbers take that language's grouping.
TEST_F(SelectionDialogTest, TotalLineFollowsClicksAndBoxesAndSaysWhyAClickWasRefused) {
    open({{"A", "9300", "0", "0"}, {"B", "1", "0", "0"}, {"C", "3500", "0", "200"}});
    dialog->setNoticeMilliseconds(200);
    EXPECT_EQ(totalLine(), QStringLiteral("0 of 9,300 cameras"));
    EXPECT_FALSE(dialog->label_total()->isHidden());
    clickRow(2);
    EXPECT_EQ(totalLine(), QStringLiteral("3,500 of 9,300 cameras"));
    clickBox(dialog->CheckBox_Fake());
    EXPECT_EQ(totalLine(), QStringLiteral("3,300 of 9,300 cameras"));
    clickRow(2);
    EXPECT_EQ(totalLine(), QStringLiteral("0 of 9,300 cameras"));
    clickRow(0);
    EXPECT_EQ(totalLine(), QStringLiteral("9,300 of 9,300 cameras"));

    clickRow(1);
    EXPECT_EQ(check(1), QStringLiteral("NO"));
    EXPECT_EQ(total(), QStringLiteral("9300"));
    EXPECT_EQ(
        totalLine(),
        QStringLiteral("Not added: B would make 9,301, more than the limit of 9,300 cameras"));
    // A few seconds later the line shows the total again.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return totalLine() == QStringLiteral("9,300 of 9,300 cameras"); }, 5000));

    // The next change shows the total at once.
    clickRow(1);
    dialog->setNoticeMilliseconds(60000);
    clickRow(1);
    EXPECT_TRUE(totalLine().startsWith(QStringLiteral("Not added")));
    clickRow(0);
    EXPECT_EQ(totalLine(), QStringLiteral("0 of 9,300 cameras"));
}

TEST_F(SelectionDialogTest, TotalLineInRussianUsesRussianNumbers) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QString text = SelectionDialog::totalText(3500);
    QLocale::setDefault(before);
    // The group separator of Russian is a no-break space.
    EXPECT_TRUE(text.startsWith(QStringLiteral("3\u00A0500 ")) ||
                text.startsWith(QStringLiteral("3\u202F500 ")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("9\u00A0300")) ||
                text.contains(QStringLiteral("9\u202F300")))
        << text.toStdString();
}

TEST_F(SelectionDialogTest, LastChoiceIsOfferedNeverImposed) {
    open({{"A", "100", "30", "10"}, {"B", "9250", "0", "0"}, {"C", "40", "0", "0"}});
    EXPECT_FALSE(dialog->btn_LastChoice()->isEnabled()) << "nothing stored";
    dialog->setLastChoice(LastChoice({"C", "Gone", "A"}, true, false));
    // Offered, but the dialog opens as always: nothing chosen, both boxes off.
    EXPECT_TRUE(dialog->btn_LastChoice()->isEnabled());
    EXPECT_EQ(check(0), QStringLiteral("NO"));
    EXPECT_EQ(check(2), QStringLiteral("NO"));
    EXPECT_FALSE(dialog->CheckBox_Strelka()->isChecked());

    QTest::mouseClick(dialog->btn_LastChoice(), Qt::LeftButton);
    EXPECT_EQ(check(0), QStringLiteral("YES"));
    EXPECT_EQ(check(1), QStringLiteral("NO"));
    EXPECT_EQ(check(2), QStringLiteral("YES"));
    EXPECT_TRUE(dialog->CheckBox_Strelka()->isChecked());
    EXPECT_FALSE(dialog->CheckBox_Fake()->isChecked());
    EXPECT_EQ(total(), QStringLiteral("110"));
    EXPECT_TRUE(selectShown());
    EXPECT_EQ(totalLine(), QStringLiteral("No longer listed, skipped: Gone"));

    // A stored choice that now passes the limit is refused as a whole.
    dialog->setLastChoice(LastChoice({"A", "B"}, false, false));
    QTest::mouseClick(dialog->btn_LastChoice(), Qt::LeftButton);
    EXPECT_EQ(check(1), QStringLiteral("NO"));
    EXPECT_EQ(check(2), QStringLiteral("YES"));
    EXPECT_TRUE(dialog->CheckBox_Strelka()->isChecked());
    EXPECT_EQ(total(), QStringLiteral("110"));
    EXPECT_EQ(
        totalLine(),
        QStringLiteral("The last choice now holds 9,350 cameras, more than 9,300: not applied"));

    QTest::mouseClick(dialog->btn_Select(), Qt::LeftButton);
    ASSERT_EQ(delegate->answers.size(), 1U);
    EXPECT_EQ(delegate->answers[0].checked, (std::vector<std::string>{"YES", "NO", "YES"}));
    EXPECT_TRUE(delegate->answers[0].strelka);
}

TEST_F(SelectionDialogTest, SpaceTogglesTheCurrentRowAndControlsHaveNames) {
    open({{"A", "10", "0", "0"}, {"B", "20", "0", "0"}});
    QTableWidget* table = dialog->tty();
    EXPECT_NE(table->focusPolicy(), Qt::NoFocus);
    table->setFocus();
    table->setCurrentCell(1, SelectionDialog::kCityColumn);
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(check(1), QStringLiteral("YES"));
    EXPECT_EQ(total(), QStringLiteral("20"));
    QTest::keyClick(table, Qt::Key_Up);
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(check(0), QStringLiteral("YES"));
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(check(0), QStringLiteral("NO"));
    for (QWidget* w : std::initializer_list<QWidget*>{
             table, dialog->label_total(), dialog->btn_Select(), dialog->btn_LastChoice(),
             dialog->CheckBox_Strelka(), dialog->CheckBox_Fake()}) {
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
}

} // namespace
