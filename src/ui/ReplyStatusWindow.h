// "返信状況確認": who has replied to one notice, who has not, and whose mail
// came back undelivered ("不達", with the reason), side by side, with the
// counts; each list can be printed, copied or saved as CSV
// in the order it is shown. Made for one showing, modal.
#pragma once

#include <QDialog>

#include "base/Operator.h"
#include "history/ShowReplyResults.h"
#include "ui/GridModel.h"

namespace zentavo::ui {

class ReplyStatusWindow : public QDialog {
  Q_OBJECT
 public:
  // `status` as ShowReplyStatus makes it; `op` shows the messages and the
  // save dialog.
  ReplyStatusWindow(ReplyStatus status, Operator& op, QWidget* parent = nullptr);

 private:
  // One side: its heading with the buttons over the list.
  QLayout* BuildSide(const char* kind, const QString& heading, Grid& list, GridModel& model);
  void print(const Grid& list, const QString& heading);
  void copy(const Grid& list, const QString& heading);

  ReplyStatus status_;
  Operator& op_;
  GridModel repliedModel_;
  GridModel notRepliedModel_;
  GridModel undeliveredModel_;
};

}  // namespace zentavo::ui
