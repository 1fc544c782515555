#pragma once
// The Qt UiDispatcher: a worker's window change runs on the UI thread, the worker waits for it.

#include "app/UiDispatcher.hpp"
#include "app/WorkQueue.hpp"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QThread;
class QtUiDispatcher;

// Lives on the UI thread; each queued drain() runs the changes workers have handed over.
class QtUiDispatcherPump final : public QObject {
    Q_OBJECT
public:
    explicit QtUiDispatcherPump(QtUiDispatcher& owner)
        : m_owner(owner) {}
    Q_INVOKABLE void drain();

private:
    QtUiDispatcher& m_owner;
};

// The changes travel through a WorkQueue, and the event loop is only woken by a queued call
// without data: so the hand-off in both directions goes through locking that sanitizers and
// readers can see, not through Qt's internal event queue alone.
class QtUiDispatcher final : public UiDispatcher {
public:
    // ui lives on the UI thread; its event loop runs the changes.
    explicit QtUiDispatcher(QObject* ui);
    ~QtUiDispatcher() override;
    QtUiDispatcher(const QtUiDispatcher&) = delete;
    QtUiDispatcher& operator=(const QtUiDispatcher&) = delete;
    QtUiDispatcher(QtUiDispatcher&&) = delete;
    QtUiDispatcher& operator=(QtUiDispatcher&&) = delete;

    // Inline on the UI thread; from a worker queued in order, and the worker waits until the
    // change has run. After close() a worker's call returns at once without running fn.
    void runAndWait(std::function<void()> fn) override;

    // Quitting, on the UI thread: changes not yet run are dropped, waiting workers return, and
    // no further change may block a worker on a UI thread that is going away.
    void close() { m_queue.close(); }
    [[nodiscard]] bool closed() const { return m_queue.closed(); }

private:
    friend class QtUiDispatcherPump;

    QPointer<QObject> m_ui;
    QThread* m_uiThread = nullptr;
    std::unique_ptr<QtUiDispatcherPump> m_pump;
    WorkQueue m_queue;
};
