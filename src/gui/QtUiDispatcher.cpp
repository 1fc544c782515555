#include "gui/QtUiDispatcher.hpp"

#include <QMetaObject>
#include <QThread>
#include <utility>

void QtUiDispatcherPump::drain() { m_owner.m_queue.runAll(); }

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
    m_queue.runAndWait(std::move(fn), [this] {
        QMetaObject::invokeMethod(m_pump.get(), "drain", Qt::QueuedConnection);
    });
}
