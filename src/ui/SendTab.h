// The send page "職員伝達": group, recipients, subject, body, options, the
// send button and the reservation panel. The page also starts the
// scheduler's runs, which share its transport, runner and send state with
// the send button.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <memory>

#include "reserve/Scheduler.h"
#include "send/SendRun.h"
#include "ui/GridModel.h"
#include "ui/Tab.h"

namespace zentavo::ui {

class SendTab : public Tab, private ReservationObserver {
  Q_OBJECT
 public:
  // `clock` is the main window's, which tests may replace.
  SendTab(WindowContext& context, const Clock& clock, QWidget* parent = nullptr);
  ~SendTab() override;

  // Shows the state's values in every control.
  void refresh();
  // The group list changed: the drop-down follows it.
  void refreshGroups();
  // "予約送信を実行する" and the colour of its panel, from the state.
  void showSwitch();

  // Tests put a fake server, a runner of their own and a scripted operator
  // in place of the real ones (nullptr: the real one).
  void setSendBackends(std::shared_ptr<SmtpTransport> transport, StepRunner* runner, SendOperator* op);

  // The program is ending: a run under way sends no further batch, the
  // session in progress is waited for, and the run ends.
  void finishRun();

  // The clock's tick: sends the reservation that is due, if any.
  void runScheduler();

 signals:
  void quitRequested();
  void standbyRequested();
  void reservationEditorRequested();  // "予約設定"
  void scheduledSendingChanged();     // the switch changed here
  void reservationRunEnded();

 private slots:
  void onGroupChosen();
  void onAddRecipientsClicked();
  void onRemoveRecipientsClicked();
  void onTemplateClicked();
  void onSignatureClicked();
  void onSendClicked();
  void onReserveToggled(bool on);

 private:
  QWidget* buildGroupBox();
  QWidget* buildRecipientBox();
  QWidget* buildSubjectBox();
  QWidget* buildBodyBox();
  QLayout* buildBottomRow();
  QLayout* buildOptions();
  QWidget* buildReservationPanel();
  void lock(bool locked);
  // A booked notice going out holds back only the send button: the
  // operator may go on composing meanwhile.
  void ReservationRunStarted() override;
  void ReservationRunEnded() override;

  const Clock& clock_;
  GridModel recipientModel_;
  QComboBox* groupCombo_;
  QTableView* recipientGrid_;
  QLabel* splitLabel_;
  QLineEdit* identifierBox_;
  QLineEdit* mailNoBox_;
  QLineEdit* subjectEdit_;
  QPlainTextEdit* bodyEdit_;
  QCheckBox* copyToSelfCheck_;
  QCheckBox* appendGroupCheck_;
  QCheckBox* appendNamesCheck_;
  QPushButton* sendButton_;
  QFrame* reservationPanel_;
  QCheckBox* reserveCheck_;

  std::shared_ptr<SmtpTransport> smtp_;
  std::unique_ptr<StepRunner> workerRunner_;
  std::unique_ptr<SendOperator> windowsOperator_;
  std::shared_ptr<SmtpTransport> transport_;
  StepRunner* runner_ = nullptr;
  std::unique_ptr<SendOperator> lockingOperator_;
};

}  // namespace zentavo::ui
