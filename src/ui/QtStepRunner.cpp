#include "ui/QtStepRunner.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#include <thread>

namespace zentavo::ui {

void QtStepRunner::Start(std::function<void()> work, std::function<void()> done) {
  // One thread per step: a step is one SMTP or POP3 session, owning its
  // socket from connect to close, so nothing is shared with other threads.
  // The answer goes back through the application's event queue, which
  // outlives every window.
  std::thread([work = std::move(work), done = std::move(done)]() mutable {
    work();
    QMetaObject::invokeMethod(QCoreApplication::instance(), [done = std::move(done)] { done(); },
                              Qt::QueuedConnection);
  }).detach();
}

void QtStepRunner::After(int ms, std::function<void()> done) {
  QTimer::singleShot(ms, this, [done = std::move(done)] { done(); });
}

}  // namespace zentavo::ui
