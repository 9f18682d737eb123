#include "ui/SendTab.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "store/Recipients.h"
#include "store/Signature.h"
#include "ui/AddRecipientsWindow.h"
#include "ui/Colours.h"
#include "ui/QtSendOperator.h"
#include "ui/QtStepRunner.h"
#include "ui/QtText.h"
#include "ui/TemplateChooserWindow.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

// Locks the send page for the run's duration, whichever operator serves the
// run (the windows, or a test's script).
class LockingSendOperator : public SendOperator {
 public:
  LockingSendOperator(SendOperator& inner, std::function<void(bool)> lock) : inner_(inner), lock_(std::move(lock)) {}
  MsgAnswer Message(std::string_view c, std::string_view t, MsgIcon i, MsgButtons b, std::string_view d) override {
    return inner_.Message(c, t, i, b, d);
  }
  void Progress(std::string_view text) override { inner_.Progress(text); }
  std::optional<std::filesystem::path> ChooseOpenFile(const FileChoice& c) override { return inner_.ChooseOpenFile(c); }
  std::optional<std::filesystem::path> ChooseSaveFile(const FileChoice& c) override { return inner_.ChooseSaveFile(c); }
  void SendRunStarted() override {
    lock_(true);
    inner_.SendRunStarted();
  }
  void SendRunEnded() override {
    inner_.SendRunEnded();
    lock_(false);
  }
  void ShowProgressWindow() override { inner_.ShowProgressWindow(); }
  void CloseProgressWindow() override { inner_.CloseProgressWindow(); }
  bool ConfirmSplit(const SplitVerdict& v) override { return inner_.ConfirmSplit(v); }
  void ShowUnregistered(const std::vector<UnregisteredRow>& rows) override { inner_.ShowUnregistered(rows); }

 private:
  SendOperator& inner_;
  std::function<void(bool)> lock_;
};

}  // namespace

SendTab::SendTab(WindowContext& context, const Clock& clock, QWidget* parent)
    : Tab(context, "sendTab", QStringLiteral("職員伝達"), parent), clock_(clock), recipientModel_(state().recipients) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 2);
  grid->setHorizontalSpacing(8);
  // Left column: group and recipients; right column: subject and body.
  grid->addWidget(buildGroupBox(), 0, 0);
  grid->addWidget(buildRecipientBox(), 1, 0, 2, 1);
  grid->addWidget(buildSubjectBox(), 0, 1, 2, 1);
  grid->addWidget(buildBodyBox(), 2, 1);
  grid->setColumnStretch(0, 5);
  grid->setColumnStretch(1, 6);
  grid->setRowStretch(2, 1);
  grid->addLayout(buildBottomRow(), 3, 0, 1, 2);

  smtp_ = std::make_shared<PocoSmtpTransport>();
  workerRunner_ = std::make_unique<QtStepRunner>();
  windowsOperator_ = std::make_unique<QtSendOperator>(this);
  setSendBackends(nullptr, nullptr, nullptr);
  showSwitch();
}

QWidget* SendTab::buildGroupBox() {
  auto* box = Box(QStringLiteral("グループ名"), this);
  groupCombo_ = Named(new QComboBox(box), "groupCombo", QStringLiteral("グループ名"));
  (new QHBoxLayout(box))->addWidget(groupCombo_);
  // Refilling the choices (FillChoices) reports no change: only a choice
  // of the operator's fills the recipients.
  connect(groupCombo_, &QComboBox::currentIndexChanged, this, &SendTab::onGroupChosen);
  return box;
}

QWidget* SendTab::buildRecipientBox() {
  auto* box = Box(QStringLiteral("伝達者名"), this);
  auto* column = new QVBoxLayout(box);
  recipientGrid_ = GridView("recipientGrid", QStringLiteral("伝達者名"), &recipientModel_, box);
  recipientGrid_->setColumnWidth(0, 90);
  recipientGrid_->setColumnWidth(1, 150);
  column->addWidget(recipientGrid_);
  auto* buttons = new QHBoxLayout;
  auto* addButton = Button("addRecipientsButton", QStringLiteral("追加"), box);
  addButton->setAccessibleName(QStringLiteral("伝達者を追加"));
  auto* removeButton = Button("removeRecipientsButton", QStringLiteral("除外"), box);
  removeButton->setAccessibleName(QStringLiteral("伝達者を除外"));
  // "分割:有" or "分割:無", as the settings page's "分割有" says.
  auto* splitBox = Box(QStringLiteral("分割送信"), box);
  auto* splitRow = new QHBoxLayout(splitBox);
  splitRow->setContentsMargins(6, 0, 6, 2);
  splitLabel_ = Named(new QLabel(splitBox), "splitLabel", QStringLiteral("分割送信"));
  splitRow->addWidget(splitLabel_);
  buttons->addWidget(addButton);
  buttons->addWidget(removeButton);
  buttons->addStretch();
  buttons->addWidget(splitBox);
  column->addLayout(buttons);
  connect(addButton, &QPushButton::clicked, this, &SendTab::onAddRecipientsClicked);
  connect(removeButton, &QPushButton::clicked, this, &SendTab::onRemoveRecipientsClicked);
  return box;
}

