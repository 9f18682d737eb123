// "伝達者追加": picks staff by hand and adds them to a recipient grid (the
// send page's, or the reservation editor's: whoever opened the dialog).
#pragma once

#include <QDialog>
#include <QListWidget>

#include "program/AppState.h"
#include "store/Recipients.h"

namespace zentavo::ui {

class AddRecipientsWindow : public QDialog {
  Q_OBJECT
 public:
  AddRecipientsWindow(AppState& state, Grid& target, Operator& op, QWidget* parent = nullptr);

 private slots:
  void onAddClicked();
  void onSetClicked();

 private:
  AppState& state_;
  Grid& target_;
  Operator& op_;
  AddRecipientsDialog dialog_;
  QListWidget* registeredList_;
  QListWidget* addedList_;
};

}  // namespace zentavo::ui
