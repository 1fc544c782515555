#include "app/LastChoice.hpp"

#include <algorithm>
#include <utility>

namespace {

constexpr const char* kChosen = "YES";

std::vector<std::uint32_t> chosenRows(const SelectionDBViewController& dialog) {
    std::vector<std::uint32_t> rows;
    const auto& checks = dialog.arOptions_Check();
    for (std::uint32_t row = 0; row < checks.size(); ++row) {
        if (checks[row] == kChosen) {
            rows.push_back(row);
        }
    }
    return rows;
}

// Takes every row out, sets the boxes, then clicks `rows` in order; the rows refused.
std::vector<std::uint32_t> choose(SelectionDBViewController& dialog,
                                  const std::vector<std::uint32_t>& rows, bool strelka, bool fake) {
    for (const std::uint32_t row : chosenRows(dialog)) {
        dialog.tableView_shouldSelectRow(row);
    }
    dialog.setCheckBox_StrelkaState(strelka);
    dialog.CheckBox_Strelka_Event();
    dialog.setCheckBox_FakeState(fake);
    dialog.CheckBox_Fake_Event();
    std::vector<std::uint32_t> refused;
    for (const std::uint32_t row : rows) {
        if (dialog.arOptions_Check()[row] == kChosen) {
            continue;
        }
        dialog.tableView_shouldSelectRow(row);
        if (dialog.arOptions_Check()[row] != kChosen) {
            refused.push_back(row);
        }
    }
    return refused;
}

} // namespace

LastChoice::LastChoice(std::vector<std::string> countries, bool excludeStrelka, bool excludeFake)
    : m_countries(std::move(countries))
    , m_excludeStrelka(excludeStrelka)
    , m_excludeFake(excludeFake) {}

LastChoice LastChoice::fromRecord(const ConnectedTargetInfo& record) {
    std::vector<std::string> names;
    const SharedTextList all = record.Country_Name();
    const SharedList checked = record.Country_Checked();
    if (all && checked) {
        for (std::size_t i = 0; i < std::min(all->size(), checked->size()); ++i) {
            const auto* text = std::get_if<std::string>(&(*checked)[i]);
            if (text != nullptr && *text == kChosen) {
                names.push_back((*all)[i]);
            }
        }
    }
    return {std::move(names), record.isExcludeStrelka() != 0, record.isExcludeFake() != 0};
}

LastChoice::Result LastChoice::applyTo(SelectionDBViewController& dialog) const {
    Result result;
    std::vector<std::uint32_t> rows;
    const auto& names = dialog.arOptions();
    for (const std::string& name : m_countries) {
        const auto found = std::find(names.begin(), names.end(), name);
        if (found == names.end()) {
            result.missing.push_back(name);
            continue;
        }
        const auto row = static_cast<std::uint32_t>(found - names.begin());
        if (std::find(rows.begin(), rows.end(), row) == rows.end()) {
            rows.push_back(row);
        }
    }

    const std::vector<std::uint32_t> before = chosenRows(dialog);
    const bool strelkaBefore = dialog.CheckBox_StrelkaOn();
    const bool fakeBefore = dialog.CheckBox_FakeOn();
    if (choose(dialog, rows, m_excludeStrelka, m_excludeFake).empty()) {
        result.applied = true;
        return result;
    }
    // The boxes are this choice's now: the total it would hold, wrapped like the dialog's.
    std::uint32_t total = 0;
    for (const std::uint32_t row : rows) {
        total += dialog.rowValue(row);
    }
    result.refusedTotal = total;
    choose(dialog, before, strelkaBefore, fakeBefore);
    return result;
}
