#include "ui/ReceptionTab.h"

#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "history/ReplyLogs.h"
#include "history/ShowReplyResults.h"
#include "history/TextOutput.h"
#include "receive/ReceivedList.h"
#include "receive/RegisterReply.h"
#include "text/SjisUnicode.h"
#include "ui/BodyWindow.h"
#include "ui/ManualRegistrationWindow.h"
#include "ui/Printing.h"
#include "ui/QtStepRunner.h"
#include "ui/QtText.h"
#include "ui/ReceptionWindows.h"
#include "ui/ReplyStatusWindow.h"
#include "ui/SortableGrid.h"
#include "ui/StaffRegisterWindow.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

QString Now() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")); }

}  // namespace

ReceptionTab::ReceptionTab(WindowContext& context, QWidget* parent)
    : Tab(context, "receptionTab", QStringLiteral("返信受信確認"), parent),
      receivedModel_(state().reception.received),
      resultModel_(replyResults_) {
  ClearReceivedList(state().reception.received);
  bodyWindow_ = new BodyWindow([this]() -> Operator& { return op(); }, this);
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(4, 4, 4, 2);
  // Left: the list, the body and the reply results; right: what a run does.
  auto* left = new QVBoxLayout;
  left->addWidget(buildReceivedList(), 3);
  left->addLayout(buildBodyBar());
  left->addWidget(buildBodyView(), 2);
  left->addLayout(buildReplyChoice());
  left->addWidget(buildReplyResults(), 2);
  auto* right = new QVBoxLayout;
  for (QWidget* box : {buildDeleteBox(), buildContinuousBox(), buildUnseenBox(), buildShowBox()}) right->addWidget(box);
  right->addLayout(buildReceiveRow());
  right->addStretch();
  grid->addLayout(left, 0, 0);
  grid->addLayout(right, 0, 1);
  grid->setColumnStretch(0, 1);
  grid->addWidget(StatusLine(QStringLiteral("受信一覧をダブルクリックすると本文を受信します。"
                                            "　連続受信中に、この画面から他の画面に切り替えると、"
                                            "連続受信はキャンセルされます。 "),
                             this),
                  1, 0, 1, 2);
  connect(&continuousTimer_, &QTimer::timeout, this, &ReceptionTab::onContinuousTick);

  pop3_ = std::make_shared<PocoPop3Transport>();
  workerRunner_ = std::make_unique<QtStepRunner>();
  windowsOperator_ = std::make_unique<QtReceptionOperator>(this, [this]() -> Operator& { return op(); });
  setBackends(nullptr, nullptr, nullptr);
  setLook(Look::Idle);
  for (QPushButton* b : {deleteStaffButton_, deleteOthersButton_, deleteAllButton_, stopButton_}) b->setEnabled(false);
}

// The mail on the server, with its menu; a double click fetches a body.
QWidget* ReceptionTab::buildReceivedList() {
  receivedList_ = GridView("receivedList", QStringLiteral("受信一覧"), &receivedModel_, this);
  receivedList_->setToolTip(QStringLiteral("受信サーバ上のメールを表示"));
  receivedModel_.setCentredColumns({kNumberColumn, kStaffColumn, kMailNoColumn, kDateColumn});
  MakeSortable(receivedList_, &receivedModel_);
  for (int c = 0; const int width : {41, 150, 36, 60, 150}) receivedList_->setColumnWidth(c++, width);
  QMenu* menu = PopupMenu(QStringLiteral("<<受信メール処理>>"), receivedList_);
  addAddressAction_ = menu->addAction(QStringLiteral("アドレス追加"));
  deleteMailAction_ = menu->addAction(QStringLiteral("メール削除"));
  recordHistoryAction_ = menu->addAction(QStringLiteral("履歴に記録する"));
  connect(menu, &QMenu::aboutToShow, this, &ReceptionTab::onMenuOpening);
  connect(addAddressAction_, &QAction::triggered, this, &ReceptionTab::onAddAddress);
  connect(deleteMailAction_, &QAction::triggered, this, &ReceptionTab::onDeleteChosen);
  connect(recordHistoryAction_, &QAction::triggered, this, &ReceptionTab::onRegisterByHand);
  connect(receivedList_, &QTableView::doubleClicked, this, &ReceptionTab::onReceivedDoubleClicked);
  return receivedList_;
}

