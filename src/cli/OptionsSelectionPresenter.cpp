#include "cli/OptionsSelectionPresenter.hpp"

#include "cli/CliTexts.hpp"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

std::string asciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Exact name first, then a match that ignores ASCII case and surrounding blanks.
std::optional<std::uint32_t> rowNamed(const SelectionDBViewController& dialog,
                                      const std::string& wanted) {
    const auto& names = dialog.arOptions();
    const auto rows = dialog.numberOfRowsInTableView();
    for (std::uint32_t row = 0; row < rows && row < names.size(); ++row) {
        if (names[row] == wanted) {
            return row;
        }
    }
    const auto key = asciiLower(trimmed(wanted));
    for (std::uint32_t row = 0; row < rows && row < names.size(); ++row) {
        if (asciiLower(trimmed(names[row])) == key) {
            return row;
        }
    }
    return std::nullopt;
}

std::string rowList(const SelectionDBViewController& dialog,
                    const std::vector<std::uint32_t>& rows) {
    std::string text;
    for (const auto row : rows) {
        if (!text.empty()) {
            text += ", ";
        }
        text += dialog.arOptions()[row] + " " +
                std::to_string(static_cast<std::int32_t>(dialog.rowValue(row)));
    }
    return text;
}

} // namespace

OptionsSelectionPresenter::OptionsSelectionPresenter(const CliOptions& options,
                                                     const Localizer& texts, Confirm confirm)
    : m_options(options)
    , m_texts(texts)
    , m_confirm(std::move(confirm)) {}

std::optional<std::string> OptionsSelectionPresenter::choose(SelectionDBViewController& dialog,
                                                             const CliOptions& options,
                                                             const Localizer& texts,
                                                             bool writesDatabase) {
    if (!writesDatabase) {
        return texts.L("cli_no_database");
    }
    std::vector<std::uint32_t> rows;
    if (options.allCountries) {
        for (std::uint32_t row = 0; row < dialog.numberOfRowsInTableView(); ++row) {
            rows.push_back(row);
        }
    } else {
        std::vector<std::string> unknown;
        for (const auto& name : options.countries) {
            const auto row = rowNamed(dialog, name);
            if (!row) {
                unknown.push_back(name);
            } else if (std::find(rows.begin(), rows.end(), *row) == rows.end()) {
                rows.push_back(*row);
            }
        }
        if (!unknown.empty()) {
            std::string names;
            for (std::size_t i = 0; i < unknown.size(); ++i) {
                names += (i > 0 ? ", '" : "'") + unknown[i] + "'";
            }
            std::string listed;
            for (std::size_t i = 0; i < dialog.arOptions().size(); ++i) {
                listed += (i > 0 ? ", " : "") + dialog.arOptions()[i];
            }
            return CliTexts::fill(
                texts.L(unknown.size() > 1 ? "cli_unknown_countries" : "cli_unknown_country"),
                {names, listed});
        }
    }
    if (rows.empty()) {
        return texts.L("cli_no_countries");
    }
    // The boxes first, so that every click is judged with the exclusions in force.
    if (options.excludeStrelka) {
        dialog.setCheckBox_StrelkaState(true);
        dialog.CheckBox_Strelka_Event();
    }
    if (options.excludeFake) {
        dialog.setCheckBox_FakeState(true);
        dialog.CheckBox_Fake_Event();
    }
    for (const auto row : rows) {
        dialog.tableView_shouldSelectRow(row);
        if (dialog.arOptions_Check()[row] != "YES") {
            std::uint64_t wanted = 0;
            for (const auto r : rows) {
                wanted += dialog.rowValue(r);
            }
            return CliTexts::fill(texts.L("cli_over_limit"),
                                  {std::to_string(wanted), rowList(dialog, rows),
                                   std::to_string(SelectionDBViewController::kSelectionLimit)});
        }
    }
    if (dialog.total_selected_db_num() == 0) {
        return CliTexts::fill(texts.L("cli_no_records"), {rowList(dialog, rows)});
    }
    return std::nullopt;
}

void OptionsSelectionPresenter::present(std::shared_ptr<SelectionDBViewController> dialog) {
    m_presented = true;
    m_answered = false;
    m_declined = false;
    m_refusal.clear();
    if (auto why = choose(*dialog, m_options, m_texts, m_writesDatabase)) {
        m_refusal = std::move(*why);
        return;
    }
    if (m_confirm && !m_confirm(*dialog)) {
        m_declined = true;
        return;
    }
    // Marked first: the dialog answers at once and the flow may report from inside the click.
    m_answered = true;
    dialog->btn_Selecte_Click_Event();
    m_answered = dialog->closed();
}
