#pragma once
// The Qt UiDispatcher: a worker's window change runs on the UI thread, the worker waits for it.

#include "app/UiDispatcher.hpp"

#include <QPointer>
#include <atomic>
#include <functional>

class QObject;

class QtUiDispatcher final : public UiDispatcher {
public:
    // ui lives on the UI thread; its event loop runs the changes.
    explicit QtUiDispatcher(QObject* ui);

    // Inline on the UI thread; from a worker a blocking queued call, so changes keep their
    // order. After close() a worker's call returns at once without running fn.
    void runAndWait(std::function<void()> fn) override;

    // Quitting: no further change may block a worker on a UI thread that is going away.
    void close() { m_closed.store(true); }
    [[nodiscard]] bool closed() const { return m_closed.load(); }

private:
    QPointer<QObject> m_ui;
    std::atomic<bool> m_closed{false};
};
