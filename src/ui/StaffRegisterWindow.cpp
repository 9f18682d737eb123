#include "ui/StaffRegisterWindow.h"

#include <QGridLayout>
#include <QLabel>

#include "store/Staff.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

StaffRegisterWindow::StaffRegisterWindow(Grid& staff, const std::string& sender, Operator& op, QWidget* parent)
    : QDialog(parent), staff_(staff), op_(op) {
  ModalDialog(this, "staffRegisterWindow", QStringLiteral("職員の登録"));
  auto* l = new QGridLayout(this);
  nameEdit_ = LineEdit("nameEdit", QStringLiteral("氏名"), this);
  addressEdit_ = LineEdit("addressEdit", QStringLiteral("メールアドレス"), this);
  addressEdit_->setText(ToQ(sender));
  telephoneEdit_ = LineEdit("telephoneEdit", QStringLiteral("電話"), this);
  auto* registerButton = Button("registerButton", QStringLiteral("登録"), this);
  auto* closeButton = Button("closeButton", QStringLiteral("閉じる"), this);
  int row = 0;
  for (auto [label, edit] :
       {std::pair{QStringLiteral("氏名"), nameEdit_}, std::pair{QStringLiteral("メールアドレス"), addressEdit_},
        std::pair{QStringLiteral("電話"), telephoneEdit_}}) {
    l->addWidget(new QLabel(label, this), row, 0);
    l->addWidget(edit, row++, 1);
  }
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(registerButton);
  buttons->addWidget(closeButton);
  l->addLayout(buttons, row++, 0, 1, 2);
  l->addWidget(StatusLine(QStringLiteral("<>等、アドレス以外の不要な情報は削除してください"), this), row, 0, 1, 2);
  resize(420, 190);
  connect(registerButton, &QPushButton::clicked, this, &StaffRegisterWindow::onRegisterClicked);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

void StaffRegisterWindow::onRegisterClicked() {
  QString dropped;
  const std::string name = FromQ(nameEdit_->text(), &dropped);
  const std::string address = FromQ(addressEdit_->text(), &dropped);
  const std::string telephone = FromQ(telephoneEdit_->text(), &dropped);
  ReportDropped(this, QStringLiteral("職員の登録"), dropped);
  if (RegisterStaff(staff_, name, address, telephone, op_)) accept();
}

}  // namespace zentavo::ui
