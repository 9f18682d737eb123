// The confirm page "伝達確認": reception of replies ("返信受信確認") and the
// history of sent notices ("伝達履歴", which comes with reply tracking).
#pragma once

#include <QLabel>

#include "ui/GridModel.h"
#include "ui/ReceptionTab.h"
#include "ui/Tab.h"

namespace zentavo::ui {

class ConfirmTab : public Tab {
  Q_OBJECT
 public:
  ConfirmTab(WindowContext& context, QWidget* parent = nullptr);
  ReceptionTab* reception() { return reception_; }
  // The page-change refresh: continuous reception stopped, the header back.
  void pageChanged();

 private:
  QLabel* header_;
  ReceptionTab* reception_;
  Grid historyRecipients_{4, 2};  // the recipients of the notice chosen in the history
  GridModel historyModel_;
};

}  // namespace zentavo::ui
