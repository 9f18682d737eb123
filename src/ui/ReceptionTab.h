// "返信受信確認": the reception button and its options, the received-mail
// list with its menu, the body pane, the deletion buttons and continuous
// reception. The reply results of a chosen notice (the lower half) come
// with reply tracking.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <memory>

#include "receive/ServerMail.h"
#include "ui/GridModel.h"
#include "ui/Tab.h"

namespace zentavo::ui {

class ReceptionTab : public Tab {
  Q_OBJECT
 public:
  ReceptionTab(WindowContext& context, QWidget* parent = nullptr);
  ~ReceptionTab() override;

  // Tests put a fake server, a runner of their own and a scripted operator
  // in place of the real ones (nullptr: the real one).
  void setBackends(std::shared_ptr<Pop3Transport> transport, StepRunner* runner, ReceptionOperator* op);
  ReceptionContext Context(std::function<void(bool)> finished);
  StepRunner& runner() { return *runner_; }

  // Leaving the page ends continuous reception.
  void pageChanged();
  // The notices of the history, newest first (Shift_JIS keys): the choice of
  // notice whose replies are shown, the newest chosen.
  void setHistory(const std::vector<std::string>& keys);
  void clearReplyResults();
  // The program is ending: a run under way stops at its next message and
  // the step in progress is waited for.
  void finishRun();

 signals:
  // The text for the page's header panel ("伝達確認", "受信待機中(...)").
  void statusChanged(const QString& text);
  // A sender was added to the staff list.
  void staffChanged();
  // Reply times were written into the logs (the history's counts change).
  void repliesRecorded();

 private slots:
  void onReceiveClicked();
  void onStopClicked();
  void onContinuousTick();
  void onReceivedDoubleClicked(const QModelIndex& index);
  void onMenuOpening();
  void onAddAddress();
  void onDeleteChosen();
  void showReplyResults();
  void onReplyStatusClicked();
  void onRegisterByHand();

 private:
  QWidget* buildReceivedList();
  QLayout* buildBodyBar();
  QWidget* buildBodyView();
  QLayout* buildReplyChoice();
  QWidget* buildReplyResults();
  QWidget* buildDeleteBox();
  QWidget* buildContinuousBox();
  QWidget* buildUnseenBox();
  QWidget* buildShowBox();
  QLayout* buildReceiveRow();
  enum class Look { Idle, Receiving, Continuous };
  void setLook(Look look);
  void stopContinuous();
  void runEnded(bool pressed);
  void deleteMail(Deletion kind, std::set<int> rows = {});
  void showReceived();
  void enableDeletions();
  ReceptionOptions options() const;

  GridModel receivedModel_;
  Grid replyResults_{6, 2};  // who has replied to the chosen notice
  GridModel resultModel_;
  QTableView* receivedList_;
  QPlainTextEdit* bodyView_;
  QPushButton* receiveButton_;
  QPushButton* stopButton_;
  QPushButton* deleteStaffButton_;
  QPushButton* deleteOthersButton_;
  QPushButton* deleteAllButton_;
  QGroupBox* continuousBox_;
  QCheckBox* continuousCheck_;
  QSpinBox* intervalSpin_;
  QCheckBox* unseenOnlyCheck_;
  QCheckBox* staffBodyCheck_;
  QCheckBox* otherSubjectCheck_;
  QCheckBox* otherBodyCheck_;
  QCheckBox* bodyWindowCheck_;
  QComboBox* historyCombo_;
  std::vector<std::string> historyKeys_;
  class BodyWindow* bodyWindow_;
  QAction* addAddressAction_;
  QAction* deleteMailAction_;
  QAction* recordHistoryAction_;
  QTimer continuousTimer_;
  Look look_ = Look::Idle;
  bool markWhenDone_ = false;  // continuous reception ended during a run

  std::shared_ptr<Pop3Transport> pop3_;
  std::unique_ptr<StepRunner> workerRunner_;
  std::unique_ptr<ReceptionOperator> windowsOperator_;
  std::shared_ptr<Pop3Transport> transport_;
  StepRunner* runner_ = nullptr;
  ReceptionOperator* op_ = nullptr;
};

}  // namespace zentavo::ui
