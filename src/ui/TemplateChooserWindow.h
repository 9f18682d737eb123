// "定型文選択": previews a template and puts it into the notice.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QPlainTextEdit>

#include "program/AppState.h"
#include "store/Templates.h"

namespace zentavo::ui {

class TemplateChooserWindow : public QDialog {
  Q_OBJECT
 public:
  TemplateChooserWindow(AppState& state, Operator& op, QWidget* parent = nullptr);

 private slots:
  void onNameDoubleClicked();
  void onSetClicked();

 private:
  AppState& state_;
  Operator& op_;
  TemplateChooser chooser_;
  QListWidget* nameList_;
  QPlainTextEdit* preview_;
};

}  // namespace zentavo::ui