// "受信本文" and what can be done with the body shown.
QLayout* ReceptionTab::buildBodyBar() {
  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(QStringLiteral("　受信本文"), this));
  auto* windowButton = Button("bodyWindowButton", QStringLiteral("本文別画面"), this);
  auto* printButton = Button("printBodyButton", QStringLiteral("本文印刷"), this);
  auto* saveButton = Button("saveBodyButton", QStringLiteral("ﾌｧｲﾙ保存"), this);
  saveButton->setAccessibleName(QStringLiteral("受信本文をファイル保存"));
  bodyWindowCheck_ = Check("bodyWindowCheck", QStringLiteral("本文受信時に別画面で表示する"), this);
  for (QWidget* w : std::initializer_list<QWidget*>{windowButton, printButton, saveButton, bodyWindowCheck_})
    bar->addWidget(w);
  bar->addStretch();
  connect(windowButton, &QPushButton::clicked, bodyWindow_, &BodyWindow::present);
  connect(printButton, &QPushButton::clicked, this, [this] { PrintLines(state().reception.bodyLines, op()); });
  connect(saveButton, &QPushButton::clicked, this, [this] { SaveBody(state().reception.bodyLines, op()); });
  return bar;
}

QWidget* ReceptionTab::buildBodyView() {
  bodyView_ = Named(new QPlainTextEdit(this), "receivedBodyView", QStringLiteral("メール本文表示"));
  bodyView_->setReadOnly(true);
  return bodyView_;
}

// The notice whose replies are shown below, and "確認" for its reply status.
QLayout* ReceptionTab::buildReplyChoice() {
  auto* row = new QHBoxLayout;
  historyCombo_ = Named(new QComboBox(this), "historyCombo", QStringLiteral("伝達履歴"));
  auto* statusButton = Button("replyCheckButton", QStringLiteral("確認"), this);
  statusButton->setAccessibleName(QStringLiteral("返信状況確認"));
  row->addWidget(historyCombo_, 1);
  row->addWidget(statusButton);
  connect(historyCombo_, &QComboBox::currentIndexChanged, this, &ReceptionTab::showReplyResults);
  connect(statusButton, &QPushButton::clicked, this, &ReceptionTab::onReplyStatusClicked);
  return row;
}

QWidget* ReceptionTab::buildReplyResults() {
  replyResults_.SetHeader(ResultListHeader());
  resultModel_.setCentredColumns({kResultTime, kResultStatus});
  auto* list = GridView("replyResultList", QStringLiteral("返信結果"), &resultModel_, this);
  MakeSortable(list, &resultModel_);
  return list;
}

QWidget* ReceptionTab::buildDeleteBox() {
  auto* box = Box(QStringLiteral("受信メール削除"), this);
  auto* column = new QVBoxLayout(box);
  deleteOthersButton_ = Button("deleteOtherMailButton", QStringLiteral("職員以外メール削除"), box);
  deleteStaffButton_ = Button("deleteStaffMailButton", QStringLiteral("職員メール削除"), box);
  deleteAllButton_ = Button("deleteAllMailButton", QStringLiteral("全削除"), box);
  deleteAllButton_->setAccessibleName(QStringLiteral("受信メール全削除"));
  const std::pair<QPushButton*, Deletion> buttons[] = {{deleteOthersButton_, Deletion::Others},
                                                       {deleteStaffButton_, Deletion::Staff},
                                                       {deleteAllButton_, Deletion::All}};
  for (const auto& [button, kind] : buttons) {
    column->addWidget(button);
    connect(button, &QPushButton::clicked, this, [this, kind = kind] { deleteMail(kind); });
  }
  return box;
}

