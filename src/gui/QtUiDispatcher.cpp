#include "gui/QtUiDispatcher.hpp"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <utility>

QtUiDispatcher::QtUiDispatcher(QObject* ui)
    : m_ui(ui) {}

void QtUiDispatcher::runAndWait(std::function<void()> fn) {
    QObject* ui = m_ui.data();
    if (ui == nullptr) {
        return;
    }
    if (QThread::currentThread() == ui->thread()) {
        fn();
        return;
    }
    if (m_closed.load()) {
        return;
    }
    QMetaObject::invokeMethod(ui, std::move(fn), Qt::BlockingQueuedConnection);
}
