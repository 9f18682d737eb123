#include "ui/SystemTab.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include "program/ConnectionCheck.h"
#include "program/Version.h"
#include "store/Settings.h"
#include "ui/Colours.h"
#include "ui/QtStepRunner.h"
#include "ui/QtText.h"
#include "ui/SignInBox.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

// A label and its box in one row of a grid layout.
void Row(QGridLayout* layout, int row, const QString& label, QWidget* box, QWidget* parent) {
  layout->addWidget(new QLabel(label, parent), row, 0);
  layout->addWidget(box, row, 1);
}

#define FIELD(member) [](AppState& s) -> std::string& { return s.member; }

}  // namespace

SystemTab::SystemTab(WindowContext& context, QWidget* parent)
    : Tab(context, "systemTab", QStringLiteral("システム設定"), parent) {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 2);
  firstStartHint_ = Named(new QLabel(this), "firstStartHint", QStringLiteral("はじめに"));
  firstStartHint_->setText(QStringLiteral(
      "はじめに：送信(SMTP)サーバと受信(POP)サーバ、ユーザとパスワード（または OAuth 2.0 のサインイン）、"
      "送信者と E-メールを入力し、「接続確認」で確かめてください。"));
  firstStartHint_->setWordWrap(true);
  firstStartHint_->setStyleSheet(QStringLiteral("QLabel { background: %1; border: 1px solid %2; padding: 4px; }")
                                     .arg(kLightYellow.name(), kSilver.name()));
  firstStartHint_->hide();
  outer->addWidget(firstStartHint_);
  // The boxes keep their size on a small screen: the page scrolls.
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* page = new QWidget(scroll);
  auto* columns = new QHBoxLayout(page);
  columns->setContentsMargins(0, 0, 0, 0);
  auto* left = new QVBoxLayout;
  for (QWidget* box : {BuildServerBox(page), BuildUserBox(page), BuildHeaderBox(page)}) left->addWidget(box);
  left->addStretch();
  auto* right = new QVBoxLayout;
  const ApplyBox label{QStringLiteral("プログラム表記"),
                       QStringLiteral("プログラム表記"),
                       false,
                       "programLabelEdit",
                       FIELD(settings.programLabel),
                       "applyLabelButton",
                       &SystemTab::onLabelApplied};
  const ApplyBox identifier{QStringLiteral("メール識別"),
                            QStringLiteral("メール識別文字変更"),
                            true,
                            "identifierEdit",
                            FIELD(settings.identifierSetting),
                            "applyIdentifierButton",
                            &SystemTab::onIdentifierApplied};
  for (QWidget* box : {BuildSignatureBox(page), BuildApplyBox(page, label), BuildStartupBox(page), BuildSplitBox(page),
                       BuildApplyBox(page, identifier), BuildInfoBox(page)})
    right->addWidget(box);
  right->addStretch();
  columns->addLayout(left, 3);
  columns->addLayout(right, 2);
  scroll->setWidget(page);
  outer->addWidget(scroll, 1);
  outer->addWidget(
      StatusLine(QStringLiteral("SMTP及びPOPサーバのアドレス及びパスワードは管理者に確認してください。"), this));

  for (const TextField& f : fields_) Bind(f.edit, f.field(state()), f.caption);
  Bind(signatureEdit_, state().signature, QStringLiteral("署名"));
  // After the binding: the sign-in is the account's as now typed.
  connect(userEdit_, &QLineEdit::textChanged, signInBox_, &SignInBox::settingsChanged);

  realSmtp_ = std::make_shared<PocoSmtpTransport>();
  realPop3_ = std::make_shared<PocoPop3Transport>();
  workerRunner_ = std::make_unique<QtStepRunner>();
  setBackends(nullptr, nullptr, nullptr);
}

SystemTab::~SystemTab() = default;

QLineEdit* SystemTab::AddField(const char* objectName, const QString& caption, std::string& (*field)(AppState&),
                               QWidget* parent) {
  QLineEdit* edit = LineEdit(objectName, caption, parent);
  fields_.push_back({edit, field, caption});
  return edit;
}