// "連続受信" with its interval, which counts only while it is checked.
QWidget* ReceptionTab::buildContinuousBox() {
  continuousBox_ = Named(Box(QStringLiteral("連続受信"), this), "continuousBox", QStringLiteral("連続受信"));
  auto* row = new QHBoxLayout(continuousBox_);
  continuousCheck_ = Check("continuousCheck", QStringLiteral("連続受信"), continuousBox_);
  intervalSpin_ = Named(new QSpinBox(continuousBox_), "intervalSpin", QStringLiteral("連続受信の分間隔"));
  intervalSpin_->setRange(1, 1440);
  intervalSpin_->setValue(1);
  intervalSpin_->setEnabled(false);
  auto* intervalLabel = new QLabel(QStringLiteral("分間隔"), continuousBox_);
  intervalLabel->setEnabled(false);
  row->addWidget(continuousCheck_);
  row->addWidget(intervalSpin_);
  row->addWidget(intervalLabel);
  connect(continuousCheck_, &QCheckBox::toggled, this, [this, intervalLabel](bool on) {
    intervalSpin_->setEnabled(on);
    intervalLabel->setEnabled(on);
  });
  return continuousBox_;
}

QWidget* ReceptionTab::buildUnseenBox() {
  auto* box = Box(QStringLiteral("未受信のみ受信"), this);
  unseenOnlyCheck_ = Check("unseenOnlyCheck", QStringLiteral("未受信受信"), box);
  (new QHBoxLayout(box))->addWidget(unseenOnlyCheck_);
  return box;
}

// What a run lists and fetches: staff mail always listed, its body on
// request; other mail listed on request, its body only when listed.
QWidget* ReceptionTab::buildShowBox() {
  auto* box = Box(QStringLiteral("受信確認"), this);
  auto* grid = new QGridLayout(box);
  auto* staffSubject = Check("staffSubjectCheck", QStringLiteral("件名表示"), box);
  staffSubject->setAccessibleName(QStringLiteral("職員メールの件名表示"));
  staffSubject->setChecked(true);
  staffSubject->setEnabled(false);
  staffBodyCheck_ =
      Named(new QCheckBox(QStringLiteral("本文表示"), box), "staffBodyCheck", QStringLiteral("職員メールの本文表示"));
  otherSubjectCheck_ = Named(new QCheckBox(QStringLiteral("件名表示"), box), "otherSubjectCheck",
                             QStringLiteral("職員以外メールの件名表示"));
  otherBodyCheck_ = Named(new QCheckBox(QStringLiteral("本文表示"), box), "otherBodyCheck",
                          QStringLiteral("職員以外メールの本文表示"));
  otherBodyCheck_->setEnabled(false);
  auto* checkAll = Check("checkAllCheck", QStringLiteral("全てチェック"), box);
  grid->addWidget(new QLabel(QStringLiteral("<職員メール>"), box), 0, 0);
  grid->addWidget(staffSubject, 0, 1);
  grid->addWidget(staffBodyCheck_, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("<職員以外メール>"), box), 1, 0);
  grid->addWidget(otherSubjectCheck_, 1, 1);
  grid->addWidget(otherBodyCheck_, 1, 2);
  grid->addWidget(checkAll, 2, 0, 1, 3);
  connect(otherSubjectCheck_, &QCheckBox::toggled, this, [this](bool on) {
    otherBodyCheck_->setEnabled(on);
    if (!on) otherBodyCheck_->setChecked(false);
  });
  connect(checkAll, &QCheckBox::toggled, this, [this](bool on) {
    for (QCheckBox* check : {staffBodyCheck_, otherSubjectCheck_, otherBodyCheck_}) check->setChecked(on);
  });
  return box;
}

// "受信確認" (its caption and name follow the run: setLook) and "停止".
QLayout* ReceptionTab::buildReceiveRow() {
  auto* row = new QHBoxLayout;
  receiveButton_ = Button("receiveButton", QString(), this);
  receiveButton_->setMinimumHeight(40);
  stopButton_ = Button("stopButton", QStringLiteral("停止"), this);
  stopButton_->setAccessibleName(QStringLiteral("受信停止"));
  stopButton_->setMinimumHeight(40);
  row->addWidget(receiveButton_, 2);
  row->addWidget(stopButton_, 1);
  connect(receiveButton_, &QPushButton::clicked, this, &ReceptionTab::onReceiveClicked);
  connect(stopButton_, &QPushButton::clicked, this, &ReceptionTab::onStopClicked);
  return row;
}

ReceptionTab::~ReceptionTab() = default;

