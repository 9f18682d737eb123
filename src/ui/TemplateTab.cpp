#include "ui/TemplateTab.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "store/NameList.h"
#include "store/Templates.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

TemplateTab::TemplateTab(WindowContext& context, QWidget* parent)
    : Tab(context, "templateTab", QStringLiteral("伝達定型文書"), parent) {
  auto* l = new QGridLayout(this);
  l->setContentsMargins(4, 4, 4, 2);

  const NameListBox templates = BuildNameListBox(QStringLiteral("文書一覧"), QStringLiteral("文書"), "template", this);
  templateNameEdit_ = templates.nameEdit;
  templateList_ = templates.list;

  auto* bodyBox = Box(QStringLiteral("定型本文"), this);
  auto* bl = new QVBoxLayout(bodyBox);
  auto* chooseRow = new QHBoxLayout;
  templateCombo_ = Named(new QComboBox(bodyBox), "templateCombo", QStringLiteral("文書選択"));
  chooseRow->addWidget(new QLabel(QStringLiteral("文書選択"), bodyBox));
  chooseRow->addWidget(templateCombo_, 1);
  templateBodyEdit_ = Named(new QPlainTextEdit(bodyBox), "templateBodyEdit", QStringLiteral("定型本文"));
  auto* saveButton = Button("saveTemplateButton", QStringLiteral("登録／上書"), bodyBox);
  bl->addLayout(chooseRow);
  bl->addWidget(templateBodyEdit_, 1);
  bl->addWidget(saveButton, 0, Qt::AlignRight);

  l->addWidget(templates.box, 0, 0);
  l->addWidget(bodyBox, 0, 1);
  l->setColumnStretch(0, 2);
  l->setColumnStretch(1, 3);
  l->addWidget(StatusLine(QStringLiteral("文書名を登録後、登録した文書を選択して本文を作成してください。") +
                              QStringLiteral("　文書一覧の削除は右クリック。"),
                          this),
               1, 0, 1, 2);

  Bind(templateBodyEdit_, state().templates.body, QStringLiteral("定型本文"));
  connect(PopupMenu(QStringLiteral("<<定型文書>>"), templateList_)->addAction(QStringLiteral("行削除")),
          &QAction::triggered, this, &TemplateTab::onDeleteTemplates);
  connect(templates.addButton, &QPushButton::clicked, this, &TemplateTab::onAddTemplateClicked);
  connect(templates.upButton, &QPushButton::clicked, this, &TemplateTab::onMoveUpClicked);
  connect(templates.downButton, &QPushButton::clicked, this, &TemplateTab::onMoveDownClicked);
  connect(templateCombo_, &QComboBox::currentIndexChanged, this, &TemplateTab::onTemplateChosen);
  connect(saveButton, &QPushButton::clicked, this, &TemplateTab::onSaveTemplateClicked);
}

void TemplateTab::refresh() {
  const QStringList names = ToQ(state().templates.names);
  templateList_->clear();
  templateList_->addItems(names);
  FillChoices(templateCombo_, names, state().templates.editTemplate);
  Show(templateBodyEdit_, state().templates.body);
}

void TemplateTab::listChanged(int select) {
  refresh();
  if (select >= 0) templateList_->setCurrentRow(select);
}

void TemplateTab::onAddTemplateClicked() {
  std::string box = Take(templateNameEdit_, QStringLiteral("文書名"));
  AddTemplate(state().folder, state().templates, box, op());
  Show(templateNameEdit_, box);
  listChanged();
}

void TemplateTab::onDeleteTemplates() {
  DeleteTemplates(state().folder, state().templates, SelectedItems(templateList_));
  listChanged();
}

void TemplateTab::onMoveUpClicked() { listChanged(MoveNameUp(state().templates.names, SelectedItems(templateList_))); }

void TemplateTab::onMoveDownClicked() {
  listChanged(MoveNameDown(state().templates.names, SelectedItems(templateList_)));
}

void TemplateTab::onTemplateChosen() {
  state().templates.editTemplate = FromQ(templateCombo_->currentText());
  LoadTemplateBody(state().folder, state().templates, op());
  refresh();
}

void TemplateTab::onSaveTemplateClicked() {
  SaveTemplateBody(state().folder, state().templates, op());
  refresh();
}

}  // namespace zentavo::ui
