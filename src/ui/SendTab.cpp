#include "ui/SendTab.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "store/Recipients.h"
#include "store/Signature.h"
#include "ui/AddRecipientsWindow.h"
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
  LockingSendOperator(SendOperator& inner, std::function<void(bool)> lock)
      : inner_(inner), lock_(std::move(lock)) {}
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

  // Left column: group and recipients.
  auto* groupBox = Box(QStringLiteral("グループ名"), this);
  auto* gl = new QHBoxLayout(groupBox);
  groupCombo_ = Named(new QComboBox(groupBox), "groupCombo", QStringLiteral("グループ名"));
  gl->addWidget(groupCombo_);

  auto* recipientBox = Box(QStringLiteral("伝達者名"), this);
  auto* rl = new QVBoxLayout(recipientBox);
  recipientGrid_ = GridView("recipientGrid", QStringLiteral("伝達者名"), &recipientModel_, recipientBox);
  recipientGrid_->setColumnWidth(0, 90);
  recipientGrid_->setColumnWidth(1, 150);
  rl->addWidget(recipientGrid_);
  auto* rbuttons = new QHBoxLayout;
  auto* addButton = Button("addRecipientsButton", QStringLiteral("追加"), recipientBox);
  auto* removeButton = Button("removeRecipientsButton", QStringLiteral("除外"), recipientBox);
  auto* splitBox = Box(QStringLiteral("分割送信"), recipientBox);
  auto* sl = new QHBoxLayout(splitBox);
  sl->setContentsMargins(6, 0, 6, 2);
  splitLabel_ = Named(new QLabel(splitBox), "splitLabel", QStringLiteral("分割送信"));
  sl->addWidget(splitLabel_);
  rbuttons->addWidget(addButton);
  rbuttons->addWidget(removeButton);
  rbuttons->addStretch();
  rbuttons->addWidget(splitBox);
  rl->addLayout(rbuttons);

  // Right column: subject and body.
  auto* subjectBox = Box(QStringLiteral("伝達件名"), this);
  auto* subl = new QGridLayout(subjectBox);
  identifierBox_ = LineEdit("identifierBox", QStringLiteral("識別"), subjectBox);
  identifierBox_->setReadOnly(true);
  identifierBox_->setFixedWidth(110);
  mailNoBox_ = LineEdit("shownMailNo", QStringLiteral("ＭａｉｌＮｏ"), subjectBox);
  mailNoBox_->setReadOnly(true);
  mailNoBox_->setFixedWidth(70);
  subjectEdit_ = LineEdit("subjectEdit", QStringLiteral("件名"), subjectBox);
  auto* templateButton = Button("templateButton", QStringLiteral("定型"), subjectBox);
  subl->addWidget(new QLabel(QStringLiteral("識別"), subjectBox), 0, 0);
  subl->addWidget(identifierBox_, 0, 1);
  subl->addWidget(new QLabel(QStringLiteral("ＭａｉｌＮｏ"), subjectBox), 0, 2);
  subl->addWidget(mailNoBox_, 0, 3);
  subl->setColumnStretch(4, 1);
  subl->addWidget(new QLabel(QStringLiteral("件名"), subjectBox), 1, 0);
  subl->addWidget(subjectEdit_, 1, 1, 1, 4);
  subl->addWidget(templateButton, 1, 5);

  auto* bodyBox = Box(QStringLiteral("伝達内容"), this);
  auto* bl = new QVBoxLayout(bodyBox);
  bodyEdit_ = Named(new QPlainTextEdit(bodyBox), "bodyEdit", QStringLiteral("伝達内容"));
  bodyEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont mono(QStringLiteral("Noto Sans Mono CJK JP"));
  mono.setPixelSize(12);
  bodyEdit_->setFont(mono);
  bl->addWidget(bodyEdit_);
  auto* signatureRow = new QHBoxLayout;
  auto* signatureButton = Button("signatureButton", QStringLiteral("署名"), bodyBox);
  signatureRow->addStretch();
  signatureRow->addWidget(signatureButton);
  bl->addLayout(signatureRow);

  grid->addWidget(groupBox, 0, 0);
  grid->addWidget(recipientBox, 1, 0, 2, 1);
  grid->addWidget(subjectBox, 0, 1, 2, 1);
  grid->addWidget(bodyBox, 2, 1);
  grid->setColumnStretch(0, 5);
  grid->setColumnStretch(1, 6);
  grid->setRowStretch(2, 1);

  // Bottom row: options, send, reservation panel, end.
  auto* bottom = new QHBoxLayout;
  auto* picture = new QLabel(this);
  picture->setPixmap(ProgramIcon().pixmap(32, 32));
  auto* options = new QVBoxLayout;
  copyToSelfCheck_ = Check("copyToSelfCheck", QStringLiteral("自分宛にコピーを送る"), this);
  appendGroupCheck_ = Check("appendGroupCheck", QStringLiteral("伝達内容に伝達グループ名を追加"), this);
  appendNamesCheck_ = Check("appendNamesCheck", QStringLiteral("伝達内容に同報伝達者名を追加"), this);
  options->addWidget(copyToSelfCheck_);
  options->addWidget(appendGroupCheck_);
  options->addWidget(appendNamesCheck_);
  sendButton_ = Button("sendButton", QStringLiteral("  メッセージ送信"), this);
  sendButton_->setMinimumHeight(44);
  sendButton_->setStyleSheet(QStringLiteral("QPushButton { font-weight: bold; font-size: 14px; padding: 0 14px; }"));

  reservationPanel_ = Named(new QFrame(this), "reservationPanel", QStringLiteral("予約送信"));
  reservationPanel_->setFrameShape(QFrame::Panel);
  reservationPanel_->setFrameShadow(QFrame::Raised);
  reservationPanel_->setAutoFillBackground(true);
  auto* pl = new QGridLayout(reservationPanel_);
  pl->setContentsMargins(6, 4, 6, 4);
  reserveCheck_ = Check("reserveCheck", QStringLiteral("予約送信を実行する"), reservationPanel_);
  auto* reservationButton = Button("reservationButton", QStringLiteral("予約設定"), reservationPanel_);
  auto* standbyButton = Button("standbyButton", QStringLiteral("待機"), reservationPanel_);
  pl->addWidget(reserveCheck_, 0, 0, 1, 2);
  pl->addWidget(reservationButton, 1, 0);
  pl->addWidget(standbyButton, 1, 1);

  auto* quitButton = Button("quitButton", QStringLiteral("終了"), this);
  quitButton->setMinimumHeight(44);

  bottom->addWidget(picture);
  bottom->addLayout(options);
  bottom->addStretch();
  bottom->addWidget(sendButton_);
  bottom->addWidget(reservationPanel_);
  bottom->addWidget(quitButton);
  grid->addLayout(bottom, 3, 0, 1, 2);

  SendPage& page = state().send;
  Bind(subjectEdit_, page.subject, QStringLiteral("件名"));
  Bind(bodyEdit_, page.body, QStringLiteral("伝達内容"));
  connect(copyToSelfCheck_, &QCheckBox::toggled, this, [&page](bool on) { page.copyToSelf = on; });
  connect(appendGroupCheck_, &QCheckBox::toggled, this, [&page](bool on) { page.appendGroup = on; });
  connect(appendNamesCheck_, &QCheckBox::toggled, this, [&page](bool on) { page.appendNames = on; });
  connect(groupCombo_, &QComboBox::activated, this, &SendTab::onGroupChosen);
  connect(addButton, &QPushButton::clicked, this, &SendTab::onAddRecipientsClicked);
  connect(removeButton, &QPushButton::clicked, this, &SendTab::onRemoveRecipientsClicked);
  connect(templateButton, &QPushButton::clicked, this, &SendTab::onTemplateClicked);
  connect(signatureButton, &QPushButton::clicked, this, &SendTab::onSignatureClicked);
  connect(sendButton_, &QPushButton::clicked, this, &SendTab::onSendClicked);
  connect(reserveCheck_, &QCheckBox::clicked, this, &SendTab::onReserveToggled);
  connect(reservationButton, &QPushButton::clicked, this, &SendTab::reservationEditorRequested);
  connect(standbyButton, &QPushButton::clicked, this, &SendTab::standbyRequested);
  connect(quitButton, &QPushButton::clicked, this, &SendTab::quitRequested);

  smtp_ = std::make_shared<PocoSmtpTransport>();
  workerRunner_ = std::make_unique<QtStepRunner>();
  windowsOperator_ = std::make_unique<QtSendOperator>(this);
  setSendBackends(nullptr, nullptr, nullptr);
  showSwitch();
}

