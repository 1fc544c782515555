#pragma once
// The country selection dialog as a toolkit-free model: rows to toggle, two exclusions, one answer.

#include "app/SelectDelegate.hpp"
#include "device/ConnectedTargetInfo.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The part of the dialog's view that a change touched, so a front end redraws just that.
enum class DialogPart { Table, SelectButton, CheckBoxes, LabelMain, Title, Closed };

// Runs on the UI thread only. The total of the current choice is kept in unsigned 32-bit
// arithmetic: row values and sums wrap modulo 2^32, so a negative sum (counts that do not add
// up) is a huge total and never acceptable. The front end calls the operations in the order
// the toolkit would: setDataValue, setDelegate, viewDidLoad, then the user's clicks.
class SelectionDBViewController {
public:
    using ChangeListener = std::function<void(DialogPart)>;

    static constexpr std::uint32_t kSelectionLimit = 9300;
    static constexpr std::string_view kCityColumn = "City";
    // The second column's identifier; any identifier but "City" shows the check texts.
    static constexpr std::string_view kCheckColumn = "Check";
    static constexpr std::string_view kTitle = "Загрузка завершена.";

    void setListener(ChangeListener listener);

    // Takes the rows: n countries, each with its name and its camera, Strelka and Fake counts
    // as decimal texts. Should a list be absent or shorter than n, only the rows that every
    // list has are taken (CountryNum says how many), so a short list can never be read past
    // its end. Clears the choice and the two exclusions.
    void setDataValue(const SharedTextList& names, const SharedTextList& speedCamNums,
                      const SharedTextList& strelkaNums, const SharedTextList& fakeNums,
                      std::uint32_t n);
    // The receiver of the answer; kept alive by the dialog until it is destroyed.
    void setDelegate(std::shared_ptr<SelectDelegate> delegate);

    // Black background, the title, the select button and label_main hidden, both boxes off.
    void viewDidLoad();

    [[nodiscard]] std::uint32_t numberOfRowsInTableView() const;
    // The text of one cell: the country name in the "City" column, "YES"/"NO" in any other.
    // A row that does not exist gives the empty text.
    [[nodiscard]] std::string tableView_viewForTableColumn_row(std::string_view column,
                                                               std::uint32_t row) const;
    // The user clicked row: a chosen country is taken out, another is added if the total then
    // stays within kSelectionLimit (refused silently otherwise). Returns true; a row that does
    // not exist changes nothing and returns false.
    bool tableView_shouldSelectRow(std::uint32_t row);
    // A window's click on row, through tableView_shouldSelectRow: nothing, or, when the row
    // stays out because adding it would pass the limit (a refusal the model keeps silent), the
    // total it would have made, so the window can say why.
    std::optional<std::uint32_t> clickRow(std::uint32_t row);

    // The user's click on a box, before its event runs (the widget changes its own state).
    void setCheckBox_StrelkaState(bool on);
    void setCheckBox_FakeState(bool on);
    // After a box changed: keeps the choice if its total is 1 to kSelectionLimit, otherwise
    // drops the whole choice.
    void CheckBox_Strelka_Event();
    void CheckBox_Fake_Event();
    // With a total of 1 to kSelectionLimit: takes the exclusions from the boxes, closes the
    // dialog and answers the delegate (if one is set). Otherwise, or once closed, nothing.
    void btn_Selecte_Click_Event();

    [[nodiscard]] const std::vector<std::string>& arOptions() const { return m_arOptions; }
    [[nodiscard]] const std::vector<std::string>& arOptions_Check() const {
        return m_arOptions_Check;
    }
    [[nodiscard]] const std::vector<std::string>& locCountrySpeedCamNumArray() const {
        return m_locCountrySpeedCamNumArray;
    }
    [[nodiscard]] const std::vector<std::string>& locCountryStrelkaArray() const {
        return m_locCountryStrelkaArray;
    }
    [[nodiscard]] const std::vector<std::string>& locCountryFakeArray() const {
        return m_locCountryFakeArray;
    }
    [[nodiscard]] bool isStrelkaCheched() const { return m_isStrelkaCheched; }
    [[nodiscard]] bool isFakeCheched() const { return m_isFakeCheched; }
    [[nodiscard]] std::uint32_t total_selected_db_num() const { return m_total_selected_db_num; }
    [[nodiscard]] std::uint32_t CountryNum() const { return m_CountryNum; }
    [[nodiscard]] const std::shared_ptr<SelectDelegate>& delegate() const { return m_delegate; }

    // The row's value with the current box states: cameras, minus Strelka and Fake cameras
    // where excluded, wrapped to 32 bits. 0 for a row that does not exist.
    [[nodiscard]] std::uint32_t rowValue(std::uint32_t row) const;
    // A total the dialog accepts: at most kSelectionLimit, compared unsigned.
    [[nodiscard]] static bool isAcceptable(std::uint32_t total) { return total <= kSelectionLimit; }

    // The controls.
    [[nodiscard]] bool btn_SelectHidden() const { return m_btn_SelectHidden; }
    [[nodiscard]] bool CheckBox_StrelkaOn() const { return m_CheckBox_StrelkaOn; }
    [[nodiscard]] bool CheckBox_FakeOn() const { return m_CheckBox_FakeOn; }
    // The total as "%d" prints it: a wrapped total shows as a negative number.
    [[nodiscard]] const std::string& label_main() const { return m_label_main; }
    [[nodiscard]] bool label_mainHidden() const { return m_label_mainHidden; }
    [[nodiscard]] const std::string& title() const { return m_title; }
    [[nodiscard]] bool blackBackground() const { return m_blackBackground; }
    [[nodiscard]] std::uint32_t tableReloads() const { return m_tableReloads; }
    [[nodiscard]] bool tableAccessibilitySelected() const { return m_tableAccessibilitySelected; }
    [[nodiscard]] bool closed() const { return m_closed; }

private:
    struct Counts {
        std::int32_t speedCams = 0;
        std::int32_t strelka = 0;
        std::int32_t fake = 0;
    };

    [[nodiscard]] bool rowExists(std::uint32_t row) const;
    [[nodiscard]] std::uint32_t chosenTotal() const;
    void checkBoxEvent();
    void setSelectHidden(bool hidden);
    void reloadTable();
    void showTotal();
    void notify(DialogPart part) const;

    std::vector<std::string> m_arOptions;
    std::vector<std::string> m_arOptions_Check;
    std::vector<std::string> m_locCountrySpeedCamNumArray;
    std::vector<std::string> m_locCountryStrelkaArray;
    std::vector<std::string> m_locCountryFakeArray;
    // The three counts of each row, read once from the texts above.
    std::vector<Counts> m_counts;
    bool m_isStrelkaCheched = false;
    bool m_isFakeCheched = false;
    std::uint32_t m_total_selected_db_num = 0;
    std::uint32_t m_CountryNum = 0;
    std::shared_ptr<SelectDelegate> m_delegate;

    bool m_btn_SelectHidden = false;
    bool m_CheckBox_StrelkaOn = false;
    bool m_CheckBox_FakeOn = false;
    std::string m_label_main;
    bool m_label_mainHidden = false;
    std::string m_title;
    bool m_blackBackground = false;
    std::uint32_t m_tableReloads = 0;
    bool m_tableAccessibilitySelected = false;
    bool m_closed = false;

    ChangeListener m_listener;
};
