// "職員の登録": adds the sender of a received message to the staff list.
#pragma once

#include <QDialog>
#include <QLineEdit>

#include "base/Grid.h"
#include "base/Operator.h"

namespace zentavo::ui {

class StaffRegisterWindow : public QDialog {
  Q_OBJECT
 public:
  // `sender` is the received mail's sender cell (Shift_JIS); the operator
  // trims it to the bare address.
  StaffRegisterWindow(Grid& staff, const std::string& sender, Operator& op, QWidget* parent = nullptr);

 private slots:
  void onRegisterClicked();

 private:
  Grid& staff_;
  Operator& op_;
  QLineEdit* nameEdit_;
  QLineEdit* addressEdit_;
  QLineEdit* telephoneEdit_;
};

}  // namespace zentavo::ui
