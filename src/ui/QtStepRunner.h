// Runs the network steps of a run on a worker thread and resumes the run on
// the window's thread, so the window never freezes. Every step in flight is
// known, so the program's end can wait for it instead of leaving a worker
// to call back into a window that is gone.
#pragma once

#include <QObject>
#include <QTimer>
#include <map>
#include <thread>

#include "base/Steps.h"

namespace zentavo::ui {

class QtStepRunner : public QObject, public StepRunner {
  Q_OBJECT
 public:
  explicit QtStepRunner(QObject* parent = nullptr) : QObject(parent) {}
  ~QtStepRunner() override;
  void Start(std::function<void()> work, std::function<void()> done) override;
  void After(int ms, std::function<void()> done) override;
  void Drain() override;

 private:
  void Finish(int id);

  struct Step {
    std::thread worker;
    std::function<void()> done;
  };
  struct Wait {
    QTimer* timer;
    std::function<void()> done;
  };
  std::map<int, Step> steps_;
  std::map<int, Wait> waits_;
  int next_ = 0;
};

}  // namespace zentavo::ui
