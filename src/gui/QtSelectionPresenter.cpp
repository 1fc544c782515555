#include "gui/QtSelectionPresenter.hpp"

#include "gui/SelectionDialog.hpp"

#include <QWidget>
#include <utility>

QtSelectionPresenter::QtSelectionPresenter(QWidget* mainWindow)
    : m_mainWindow(mainWindow) {}

void QtSelectionPresenter::setShownListener(std::function<void(SelectionDialog*)> listener) {
    m_shown = std::move(listener);
}

void QtSelectionPresenter::setLastChoiceSource(std::function<std::optional<LastChoice>()> source) {
    m_lastChoice = std::move(source);
}

void QtSelectionPresenter::present(std::shared_ptr<SelectionDBViewController> dialog) {
    auto* view = new SelectionDialog(std::move(dialog), m_mainWindow.data());
    if (m_lastChoice) {
        view->setLastChoice(m_lastChoice());
    }
    view->setAttribute(Qt::WA_DeleteOnClose);
    // Not exec(): a nested event loop would keep running under the window's close handling.
    view->setWindowModality(Qt::ApplicationModal);
    view->show();
    m_current = view;
    if (m_shown) {
        m_shown(view);
    }
}

SelectionDialog* QtSelectionPresenter::current() const { return m_current.data(); }
