#pragma once
// Answers the country selection dialog from --countries and --exclude-*, by the dialog's rules.

#include "app/Localizer.hpp"
#include "app/SelectionPresenter.hpp"
#include "cli/CliOptions.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

// Nothing is trimmed or bent: the choice is clicked into the dialog as a user would click it,
// and a click the dialog refuses (the 9300-record limit) ends the choice with a message.
class OptionsSelectionPresenter final : public SelectionPresenter {
public:
    // Asked after the choice is made and before the select button is pressed; false declines
    // and nothing is answered. Unset: every choice is confirmed (--yes).
    using Confirm = std::function<bool(const SelectionDBViewController& dialog)>;

    OptionsSelectionPresenter(const CliOptions& options, const Localizer& texts, Confirm confirm);

    void present(std::shared_ptr<SelectionDBViewController> dialog) override;

    // Clicks the boxes and then the countries of `options` into a dialog that has its data;
    // returns why the choice cannot be answered (no database for this model, unknown name, over
    // the limit, no cameras), or nothing when the dialog would accept it. The select button is
    // not pressed.
    static std::optional<std::string> choose(SelectionDBViewController& dialog,
                                             const CliOptions& options, const Localizer& texts,
                                             bool writesDatabase);

    // False when the device information disables the database: no country list was asked for.
    void setWritesDatabase(bool writes) { m_writesDatabase = writes; }

    // How the last present() ended.
    [[nodiscard]] bool presented() const { return m_presented; }
    [[nodiscard]] bool answered() const { return m_answered; }
    [[nodiscard]] bool declined() const { return m_declined; }
    [[nodiscard]] const std::string& refusal() const { return m_refusal; }

private:
    const CliOptions& m_options;
    const Localizer& m_texts;
    Confirm m_confirm;
    bool m_writesDatabase = true;
    bool m_presented = false;
    bool m_answered = false;
    bool m_declined = false;
    std::string m_refusal;
};
