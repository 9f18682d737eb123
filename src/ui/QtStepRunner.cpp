#include "ui/QtStepRunner.h"

#include <QMetaObject>

namespace zentavo::ui {

QtStepRunner::~QtStepRunner() {
  // Nothing may call back into a destroyed runner: the workers end first.
  for (auto& [id, step] : steps_)
    if (step.worker.joinable()) step.worker.join();
}

void QtStepRunner::Start(std::function<void()> work, std::function<void()> done) {
  // One thread per step: a step is one SMTP or POP3 session, owning its
  // socket from connect to close, so nothing is shared with other threads.
  const int id = next_++;
  Step& step = steps_[id];
  step.done = std::move(done);
  step.worker = std::thread([this, id, work = std::move(work)] {
    work();
    QMetaObject::invokeMethod(
        this, [this, id] { Finish(id); }, Qt::QueuedConnection);
  });
}

void QtStepRunner::Finish(int id) {
  auto it = steps_.find(id);
  if (it == steps_.end()) return;  // drained already
  it->second.worker.join();
  std::function<void()> done = std::move(it->second.done);
  steps_.erase(it);
  done();
}

void QtStepRunner::After(int ms, std::function<void()> done) {
  const int id = next_++;
  auto* timer = new QTimer(this);
  timer->setSingleShot(true);
  waits_[id] = {timer, std::move(done)};
  connect(timer, &QTimer::timeout, this, [this, id] {
    auto it = waits_.find(id);
    if (it == waits_.end()) return;
    std::function<void()> done = std::move(it->second.done);
    it->second.timer->deleteLater();
    waits_.erase(it);
    done();
  });
  timer->start(ms);
}

void QtStepRunner::Drain() {
  // What follows a step may start the next one or a pause; the loop goes on
  // until no run waits for anything.
  for (;;) {
    if (!steps_.empty()) {
      Finish(steps_.begin()->first);
    } else if (!waits_.empty()) {
      auto it = waits_.begin();
      std::function<void()> done = std::move(it->second.done);
      delete it->second.timer;
      waits_.erase(it);
      done();
    } else {
      return;
    }
  }
}

}  // namespace zentavo::ui