void ReceptionTab::setBackends(std::shared_ptr<Pop3Transport> transport, StepRunner* runner, ReceptionOperator* op) {
  transport_ = transport ? std::move(transport) : pop3_;
  runner_ = runner ? runner : workerRunner_.get();
  op_ = op ? op : windowsOperator_.get();
}

ReceptionContext ReceptionTab::Context(std::function<void(bool)> finished) {
  return {state().folder, state().settings, state().staff.grid, options(),          state().reception,
          *op_,           transport_,       *runner_,           std::move(finished)};
}

ReceptionOptions ReceptionTab::options() const {
  return {.staffBodies = staffBodyCheck_->isChecked(),
          .listOthers = otherSubjectCheck_->isChecked(),
          .otherBodies = otherBodyCheck_->isChecked(),
          .unseenOnly = unseenOnlyCheck_->isChecked(),
          .continuous = continuousCheck_->isChecked()};
}

void ReceptionTab::setLook(Look look) {
  look_ = look;
  static const QString captions[] = {QStringLiteral("      受信確認"), QStringLiteral("      受信中"),
                                     QStringLiteral("      連続受信中")};
  receiveButton_->setText(captions[static_cast<int>(look)]);
  receiveButton_->setAccessibleName(captions[static_cast<int>(look)].trimmed());
  receiveButton_->setStyleSheet(look == Look::Idle ? QString()
                                                   : QStringLiteral("QPushButton { background: palette(highlight);"
                                                                    " color: palette(highlighted-text); }"));
}

void ReceptionTab::onReceiveClicked() {
  if (look_ == Look::Idle && state().reception.running) return;  // a deletion or a fetch is under way
  state().reception.cancel = false;
  if (look_ != Look::Idle) {
    // Pressed again: continuous reception ends here, and a run under way
    // stops at its next message. What the latest run read becomes seen;
    // what it did not read stays unseen.
    if (state().reception.running) state().reception.cancel = true;
    stopContinuous();
    if (!state().reception.running)
      EndReceptionMarking(state().settings, state().folder, state().reception);
    else
      markWhenDone_ = true;
    enableDeletions();
    return;
  }
  stopButton_->setEnabled(true);
  if (bodyWindowCheck_->isChecked() &&
      (staffBodyCheck_->isChecked() || (otherSubjectCheck_->isChecked() && otherBodyCheck_->isChecked()))) {
    bodyWindow_->setLines({});
    bodyWindow_->present();
  }
  setLook(Look::Receiving);
  for (QPushButton* b : {deleteStaffButton_, deleteOthersButton_, deleteAllButton_}) b->setEnabled(false);
  continuousBox_->setEnabled(false);
  const bool continuous = continuousCheck_->isChecked();
  RunReception(Context([this, continuous](bool) {
    runEnded(true);
    if (continuous && look_ == Look::Receiving) {
      setLook(Look::Continuous);
      continuousTimer_.start(intervalSpin_->value() * 60000);
      emit statusChanged(QStringLiteral("受信待機中(前回受信:%1)").arg(Now()));
    } else if (look_ != Look::Idle) {
      stopContinuous();
    }
    enableDeletions();
  }));
}

// Every run has recorded the replies it read: the history and the results
// show them (after a press of the button always, as the newest notice is
// then chosen; after a timer's run when something was recorded), and a
// press that ended continuous reception during the run marks what the run
// read.
void ReceptionTab::runEnded(bool pressed) {
  showReceived();
  if (markWhenDone_) EndReceptionMarking(state().settings, state().folder, state().reception);
  markWhenDone_ = false;
  const RecordedReplies& recorded = state().reception.recorded;
  if (pressed || recorded.recorded > 0 || recorded.undelivered > 0) emit repliesRecorded();
}

void ReceptionTab::onContinuousTick() {
  if (state().reception.running) return;  // still at it, or its failure box is open
  RunReception(Context([this](bool ok) {
    runEnded(false);
    emit statusChanged(
        (ok ? QStringLiteral("受信待機中(前回受信:%1)") : QStringLiteral("受信エラー(前回受信:%1)")).arg(Now()));
  }));
}

void ReceptionTab::onStopClicked() {
  state().reception.cancel = true;
  stopContinuous();
}

void ReceptionTab::stopContinuous() {
  continuousTimer_.stop();
  setLook(Look::Idle);
  continuousBox_->setEnabled(true);
  stopButton_->setEnabled(false);
  emit statusChanged(QStringLiteral("伝達確認"));
}

