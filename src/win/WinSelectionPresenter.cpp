#include "win/WinSelectionPresenter.hpp"

#include <utility>

void WinSelectionPresenter::setLastChoiceSource(std::function<std::optional<LastChoice>()> source) {
    m_lastChoice = std::move(source);
}

void WinSelectionPresenter::setShownListener(std::function<void()> listener) {
    m_shown = std::move(listener);
}

void WinSelectionPresenter::present(std::shared_ptr<SelectionDBViewController> dialog) {
    m_current = SelectionDialogWin32::open(m_owner, std::move(dialog), m_texts, m_texts.language());
    SelectionDialogWin32* view = current();
    if (view == nullptr) {
        // Without a dialog the download button stays enabled, as after closing one.
        return;
    }
    if (m_lastChoice) {
        view->setLastChoice(m_lastChoice());
    }
    if (m_shown) {
        m_shown();
    }
}

SelectionDialogWin32* WinSelectionPresenter::current() const {
    return m_current != nullptr ? SelectionDialogWin32::fromWindow(m_current) : nullptr;
}
