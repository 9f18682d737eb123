// "受信本文": the body of a received mail in a window of its own, to read,
// to edit when "編集許可" is checked, to print and to save. The window is
// made once with the main window and only hidden when closed, so it keeps
// its text; every body the reception page shows replaces that text,
// edits included.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QPlainTextEdit>
#include <functional>
#include <string>
#include <vector>

#include "base/Operator.h"

namespace zentavo::ui {

class BodyWindow : public QDialog {
  Q_OBJECT
 public:
  // `boxes` answers for the window: the message boxes and the save dialog,
  // or a test's script.
  BodyWindow(std::function<Operator&()> boxes, QWidget* parent = nullptr);

  // A body is shown: its lines (Shift_JIS) become the window's text.
  void setLines(const std::vector<std::string>& lines);
  // Shows the window, centred on the main window the first time, and brings
  // it to the front.
  void present();

 private slots:
  void onEditAllowedToggled(bool allowed);
  void onPrintClicked();
  void onSaveClicked();

 private:
  // The text as printed and saved: the body's own bytes until the operator
  // edits it, then the edited text.
  std::vector<std::string> currentLines();

  std::function<Operator&()> boxes_;
  std::vector<std::string> lines_;
  QPlainTextEdit* bodyText_;
  QCheckBox* editAllowedCheck_;
};

}  // namespace zentavo::ui
