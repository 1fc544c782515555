#include "gui/QtUiDispatcher.hpp"

#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <utility>

void QtUiDispatcherPump::drain() { m_owner.drain(); }

QtUiDispatcher::QtUiDispatcher(QObject* ui)
    : m_ui(ui)
    , m_uiThread(ui != nullptr ? ui->thread() : nullptr)
    , m_pump(std::make_unique<QtUiDispatcherPump>(*this)) {
    if (m_uiThread != nullptr) {
        m_pump->moveToThread(m_uiThread);
    }
}

QtUiDispatcher::~QtUiDispatcher() { close(); }

void QtUiDispatcher::runAndWait(std::function<void()> fn) {
    if (m_ui.isNull() || m_uiThread == nullptr) {
        return;
    }
    if (QThread::currentThread() == m_uiThread) {
        fn();
        return;
    }
    Job job{std::move(fn)};
    std::unique_lock lock(m_mutex);
    if (m_closed.load()) {
        return;
    }
    m_jobs.push_back(&job);
    lock.unlock();
    QMetaObject::invokeMethod(m_pump.get(), "drain", Qt::QueuedConnection);
    lock.lock();
    m_changed.wait(lock, [&] { return job.done || m_closed.load(); });
    // Closed before it ran: the job lives on this stack, so it must leave the queue now.
    m_jobs.erase(std::remove(m_jobs.begin(), m_jobs.end(), &job), m_jobs.end());
}

void QtUiDispatcher::drain() {
    std::unique_lock lock(m_mutex);
    while (!m_jobs.empty() && !m_closed.load()) {
        Job* job = m_jobs.front();
        m_jobs.pop_front();
        lock.unlock();
        job->fn();
        lock.lock();
        job->done = true;
        m_changed.notify_all();
    }
}

void QtUiDispatcher::close() {
    const std::lock_guard lock(m_mutex);
    m_closed.store(true);
    m_jobs.clear();
    m_changed.notify_all();
}
