// Runs the network steps of a run on a worker thread and resumes the run on
// the window's thread, so the window never freezes.
#pragma once

#include <QObject>

#include "store/Steps.h"

namespace zentavo::ui {

class QtStepRunner : public QObject, public StepRunner {
  Q_OBJECT
 public:
  explicit QtStepRunner(QObject* parent = nullptr) : QObject(parent) {}
  void Start(std::function<void()> work, std::function<void()> done) override;
  void After(int ms, std::function<void()> done) override;
};

}  // namespace zentavo::ui
