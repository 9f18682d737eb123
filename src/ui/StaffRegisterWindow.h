// "職員の登録": adds a sender of received mail to the staff list.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "store/Grid.h"
#include "store/Operator.h"

namespace zentavo::ui {

class StaffRegisterWindow : public QDialog {
  Q_OBJECT
 public:
  // `sender` is the received mail's sender cell (Shift_JIS); the operator
  // trims it to the bare address.
  StaffRegisterWindow(Grid& staff, const std::string& sender, Operator& op, QWidget* parent = nullptr);

  QLineEdit* Edit1 = nullptr;          // "氏名"
  QLineEdit* Edit2 = nullptr;          // "メールアドレス"
  QLineEdit* Edit3 = nullptr;          // "電話"
  QPushButton* SpeedButton1 = nullptr; // "登録"
  QPushButton* SpeedButton2 = nullptr; // "閉じる"

 public slots:
  void SpeedButton1Click();

 private:
  Grid& staff_;
  Operator& op_;
};

}  // namespace zentavo::ui
