#include "ui/SystemTab.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "store/Settings.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

// A label and its box in one row of a grid layout.
void Row(QGridLayout* layout, int row, const QString& label, QWidget* box, QWidget* parent) {
  layout->addWidget(new QLabel(label, parent), row, 0);
  layout->addWidget(box, row, 1);
}

}  // namespace

SystemTab::SystemTab(WindowContext& context, QWidget* parent)
    : Tab(context, "systemTab", QStringLiteral("システム設定"), parent) {
  auto* l = new QGridLayout(this);
  l->setContentsMargins(4, 4, 4, 2);

  auto* serverBox = Box(QStringLiteral("サーバ設定"), this);
  auto* svl = new QGridLayout(serverBox);
  smtpHostEdit_ = LineEdit("smtpHostEdit", QStringLiteral("送信(SMTP)サーバ"), serverBox);
  smtpPortEdit_ = LineEdit("smtpPortEdit", QStringLiteral("ポート"), serverBox);
  popHostEdit_ = LineEdit("popHostEdit", QStringLiteral("受信(POP)サーバ"), serverBox);
  popPortEdit_ = LineEdit("popPortEdit", QStringLiteral("ポート"), serverBox);
  smtpPortEdit_->setFixedWidth(60);
  popPortEdit_->setFixedWidth(60);
  Row(svl, 0, QStringLiteral("送信(SMTP)サーバ"), smtpHostEdit_, serverBox);
  svl->addWidget(new QLabel(QStringLiteral("ポート"), serverBox), 0, 2);
  svl->addWidget(smtpPortEdit_, 0, 3);
  Row(svl, 1, QStringLiteral("受信(POP)サーバ"), popHostEdit_, serverBox);
  svl->addWidget(new QLabel(QStringLiteral("ポート"), serverBox), 1, 2);
  svl->addWidget(popPortEdit_, 1, 3);
  // How each server is spoken to: "自動" decides by the port.
  smtpSecurityCombo_ = Named(new QComboBox(serverBox), "smtpSecurityCombo", QStringLiteral("暗号化"));
  popSecurityCombo_ = Named(new QComboBox(serverBox), "popSecurityCombo", QStringLiteral("暗号化"));
  for (QComboBox* combo : {smtpSecurityCombo_, popSecurityCombo_}) {
    for (const std::string_view caption : kSecurityCaptions) combo->addItem(QString::fromUtf8(caption));
  }
  svl->addWidget(new QLabel(QStringLiteral("暗号化"), serverBox), 0, 4);
  svl->addWidget(smtpSecurityCombo_, 0, 5);
  svl->addWidget(new QLabel(QStringLiteral("暗号化"), serverBox), 1, 4);
  svl->addWidget(popSecurityCombo_, 1, 5);

  auto* userBox = Box(QStringLiteral("ユーザ設定"), this);
  auto* ul = new QGridLayout(userBox);
  userEdit_ = LineEdit("userEdit", QStringLiteral("ユーザ"), userBox);
  passwordEdit_ = LineEdit("passwordEdit", QStringLiteral("パスワード"), userBox);
  passwordEdit_->setEchoMode(QLineEdit::Password);
  Row(ul, 0, QStringLiteral("ユーザ"), userEdit_, userBox);
  Row(ul, 1, QStringLiteral("パスワード"), passwordEdit_, userBox);

  auto* headerBox = Box(QStringLiteral("メールヘッダ情報"), this);
  auto* hl = new QGridLayout(headerBox);
  senderNameEdit_ = LineEdit("senderNameEdit", QStringLiteral("送信者"), headerBox);
  senderAddressEdit_ = LineEdit("senderAddressEdit", QStringLiteral("E-メール"), headerBox);
  Row(hl, 0, QStringLiteral("送信者"), senderNameEdit_, headerBox);
  Row(hl, 1, QStringLiteral("E-メール"), senderAddressEdit_, headerBox);

  auto* signatureBox = Box(QStringLiteral("署名"), this);
  auto* sgl = new QVBoxLayout(signatureBox);
  signatureEdit_ = Named(new QPlainTextEdit(signatureBox), "signatureEdit", QStringLiteral("署名"));
  sgl->addWidget(signatureEdit_);

  auto* labelBox = Box(QStringLiteral("プログラム表記"), this);
  auto* lbl = new QHBoxLayout(labelBox);
  programLabelEdit_ = LineEdit("programLabelEdit", QStringLiteral("プログラム表記"), labelBox);
  auto* applyLabelButton = Button("applyLabelButton", QStringLiteral("反映"), labelBox);
  lbl->addWidget(programLabelEdit_, 1);
  lbl->addWidget(applyLabelButton);

  auto* startupBox = Box(QStringLiteral("起動画面"), this);
  auto* rgl = new QHBoxLayout(startupBox);
  startupShowRadio_ = Named(new QRadioButton(QStringLiteral("表示"), startupBox), "startupShowRadio",
                            QStringLiteral("表示"));
  startupHideRadio_ = Named(new QRadioButton(QStringLiteral("非表示"), startupBox), "startupHideRadio",
                            QStringLiteral("非表示"));
  rgl->addWidget(startupShowRadio_);
  rgl->addWidget(startupHideRadio_);

  auto* splitBox = Box(QStringLiteral("分割送信"), this);
  auto* spl = new QGridLayout(splitBox);
  splitCheck_ = Check("splitCheck", QStringLiteral("分割有"), splitBox);
  splitSizeSpin_ = Named(new QSpinBox(splitBox), "splitSizeSpin", QStringLiteral("人単位"));
  splitSizeSpin_->setRange(kSplitSizeMin, kSplitSizeMax);
  splitUnitLabel_ = new QLabel(QStringLiteral("人単位"), splitBox);
  confirmSplitCheck_ = Check("confirmSplitCheck", QStringLiteral("分割送信時、確認画面を表示する"), splitBox);
  spl->addWidget(splitCheck_, 0, 0);
  spl->addWidget(splitSizeSpin_, 0, 1);
  spl->addWidget(splitUnitLabel_, 0, 2);
  spl->addWidget(confirmSplitCheck_, 1, 0, 1, 3);

  auto* identifierBox = Box(QStringLiteral("メール識別"), this);
  auto* idl = new QHBoxLayout(identifierBox);
  identifierEdit_ = LineEdit("identifierEdit", QStringLiteral("メール識別文字変更"), identifierBox);
  auto* applyIdentifierButton = Button("applyIdentifierButton", QStringLiteral("反映"), identifierBox);
  idl->addWidget(new QLabel(QStringLiteral("メール識別文字変更"), identifierBox));
  idl->addWidget(identifierEdit_, 1);
  idl->addWidget(applyIdentifierButton);

  auto* infoBox = Box(QStringLiteral("情報"), this);
  auto* il = new QHBoxLayout(infoBox);
  auto* icon = new QLabel(infoBox);
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  auto* infoText = new QLabel(QStringLiteral("Zentavo\nOrvane\nゼンタボ  Ver3.22"), infoBox);
  il->addWidget(icon);
  il->addWidget(infoText, 1);

  l->addWidget(serverBox, 0, 0);
  l->addWidget(userBox, 1, 0);
  l->addWidget(headerBox, 2, 0);
  l->addWidget(signatureBox, 3, 0, 2, 1);
  l->addWidget(labelBox, 0, 1);
  l->addWidget(startupBox, 1, 1);
  l->addWidget(splitBox, 2, 1);
  l->addWidget(identifierBox, 3, 1);
  l->addWidget(infoBox, 4, 1);
  l->setColumnStretch(0, 3);
  l->setColumnStretch(1, 2);
  l->setRowStretch(4, 1);
  l->addWidget(StatusLine(QStringLiteral("SMTP及びPOPサーバのアドレス及びパスワードは管理者に確認してください。"), this),
               5, 0, 1, 2);

  Settings& s = state().settings;
  Bind(smtpHostEdit_, s.smtpHost, QStringLiteral("送信(SMTP)サーバ"));
  Bind(smtpPortEdit_, s.smtpPort, QStringLiteral("ポート"));
  Bind(popHostEdit_, s.popHost, QStringLiteral("受信(POP)サーバ"));
  Bind(popPortEdit_, s.popPort, QStringLiteral("ポート"));
  Bind(userEdit_, s.user, QStringLiteral("ユーザ"));
  Bind(passwordEdit_, s.password, QStringLiteral("パスワード"));
  Bind(senderNameEdit_, s.senderName, QStringLiteral("送信者"));
  Bind(senderAddressEdit_, s.senderAddress, QStringLiteral("E-メール"));
  Bind(programLabelEdit_, s.programLabel, QStringLiteral("プログラム表記"));
  Bind(identifierEdit_, s.identifierSetting, QStringLiteral("メール識別文字変更"));
  Bind(signatureEdit_, state().signature, QStringLiteral("署名"));
  connect(startupShowRadio_, &QRadioButton::clicked, this, [&s] { s.startupScreen = 0; });
  connect(startupHideRadio_, &QRadioButton::clicked, this, [&s] { s.startupScreen = 1; });
  connect(splitSizeSpin_, &QSpinBox::valueChanged, this, [&s](int v) { s.splitSize = v; });
  connect(confirmSplitCheck_, &QCheckBox::clicked, this, [&s](bool on) { s.confirmSplit = on; });
  connect(splitCheck_, &QCheckBox::clicked, this, &SystemTab::onSplitClicked);
  connect(smtpSecurityCombo_, &QComboBox::activated, this, [&s](int i) { s.security.smtp = static_cast<Security>(i); });
  connect(popSecurityCombo_, &QComboBox::activated, this, [&s](int i) { s.security.pop3 = static_cast<Security>(i); });
  connect(applyLabelButton, &QPushButton::clicked, this, [this] {
    ApplyProgramLabel(state().settings);
    emit labelApplied();
  });
  connect(applyIdentifierButton, &QPushButton::clicked, this, [this] {
    ApplyIdentifier(state().settings);
    emit sendPageChanged();
  });
}