QWidget* SystemTab::BuildServerBox(QWidget* page) {
  auto* box = Box(QStringLiteral("サーバ設定"), page);
  auto* grid = new QGridLayout(box);
  Settings& s = state().settings;
  const struct {
    const char *hostName, *portName, *securityName;
    QString caption;
    std::string& (*host)(AppState&);
    std::string& (*port)(AppState&);
    Security* security;
  } servers[] = {
      {"smtpHostEdit", "smtpPortEdit", "smtpSecurityCombo", QStringLiteral("送信(SMTP)サーバ"),
       FIELD(settings.smtpHost), FIELD(settings.smtpPort), &s.security.smtp},
      {"popHostEdit", "popPortEdit", "popSecurityCombo", QStringLiteral("受信(POP)サーバ"), FIELD(settings.popHost),
       FIELD(settings.popPort), &s.security.pop3},
  };
  for (int r = 0; r < 2; ++r) {
    const auto& server = servers[r];
    Row(grid, r, server.caption, AddField(server.hostName, server.caption, server.host, box), box);
    QLineEdit* port = AddField(server.portName, server.caption + QStringLiteral("のポート"), server.port, box);
    port->setFixedWidth(60);
    grid->addWidget(new QLabel(QStringLiteral("ポート"), box), r, 2);
    grid->addWidget(port, r, 3);
    // How the server is spoken to: "自動" decides by the port.
    auto* combo = Named(new QComboBox(box), server.securityName, server.caption + QStringLiteral("の暗号化"));
    for (const std::string_view caption : kSecurityCaptions) combo->addItem(QString::fromUtf8(caption));
    grid->addWidget(new QLabel(QStringLiteral("暗号化"), box), r, 4);
    grid->addWidget(combo, r, 5);
    connect(combo, &QComboBox::currentIndexChanged, this,
            [security = server.security](int i) { *security = static_cast<Security>(i); });
    (r == 0 ? smtpSecurityCombo_ : popSecurityCombo_) = combo;
  }
  // "接続確認": both servers tried with what is typed here.
  checkButton_ = Button("checkConnectionsButton", QStringLiteral("接続確認"), box);
  grid->addWidget(checkButton_, 2, 5);
  connect(checkButton_, &QPushButton::clicked, this, &SystemTab::onCheckConnectionsClicked);
  return box;
}

QWidget* SystemTab::BuildUserBox(QWidget* page) {
  auto* box = Box(QStringLiteral("ユーザ設定"), page);
  auto* grid = new QGridLayout(box);
  userEdit_ = AddField("userEdit", QStringLiteral("ユーザ"), FIELD(settings.user), box);
  Row(grid, 0, QStringLiteral("ユーザ"), userEdit_, box);
  QLineEdit* password = AddField("passwordEdit", QStringLiteral("パスワード"), FIELD(settings.password), box);
  password->setEchoMode(QLineEdit::Password);
  Row(grid, 1, QStringLiteral("パスワード"), password, box);
  signInBox_ = new SignInBox(context(), password, box);
  grid->addWidget(signInBox_, 2, 0, 1, 2);
  return box;
}

QWidget* SystemTab::BuildHeaderBox(QWidget* page) {
  auto* box = Box(QStringLiteral("メールヘッダ情報"), page);
  auto* grid = new QGridLayout(box);
  Row(grid, 0, QStringLiteral("送信者"),
      AddField("senderNameEdit", QStringLiteral("送信者"), FIELD(settings.senderName), box), box);
  Row(grid, 1, QStringLiteral("E-メール"),
      AddField("senderAddressEdit", QStringLiteral("E-メール"), FIELD(settings.senderAddress), box), box);
  return box;
}

QWidget* SystemTab::BuildSignatureBox(QWidget* page) {
  auto* box = Box(QStringLiteral("署名"), page);
  signatureEdit_ = Named(new QPlainTextEdit(box), "signatureEdit", QStringLiteral("署名"));
  (new QVBoxLayout(box))->addWidget(signatureEdit_);
  return box;
}

// A box with a text and its "反映", which applies the text where it shows.
QWidget* SystemTab::BuildApplyBox(QWidget* page, const ApplyBox& wanted) {
  auto* box = Box(wanted.title, page);
  auto* row = new QHBoxLayout(box);
  if (wanted.labelled) row->addWidget(new QLabel(wanted.caption, box));
  row->addWidget(AddField(wanted.fieldName, wanted.caption, wanted.field, box), 1);
  auto* apply = Button(wanted.buttonName, QStringLiteral("反映"), box);
  apply->setAccessibleName(wanted.caption + QStringLiteral("を反映"));
  row->addWidget(apply);
  connect(apply, &QPushButton::clicked, this, wanted.apply);
  return box;
}

QWidget* SystemTab::BuildStartupBox(QWidget* page) {
  auto* box = Box(QStringLiteral("起動画面"), page);
  auto* row = new QHBoxLayout(box);
  startupShowRadio_ =
      Named(new QRadioButton(QStringLiteral("表示"), box), "startupShowRadio", QStringLiteral("起動画面を表示"));
  startupHideRadio_ =
      Named(new QRadioButton(QStringLiteral("非表示"), box), "startupHideRadio", QStringLiteral("起動画面を非表示"));
  row->addWidget(startupShowRadio_);
  row->addWidget(startupHideRadio_);
  connect(startupShowRadio_, &QRadioButton::toggled, this,
          [this](bool on) { state().settings.startupScreen = on ? 0 : 1; });
  return box;
}