void ReceptionTab::pageChanged() {
  if (look_ == Look::Continuous || continuousTimer_.isActive()) stopContinuous();
  if (!state().reception.running) setLook(Look::Idle);
}

void ReceptionTab::finishRun() {
  continuousTimer_.stop();
  state().reception.cancel = true;
  runner_->Drain();
}

void ReceptionTab::showReceived() {
  receivedModel_.reload();
  bodyView_->setPlainText(LinesToQ(state().reception.bodyLines));
  bodyWindow_->setLines(state().reception.bodyLines);
}

void ReceptionTab::setHistory(const std::vector<std::string>& keys) {
  historyKeys_ = keys;
  {
    const QSignalBlocker block(historyCombo_);
    historyCombo_->clear();
    historyCombo_->addItems(ToQ(keys));
    historyCombo_->setCurrentIndex(keys.empty() ? -1 : 0);
  }
  showReplyResults();
}

void ReceptionTab::clearReplyResults() { setHistory({}); }

void ReceptionTab::showReplyResults() {
  const int chosen = historyCombo_->currentIndex();
  ShowReplyResults(state().folder, chosen < 0 ? std::string() : historyKeys_[static_cast<std::size_t>(chosen)],
                   replyResults_);
  resultModel_.reload();
}

void ReceptionTab::onReplyStatusClicked() {
  const int chosen = historyCombo_->currentIndex();
  const std::string key = chosen < 0 ? std::string() : historyKeys_[static_cast<std::size_t>(chosen)];
  ReplyStatusWindow window(ShowReplyStatus(key, replyResults_), op(), this);
  window.exec();
}

void ReceptionTab::onRegisterByHand() {
  const int row = *SelectedGridRows(receivedList_).begin();
  ManualRegistrationWindow window(
      historyKeys_,
      [this, row](const std::string& key) {
        if (RegisterReply(state().folder, key, state().reception.received, row, op()) == Registration::Registered) {
          showReplyResults();
          emit repliesRecorded();
        }
      },
      this);
  window.exec();
}

void ReceptionTab::enableDeletions() {
  const DeletionChoices choices = AvailableDeletions(state().reception.received);
  deleteStaffButton_->setEnabled(choices.staff);
  deleteOthersButton_->setEnabled(choices.others);
  deleteAllButton_->setEnabled(choices.all());
}

void ReceptionTab::onReceivedDoubleClicked(const QModelIndex& index) {
  RetrieveSelectedMessage(Context([this](bool) {
                            showReceived();
                            bodyView_->moveCursor(QTextCursor::Start);
                            bodyView_->setFocus();
                          }),
                          index.row() + 1);
}

void ReceptionTab::onMenuOpening() {
  const Grid& list = state().reception.received;
  const int row = *SelectedGridRows(receivedList_).begin();
  const bool numbered = RowMessageNumber(list, row).has_value();
  addAddressAction_->setEnabled(numbered && list.Cell(kStaffColumn, row).empty());
  deleteMailAction_->setEnabled(numbered);
  recordHistoryAction_->setEnabled(numbered && CanRegisterReply(list, row));
}

void ReceptionTab::onAddAddress() {
  const int row = *SelectedGridRows(receivedList_).begin();
  StaffRegisterWindow dialog(state().staff.grid, state().reception.received.Cell(kSenderColumn, row), op(), this);
  if (dialog.exec() == QDialog::Accepted) emit staffChanged();
}

void ReceptionTab::onDeleteChosen() { deleteMail(Deletion::Selected, SelectedGridRows(receivedList_)); }

void ReceptionTab::deleteMail(Deletion kind, std::set<int> rows) {
  if (state().reception.running) return;  // the buttons come back when the run ends
  if (kind != Deletion::Selected) {
    continuousTimer_.stop();
    setLook(Look::Idle);
  }
  for (QPushButton* b : {deleteStaffButton_, deleteOthersButton_, deleteAllButton_}) b->setEnabled(false);
  DeleteServerMail(Context([this](bool) {
                     showReceived();
                     enableDeletions();
                   }),
                   kind, std::move(rows));
}

}  // namespace zentavo::ui
