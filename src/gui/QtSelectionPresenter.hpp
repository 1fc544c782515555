#pragma once
// Presents the country selection dialog as a modal window over the main window.

#include "app/LastChoice.hpp"
#include "app/SelectionPresenter.hpp"

#include <QPointer>
#include <functional>
#include <optional>

class QWidget;
class SelectionDialog;

class QtSelectionPresenter final : public SelectionPresenter {
public:
    explicit QtSelectionPresenter(QWidget* mainWindow = nullptr);

    void setMainWindow(QWidget* mainWindow) { m_mainWindow = mainWindow; }
    // Asked for the stored choice each time a dialog is made ("Last choice").
    void setLastChoiceSource(std::function<std::optional<LastChoice>()> source);
    // Told each time a dialog has been shown (screenshots, tests).
    void setShownListener(std::function<void(SelectionDialog*)> listener);

    // Shows the dialog application-modal and returns at once; the dialog answers the model's
    // delegate when the user confirms, and deletes itself when it closes.
    void present(std::shared_ptr<SelectionDBViewController> dialog) override;

    // The dialog on screen now, or null.
    [[nodiscard]] SelectionDialog* current() const;

private:
    QPointer<QWidget> m_mainWindow;
    QPointer<SelectionDialog> m_current;
    std::function<void(SelectionDialog*)> m_shown;
    std::function<std::optional<LastChoice>()> m_lastChoice;
};