QWidget* SystemTab::BuildSplitBox(QWidget* page) {
  auto* box = Box(QStringLiteral("分割送信"), page);
  auto* grid = new QGridLayout(box);
  splitCheck_ = Check("splitCheck", QStringLiteral("分割有"), box);
  splitSizeSpin_ = Named(new QSpinBox(box), "splitSizeSpin", QStringLiteral("分割送信の人単位"));
  splitSizeSpin_->setRange(kSplitSizeMin, kSplitSizeMax);
  splitUnitLabel_ = new QLabel(QStringLiteral("人単位"), box);
  confirmSplitCheck_ = Check("confirmSplitCheck", QStringLiteral("分割送信時、確認画面を表示する"), box);
  grid->addWidget(splitCheck_, 0, 0);
  grid->addWidget(splitSizeSpin_, 0, 1);
  grid->addWidget(splitUnitLabel_, 0, 2);
  grid->addWidget(confirmSplitCheck_, 1, 0, 1, 3);
  connect(splitSizeSpin_, &QSpinBox::valueChanged, this, [this](int v) { state().settings.splitSize = v; });
  connect(confirmSplitCheck_, &QCheckBox::toggled, this, [this](bool on) { state().settings.confirmSplit = on; });
  connect(splitCheck_, &QCheckBox::toggled, this, [this](bool on) {
    if (!SetSplitSend(state().settings, on)) return;  // shown, not changed
    showSplit();
    emit sendPageChanged();
  });
  return box;
}

QWidget* SystemTab::BuildInfoBox(QWidget* page) {
  auto* box = Box(QStringLiteral("情報"), page);
  auto* row = new QHBoxLayout(box);
  auto* icon = new QLabel(box);
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  row->addWidget(icon);
  const QString info = QStringLiteral("Zentavo\nOrvane\nゼンタボ  Ver%1").arg(QString::fromLatin1(kVersion));
  row->addWidget(new QLabel(info, box), 1);
  return box;
}

void SystemTab::refresh() {
  const Settings& s = state().settings;
  for (const TextField& f : fields_) Show(f.edit, f.field(state()));
  Show(signatureEdit_, state().signature);
  {
    const QSignalBlocker blockSmtp(smtpSecurityCombo_), blockPop(popSecurityCombo_);
    smtpSecurityCombo_->setCurrentIndex(static_cast<int>(s.security.smtp));
    popSecurityCombo_->setCurrentIndex(static_cast<int>(s.security.pop3));
  }
  const QSignalBlocker blockStartup(startupShowRadio_);
  (s.startupScreen == 1 ? startupHideRadio_ : startupShowRadio_)->setChecked(true);
  const QSignalBlocker blockSpin(splitSizeSpin_), blockConfirm(confirmSplitCheck_);
  splitSizeSpin_->setValue(s.splitSize);
  confirmSplitCheck_->setChecked(s.confirmSplit);
  showSplit();
  signInBox_->refresh();
}

void SystemTab::showFirstStartHint() { firstStartHint_->show(); }

void SystemTab::setBackends(std::shared_ptr<SmtpTransport> smtp, std::shared_ptr<Pop3Transport> pop3,
                            StepRunner* runner) {
  smtp_ = smtp ? std::move(smtp) : realSmtp_;
  pop3_ = pop3 ? std::move(pop3) : realPop3_;
  runner_ = runner ? runner : workerRunner_.get();
  signInBox_->setRunner(runner_);
}

void SystemTab::finishRun() { runner_->Drain(); }

void SystemTab::showSplit() {
  const bool on = state().settings.splitSend;
  const QSignalBlocker block(splitCheck_);
  splitCheck_->setChecked(on);
  splitSizeSpin_->setEnabled(on);
  splitUnitLabel_->setEnabled(on);
}

// "反映" beside the program label and beside the identifier.
void SystemTab::onLabelApplied() {
  ApplyProgramLabel(state().settings);
  emit labelApplied();
}
void SystemTab::onIdentifierApplied() {
  ApplyIdentifier(state().settings);
  emit sendPageChanged();
}

void SystemTab::onCheckConnectionsClicked() {
  checkButton_->setEnabled(false);
  CheckConnections({state().folder, state().settings, op(), smtp_, pop3_, *runner_, checking_,
                    [this] { checkButton_->setEnabled(true); }});
}

}  // namespace zentavo::ui