QWidget* SendTab::buildSubjectBox() {
  auto* box = Box(QStringLiteral("伝達件名"), this);
  auto* grid = new QGridLayout(box);
  identifierBox_ = ReadOnlyEdit("identifierBox", QStringLiteral("識別"), box, 110);
  mailNoBox_ = ReadOnlyEdit("mailNoBox", QStringLiteral("ＭａｉｌＮｏ"), box, 70);
  subjectEdit_ = LineEdit("subjectEdit", QStringLiteral("件名"), box);
  auto* templateButton = Button("templateButton", QStringLiteral("定型"), box);
  templateButton->setAccessibleName(QStringLiteral("定型文書を選択"));
  grid->addWidget(new QLabel(QStringLiteral("識別"), box), 0, 0);
  grid->addWidget(identifierBox_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("ＭａｉｌＮｏ"), box), 0, 2);
  grid->addWidget(mailNoBox_, 0, 3);
  grid->setColumnStretch(4, 1);
  grid->addWidget(new QLabel(QStringLiteral("件名"), box), 1, 0);
  grid->addWidget(subjectEdit_, 1, 1, 1, 4);
  grid->addWidget(templateButton, 1, 5);
  Bind(subjectEdit_, state().send.subject, QStringLiteral("件名"));
  connect(templateButton, &QPushButton::clicked, this, &SendTab::onTemplateClicked);
  return box;
}

QWidget* SendTab::buildBodyBox() {
  auto* box = Box(QStringLiteral("伝達内容"), this);
  auto* column = new QVBoxLayout(box);
  bodyEdit_ = Named(new QPlainTextEdit(box), "bodyEdit", QStringLiteral("伝達内容"));
  bodyEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont mono(QStringLiteral("Noto Sans Mono CJK JP"));
  mono.setPixelSize(12);
  bodyEdit_->setFont(mono);
  column->addWidget(bodyEdit_);
  auto* signatureRow = new QHBoxLayout;
  auto* signatureButton = Button("signatureButton", QStringLiteral("署名"), box);
  signatureButton->setAccessibleName(QStringLiteral("伝達内容に署名を追加"));
  signatureRow->addStretch();
  signatureRow->addWidget(signatureButton);
  column->addLayout(signatureRow);
  Bind(bodyEdit_, state().send.body, QStringLiteral("伝達内容"));
  connect(signatureButton, &QPushButton::clicked, this, &SendTab::onSignatureClicked);
  return box;
}

// Options, send, the reservation panel, end.
QLayout* SendTab::buildBottomRow() {
  auto* row = new QHBoxLayout;
  auto* picture = new QLabel(this);
  picture->setPixmap(ProgramIcon().pixmap(32, 32));
  sendButton_ = Button("sendButton", QStringLiteral("  メッセージ送信"), this);
  sendButton_->setMinimumHeight(44);
  sendButton_->setStyleSheet(QStringLiteral("QPushButton { font-weight: bold; font-size: 14px; padding: 0 14px; }"));
  auto* quitButton = Button("quitButton", QStringLiteral("終了"), this);
  quitButton->setMinimumHeight(44);
  row->addWidget(picture);
  row->addLayout(buildOptions());
  row->addStretch();
  row->addWidget(sendButton_);
  row->addWidget(buildReservationPanel());
  row->addWidget(quitButton);
  connect(sendButton_, &QPushButton::clicked, this, &SendTab::onSendClicked);
  connect(quitButton, &QPushButton::clicked, this, &SendTab::quitRequested);
  return row;
}

QLayout* SendTab::buildOptions() {
  auto* column = new QVBoxLayout;
  copyToSelfCheck_ = Check("copyToSelfCheck", QStringLiteral("自分宛にコピーを送る"), this);
  appendGroupCheck_ = Check("appendGroupCheck", QStringLiteral("伝達内容に伝達グループ名を追加"), this);
  appendNamesCheck_ = Check("appendNamesCheck", QStringLiteral("伝達内容に同報伝達者名を追加"), this);
  SendPage& page = state().send;
  for (auto [check, option] :
       {std::pair{copyToSelfCheck_, &page.copyToSelf}, std::pair{appendGroupCheck_, &page.appendGroup},
        std::pair{appendNamesCheck_, &page.appendNames}}) {
    column->addWidget(check);
    connect(check, &QCheckBox::toggled, this, [field = option](bool on) { *field = on; });
  }
  return column;
}

