#pragma once
// Presents the country selection dialog as an application-modal window over the main window.

#include "app/CatalogueLocalizer.hpp"
#include "app/LastChoice.hpp"
#include "app/SelectionPresenter.hpp"
#include "win/SelectionDialogWin32.hpp"

#include <functional>
#include <optional>

#include <windows.h>

class WinSelectionPresenter final : public SelectionPresenter {
public:
    explicit WinSelectionPresenter(const CatalogueLocalizer& texts)
        : m_texts(texts) {}

    void setOwner(HWND owner) { m_owner = owner; }
    // Asked for the stored choice each time a dialog is made ("Last choice").
    void setLastChoiceSource(std::function<std::optional<LastChoice>()> source);
    // Told each time a dialog has been shown (screenshots, tests).
    void setShownListener(std::function<void()> listener);

    // Shows the dialog and returns at once; the dialog answers the model's delegate when the
    // user confirms, and destroys itself when it closes.
    void present(std::shared_ptr<SelectionDBViewController> dialog) override;

    // The dialog on screen now, or null.
    [[nodiscard]] SelectionDialogWin32* current() const;
    // The dialog's keyboard, for the message loop.
    static bool preTranslate(MSG& msg) { return SelectionDialogWin32::preTranslate(msg); }

private:
    const CatalogueLocalizer& m_texts;
    HWND m_owner = nullptr;
    HWND m_current = nullptr;
    std::function<void()> m_shown;
    std::function<std::optional<LastChoice>()> m_lastChoice;
};
