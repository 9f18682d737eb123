// The start-up screen: the program's title, and the check of the mailbox
// for replies to earlier notices still on the server, which it lists and
// offers to delete. It closes itself when the check is done.
#pragma once

#include <QDialog>

#include "receive/StartupCheck.h"
#include "ui/GridModel.h"
#include "ui/Tab.h"

namespace zentavo::ui {

class StartupWindow : public QDialog {
  Q_OBJECT
 public:
  // The check runs with `base`'s transport, runner and operator, on the
  // settings and staff list of `context`.
  StartupWindow(WindowContext& context, const ReceptionContext& base, QWidget* parent = nullptr);

 private:
  ReceptionState own_;  // the screen's list, apart from the reception page's
  GridModel model_;
};

}  // namespace zentavo::ui
