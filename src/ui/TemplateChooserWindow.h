// "定型文選択": previews a template and puts it into the notice.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/AppState.h"
#include "store/Templates.h"

namespace zentavo::ui {

class TemplateChooserWindow : public QDialog {
  Q_OBJECT
 public:
  TemplateChooserWindow(AppState& state, Operator& op, QWidget* parent = nullptr);

  QListWidget* ListBox1 = nullptr;     // "定型伝達文書"
  QPlainTextEdit* Memo1 = nullptr;     // preview
  QPushButton* SpeedButton2 = nullptr; // "設定"
  QPushButton* SpeedButton1 = nullptr; // "閉じる"

 public slots:
  void ListBox1DblClick();
  void SpeedButton2Click();

 private:
  AppState& state_;
  Operator& op_;
  TemplateChooser chooser_;
};

}  // namespace zentavo::ui
