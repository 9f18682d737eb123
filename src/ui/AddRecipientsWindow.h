// "伝達者追加": picks staff by hand and adds them to a recipient grid (the
// send page's, or the reservation editor's, by the caller mode).
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QPushButton>

#include "app/AppState.h"
#include "store/Recipients.h"

namespace zentavo::ui {

class AddRecipientsWindow : public QDialog {
  Q_OBJECT
 public:
  AddRecipientsWindow(AppState& state, Operator& op, QWidget* parent = nullptr);

  QListWidget* ListBox1 = nullptr;     // "登録済職員"
  QListWidget* ListBox2 = nullptr;     // "追加登録"
  QPushButton* SpeedButton9 = nullptr; // "追加"
  QPushButton* SpeedButton2 = nullptr; // "設定"
  QPushButton* SpeedButton1 = nullptr; // "閉じる"

 public slots:
  void SpeedButton9Click();
  void SpeedButton2Click();

 private:
  AppState& state_;
  Operator& op_;
  AddRecipientsDialog dialog_;
};

}  // namespace zentavo::ui
