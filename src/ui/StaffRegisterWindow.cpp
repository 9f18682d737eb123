#include "ui/StaffRegisterWindow.h"

#include <QGridLayout>
#include <QLabel>

#include "store/Staff.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

StaffRegisterWindow::StaffRegisterWindow(Grid& staff, const std::string& sender, Operator& op, QWidget* parent)
    : QDialog(parent), staff_(staff), op_(op) {
  setObjectName(QStringLiteral("Form7"));
  setWindowTitle(QStringLiteral("職員の登録"));
  setModal(true);
  auto* l = new QGridLayout(this);
  Edit1 = Named(new QLineEdit(this), "Edit1", QStringLiteral("氏名"));
  Edit2 = Named(new QLineEdit(ToQ(sender), this), "Edit2", QStringLiteral("メールアドレス"));
  Edit3 = Named(new QLineEdit(this), "Edit3", QStringLiteral("電話"));
  SpeedButton1 = Button("SpeedButton1", QStringLiteral("登録"), this);
  SpeedButton2 = Button("SpeedButton2", QStringLiteral("閉じる"), this);
  l->addWidget(new QLabel(QStringLiteral("氏名"), this), 0, 0);
  l->addWidget(Edit1, 0, 1);
  l->addWidget(new QLabel(QStringLiteral("メールアドレス"), this), 1, 0);
  l->addWidget(Edit2, 1, 1);
  l->addWidget(new QLabel(QStringLiteral("電話"), this), 2, 0);
  l->addWidget(Edit3, 2, 1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(SpeedButton1);
  row->addWidget(SpeedButton2);
  l->addLayout(row, 3, 0, 1, 2);
  auto* status = new QLabel(QStringLiteral("<>等、アドレス以外の不要な情報は削除してください"), this);
  status->setFrameShape(QFrame::Panel);
  status->setFrameShadow(QFrame::Sunken);
  l->addWidget(status, 4, 0, 1, 2);
  resize(420, 190);
  connect(SpeedButton1, &QPushButton::clicked, this, &StaffRegisterWindow::SpeedButton1Click);
  connect(SpeedButton2, &QPushButton::clicked, this, &QDialog::reject);
}

void StaffRegisterWindow::SpeedButton1Click() {
  QString dropped;
  std::string name = FromQ(Edit1->text(), &dropped);
  std::string address = FromQ(Edit2->text(), &dropped);
  std::string telephone = FromQ(Edit3->text(), &dropped);
  ReportDropped(this, QStringLiteral("職員の登録"), dropped);
  if (RegisterStaff(staff_, name, address, telephone, op_)) accept();
}

}  // namespace zentavo::ui