SendTab::~SendTab() = default;

void SendTab::setSendBackends(std::shared_ptr<SmtpTransport> transport, StepRunner* runner, SendOperator* op) {
  transport_ = transport ? std::move(transport) : smtp_;
  runner_ = runner ? runner : workerRunner_.get();
  lockingOperator_ = std::make_unique<LockingSendOperator>(*(op ? op : windowsOperator_.get()),
                                                          [this](bool locked) { lock(locked); });
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
  copyToSelfCheck_->setChecked(page.copyToSelf);
  appendGroupCheck_->setChecked(page.appendGroup);
  appendNamesCheck_->setChecked(page.appendNames);
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
  ReservationTimerTick(ReservationContext{s.folder, s.settings, s.send, s.recipients, s.run, s.reservations, s.scheduler,
                                 *this, transport_, *runner_, clock_});
}

void SendTab::ReservationRunStarted() { sendButton_->setEnabled(false); }

void SendTab::ReservationRunEnded() {
  sendButton_->setEnabled(true);
  refresh();
  emit reservationRunEnded();
}

void SendTab::onReserveToggled() {
  SetScheduledSending(state().send, state().scheduler, reserveCheck_->isChecked(), clock_());
  showSwitch();
  emit scheduledSendingChanged();
}

void SendTab::showSwitch() {
  const bool on = state().send.reserveOn;
  reserveCheck_->setChecked(on);
  QPalette pal = reservationPanel_->palette();
  // Sky blue while scheduled sending is on, silver otherwise.
  pal.setColor(QPalette::Window, on ? QColor(0xA6, 0xCA, 0xF0) : QColor(0xC0, 0xC0, 0xC0));
  reservationPanel_->setPalette(pal);
}

}  // namespace zentavo::ui
