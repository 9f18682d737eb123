// The confirm page "伝達確認": reception of replies and the history of sent
// notices. Its controls are all here; reception and history come with their
// own work and stay disabled until then.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "ui/Tab.h"

namespace zentavo::ui {

class ConfirmTab : public Tab {
  Q_OBJECT
 public:
  ConfirmTab(WindowContext& context, QWidget* parent = nullptr);
  // The page-change refresh: the reception button's caption back, the
  // header back, continuous reception stopped.
  void pageChanged();

 private:
  QLabel* header_;
  QPushButton* receiveButton_;
  QGroupBox* continuousBox_;
  QTimer continuousTimer_;
};

}  // namespace zentavo::ui
