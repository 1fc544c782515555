#include "app/SelectionDBViewController.hpp"

#include "database/TextNumber.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace {

constexpr std::string_view kYes = "YES";
constexpr std::string_view kNo = "NO";

std::size_t entries(const SharedTextList& list) { return list ? list->size() : 0; }

} // namespace

void SelectionDBViewController::setListener(ChangeListener listener) {
    m_listener = std::move(listener);
}

void SelectionDBViewController::setDataValue(const SharedTextList& names,
                                             const SharedTextList& speedCamNums,
                                             const SharedTextList& strelkaNums,
                                             const SharedTextList& fakeNums, std::uint32_t n) {
    const std::size_t rows =
        std::min({static_cast<std::size_t>(n), entries(names), entries(speedCamNums),
                  entries(strelkaNums), entries(fakeNums)});
    m_arOptions.clear();
    m_arOptions_Check.clear();
    m_locCountrySpeedCamNumArray.clear();
    m_locCountryStrelkaArray.clear();
    m_locCountryFakeArray.clear();
    m_counts.clear();
    m_CountryNum = static_cast<std::uint32_t>(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        m_arOptions.push_back((*names)[i]);
        m_arOptions_Check.emplace_back(kNo);
        m_locCountrySpeedCamNumArray.push_back((*speedCamNums)[i]);
        m_locCountryStrelkaArray.push_back((*strelkaNums)[i]);
        m_locCountryFakeArray.push_back((*fakeNums)[i]);
        m_counts.push_back({codec::readLeadingInt32((*speedCamNums)[i]),
                            codec::readLeadingInt32((*strelkaNums)[i]),
                            codec::readLeadingInt32((*fakeNums)[i])});
    }
    m_isStrelkaCheched = false;
    m_isFakeCheched = false;
    m_total_selected_db_num = 0;
    reloadTable();
}

void SelectionDBViewController::setDelegate(std::shared_ptr<SelectDelegate> delegate) {
    m_delegate = std::move(delegate);
}

void SelectionDBViewController::viewDidLoad() {
    m_blackBackground = true;
    m_title = kTitle;
    notify(DialogPart::Title);
    setSelectHidden(true);
    m_CheckBox_StrelkaOn = false;
    m_CheckBox_FakeOn = false;
    notify(DialogPart::CheckBoxes);
    m_label_mainHidden = true;
    notify(DialogPart::LabelMain);
    reloadTable();
}

std::uint32_t SelectionDBViewController::numberOfRowsInTableView() const {
    return static_cast<std::uint32_t>(m_arOptions.size());
}

std::string SelectionDBViewController::tableView_viewForTableColumn_row(std::string_view column,
                                                                        std::uint32_t row) const {
    if (!rowExists(row)) {
        return {};
    }
    return column == kCityColumn ? m_arOptions[row] : m_arOptions_Check[row];
}

bool SelectionDBViewController::tableView_shouldSelectRow(std::uint32_t row) {
    if (!rowExists(row)) {
        return false;
    }
    std::uint32_t total = chosenTotal();
    const std::uint32_t value = rowValue(row);
    if (m_arOptions_Check[row] == kYes) {
        if (total != 0) {
            total -= value;
        }
        setSelectHidden(total == 0);
        m_arOptions_Check[row] = kNo;
    } else {
        total += value;
        if (isAcceptable(total)) {
            m_arOptions_Check[row] = kYes;
            setSelectHidden(false);
        } else {
            if (total != 0) {
                total -= value;
            }
            setSelectHidden(total == 0);
            m_arOptions_Check[row] = kNo;
        }
    }
    m_total_selected_db_num = total;
    m_tableAccessibilitySelected = false;
    reloadTable();
    showTotal();
    return true;
}

void SelectionDBViewController::setCheckBox_StrelkaState(bool on) {
    m_CheckBox_StrelkaOn = on;
    notify(DialogPart::CheckBoxes);
}

void SelectionDBViewController::setCheckBox_FakeState(bool on) {
    m_CheckBox_FakeOn = on;
    notify(DialogPart::CheckBoxes);
}

void SelectionDBViewController::CheckBox_Strelka_Event() { checkBoxEvent(); }

void SelectionDBViewController::CheckBox_Fake_Event() { checkBoxEvent(); }

void SelectionDBViewController::btn_Selecte_Click_Event() {
    const std::uint32_t total = m_total_selected_db_num;
    // Once closed the dialog has answered; a second press must not answer again.
    if (m_closed || total == 0 || !isAcceptable(total)) {
        return;
    }
    m_isStrelkaCheched = m_CheckBox_StrelkaOn;
    m_isFakeCheched = m_CheckBox_FakeOn;
    m_closed = true;
    notify(DialogPart::Closed);
    if (m_delegate) {
        // The delegate may drop the last other reference to this dialog's owner; keep it alive
        // for the call.
        const std::shared_ptr<SelectDelegate> delegate = m_delegate;
        delegate->slectedData(m_arOptions_Check, m_isStrelkaCheched, m_isFakeCheched);
    }
}

std::uint32_t SelectionDBViewController::rowValue(std::uint32_t row) const {
    if (!rowExists(row)) {
        return 0;
    }
    const Counts& counts = m_counts[row];
    // Unsigned on purpose: a negative row value wraps, as the total does.
    std::uint32_t value = static_cast<std::uint32_t>(counts.speedCams);
    if (m_CheckBox_StrelkaOn) {
        value -= static_cast<std::uint32_t>(counts.strelka);
    }
    if (m_CheckBox_FakeOn) {
        value -= static_cast<std::uint32_t>(counts.fake);
    }
    return value;
}

bool SelectionDBViewController::rowExists(std::uint32_t row) const {
    return row < m_arOptions_Check.size();
}

std::uint32_t SelectionDBViewController::chosenTotal() const {
    std::uint32_t total = 0;
    for (std::uint32_t row = 0; row < m_arOptions_Check.size(); ++row) {
        if (m_arOptions_Check[row] == kYes) {
            total += rowValue(row);
        }
    }
    return total;
}

void SelectionDBViewController::checkBoxEvent() {
    const std::uint32_t total = chosenTotal();
    if (total >= 1 && isAcceptable(total)) {
        m_total_selected_db_num = total;
        setSelectHidden(false);
    } else {
        std::fill(m_arOptions_Check.begin(), m_arOptions_Check.end(), std::string(kNo));
        m_total_selected_db_num = 0;
        reloadTable();
        setSelectHidden(true);
    }
    showTotal();
}

void SelectionDBViewController::setSelectHidden(bool hidden) {
    m_btn_SelectHidden = hidden;
    notify(DialogPart::SelectButton);
}

void SelectionDBViewController::reloadTable() {
    ++m_tableReloads;
    notify(DialogPart::Table);
}

void SelectionDBViewController::showTotal() {
    // "%d" of the unsigned total: the same bits read as signed.
    m_label_main = std::to_string(static_cast<std::int32_t>(m_total_selected_db_num));
    notify(DialogPart::LabelMain);
}

void SelectionDBViewController::notify(DialogPart part) const {
    if (m_listener) {
        m_listener(part);
    }
}

std::optional<std::uint32_t> SelectionDBViewController::clickRow(std::uint32_t row) {
    const bool wasChosen = rowExists(row) && m_arOptions_Check[row] == kYes;
    const std::uint32_t total = m_total_selected_db_num;
    if (!tableView_shouldSelectRow(row) || wasChosen || m_arOptions_Check[row] == kYes) {
        return std::nullopt;
    }
    return total + rowValue(row);
}
