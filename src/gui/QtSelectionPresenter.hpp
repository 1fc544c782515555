#pragma once
// Presents the country selection dialog as a modal window over the main window.

#include "app/SelectionPresenter.hpp"

#include <QPointer>
#include <functional>

class QWidget;
class SelectionDialog;

class QtSelectionPresenter final : public SelectionPresenter {
public:
    explicit QtSelectionPresenter(QWidget* mainWindow = nullptr);

    void setMainWindow(QWidget* mainWindow) { m_mainWindow = mainWindow; }
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
};
