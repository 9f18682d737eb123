// "伝達定型文書": the template list and the body of the chosen template.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

#include "ui/Tab.h"

namespace zentavo::ui {

class TemplateTab : public Tab {
  Q_OBJECT
 public:
  TemplateTab(WindowContext& context, QWidget* parent = nullptr);
  void refresh();

 private slots:
  void onAddTemplateClicked();
  void onDeleteTemplates();
  void onMoveUpClicked();
  void onMoveDownClicked();
  void onTemplateChosen();
  void onSaveTemplateClicked();

 private:
  void listChanged(int select = -1);

  QLineEdit* templateNameEdit_;
  QListWidget* templateList_;
  QComboBox* templateCombo_;
  QPlainTextEdit* templateBodyEdit_;
};

}  // namespace zentavo::ui
