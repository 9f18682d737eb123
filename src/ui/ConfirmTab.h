// The confirm page "伝達確認": reception of replies ("返信受信確認") and the
// history of sent notices ("伝達履歴").
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>

#include "ui/GridModel.h"
#include "ui/ReceptionTab.h"
#include "ui/Tab.h"

namespace zentavo::ui {

class ConfirmTab : public Tab {
  Q_OBJECT
 public:
  ConfirmTab(WindowContext& context, QWidget* parent = nullptr);
  ReceptionTab* reception() { return reception_; }
  // The page-change refresh: continuous reception stopped, the header back,
  // the history read anew and the newest notice's replies shown.
  void pageChanged();

 signals:
  // The send page has been filled from a notice of the history.
  void sendPagePrepared();

 private slots:
  void refreshHistory();
  void onHistoryDoubleClicked();
  void onDeleteChosen();
  void onDeleteAll();
  void onResend();
  void onFollowUp();

 private:
  std::vector<std::string> chosenKeys() const;
  void clearEntry();

  QLabel* header_;
  ReceptionTab* reception_;
  QListWidget* historyList_;
  std::vector<std::string> historyKeys_;  // Shift_JIS, newest first, as listed
  Grid historyRecipients_{6, 2};          // the recipients of the notice chosen in the history
  GridModel historyModel_;
  std::vector<std::string> historyText_;
  QPlainTextEdit* historyBody_;
};

}  // namespace zentavo::ui