// "予約送信を実行する" with "予約設定" and "待機", on a panel whose colour
// says whether scheduled sending is on.
QWidget* SendTab::buildReservationPanel() {
  reservationPanel_ = Named(new QFrame(this), "reservationPanel", QStringLiteral("予約送信"));
  reservationPanel_->setFrameShape(QFrame::Panel);
  reservationPanel_->setFrameShadow(QFrame::Raised);
  reservationPanel_->setAutoFillBackground(true);
  auto* grid = new QGridLayout(reservationPanel_);
  grid->setContentsMargins(6, 4, 6, 4);
  reserveCheck_ = Check("reserveCheck", QStringLiteral("予約送信を実行する"), reservationPanel_);
  auto* reservationButton = Button("reservationButton", QStringLiteral("予約設定"), reservationPanel_);
  auto* standbyButton = Button("standbyButton", QStringLiteral("待機"), reservationPanel_);
  grid->addWidget(reserveCheck_, 0, 0, 1, 2);
  grid->addWidget(reservationButton, 1, 0);
  grid->addWidget(standbyButton, 1, 1);
  connect(reserveCheck_, &QCheckBox::toggled, this, &SendTab::onReserveToggled);
  connect(reservationButton, &QPushButton::clicked, this, &SendTab::reservationEditorRequested);
  connect(standbyButton, &QPushButton::clicked, this, &SendTab::standbyRequested);
  return reservationPanel_;
}

SendTab::~SendTab() = default;

void SendTab::setSendBackends(std::shared_ptr<SmtpTransport> transport, StepRunner* runner, SendOperator* op) {
  transport_ = transport ? std::move(transport) : smtp_;
  runner_ = runner ? runner : workerRunner_.get();
  lockingOperator_ =
      std::make_unique<LockingSendOperator>(*(op ? op : windowsOperator_.get()), [this](bool locked) { lock(locked); });
}

void SendTab::refresh() {
  const SendPage& page = state().send;
  Show(identifierBox_, state().settings.identifier);
  Show(mailNoBox_, page.shownMailNo);
  Show(subjectEdit_, page.subject);
  if (LinesFromQ(bodyEdit_->toPlainText()) != page.body) {
    Show(bodyEdit_, page.body);
    bodyEdit_->moveCursor(QTextCursor::End);
  }
  splitLabel_->setText(ToQ(state().settings.splitIndicator));
  {
    const QSignalBlocker blockCopy(copyToSelfCheck_), blockGroup(appendGroupCheck_), blockNames(appendNamesCheck_);
    copyToSelfCheck_->setChecked(page.copyToSelf);
    appendGroupCheck_->setChecked(page.appendGroup);
    appendNamesCheck_->setChecked(page.appendNames);
  }
  recipientModel_.reload();
  refreshGroups();
  showSwitch();
}

void SendTab::refreshGroups() { FillChoices(groupCombo_, ToQ(state().groups.groups), state().send.group); }

void SendTab::onGroupChosen() {
  state().send.group = FromQ(groupCombo_->currentText());
  FillRecipients(state().folder, state().send.group, state().staff.grid, state().recipients, op());
  recipientModel_.reload();
}

void SendTab::onAddRecipientsClicked() {
  AddRecipientsWindow dialog(state(), state().recipients, op(), this);
  dialog.exec();
  recipientModel_.reload();
}

void SendTab::onRemoveRecipientsClicked() {
  DeleteSelectedRows(state().recipients, SelectedGridRows(recipientGrid_));
  recipientModel_.reload();
  recipientGrid_->clearSelection();
}

void SendTab::onTemplateClicked() {
  TemplateChooserWindow dialog(state(), op(), this);
  if (dialog.exec() == QDialog::Accepted) refresh();
}

void SendTab::onSignatureClicked() {
  AppendSignature(state().signature, state().send.body);
  refresh();
}

void SendTab::onSendClicked() {
  if (state().run.running) return;  // the send run refuses too; this spares the call
  SendNotice(SendContext{state().folder, state().settings, state().recipients, state().send, state().run,
                         *lockingOperator_, transport_, *runner_});
  refresh();
}

void SendTab::finishRun() {
  state().run.cancel = true;
  runner_->Drain();
}

void SendTab::lock(bool locked) {
  // One run at a time: the send page stays locked until the run has ended.
  setEnabled(!locked);
  if (!locked) refresh();
}

void SendTab::runScheduler() {
  AppState& s = state();
  ReservationTimerTick(ReservationContext{s.folder, s.settings, s.send, s.recipients, s.run, s.reservations,
                                          s.scheduler, *this, transport_, *runner_, clock_});
}

void SendTab::ReservationRunStarted() { sendButton_->setEnabled(false); }

void SendTab::ReservationRunEnded() {
  sendButton_->setEnabled(true);
  refresh();
  emit reservationRunEnded();
}

void SendTab::onReserveToggled(bool on) {
  if (!SetScheduledSending(state().send, state().scheduler, on, clock_())) return;
  showSwitch();
  emit scheduledSendingChanged();
}

void SendTab::showSwitch() {
  const bool on = state().send.reserveOn;
  {
    const QSignalBlocker block(reserveCheck_);
    reserveCheck_->setChecked(on);
  }
  QPalette pal = reservationPanel_->palette();
  pal.setColor(QPalette::Window, on ? kSkyBlue : kSilver);
  reservationPanel_->setPalette(pal);
}

}  // namespace zentavo::ui