void SystemTab::refresh() {
  const Settings& s = state().settings;
  Show(smtpHostEdit_, s.smtpHost);
  Show(smtpPortEdit_, s.smtpPort);
  Show(popHostEdit_, s.popHost);
  Show(popPortEdit_, s.popPort);
  smtpSecurityCombo_->setCurrentIndex(static_cast<int>(s.security.smtp));
  popSecurityCombo_->setCurrentIndex(static_cast<int>(s.security.pop3));
  Show(userEdit_, s.user);
  Show(passwordEdit_, s.password);
  Show(senderNameEdit_, s.senderName);
  Show(senderAddressEdit_, s.senderAddress);
  Show(programLabelEdit_, s.programLabel);
  Show(identifierEdit_, s.identifierSetting);
  Show(signatureEdit_, state().signature);
  (s.startupScreen == 1 ? startupHideRadio_ : startupShowRadio_)->setChecked(true);
  const QSignalBlocker block(splitSizeSpin_);
  splitSizeSpin_->setValue(s.splitSize);
  confirmSplitCheck_->setChecked(s.confirmSplit);
  showSplit();
}

void SystemTab::onSplitClicked() {
  SetSplitSend(state().settings, splitCheck_->isChecked());
  showSplit();
  emit sendPageChanged();
}

void SystemTab::showSplit() {
  const bool on = state().settings.splitSend;
  splitCheck_->setChecked(on);
  splitSizeSpin_->setEnabled(on);
  splitUnitLabel_->setEnabled(on);
}

}  // namespace zentavo::ui
