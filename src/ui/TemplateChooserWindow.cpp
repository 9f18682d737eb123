#include "ui/TemplateChooserWindow.h"

#include <QGridLayout>
#include <QLabel>

#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

TemplateChooserWindow::TemplateChooserWindow(AppState& state, Operator& op, QWidget* parent)
    : QDialog(parent), state_(state), op_(op), chooser_(OpenTemplateChooser(state.templates)) {
  ModalDialog(this, "templateChooserWindow", QStringLiteral("定型文選択"));
  auto* l = new QGridLayout(this);
  nameList_ = NameList("templateNameList", QStringLiteral("定型伝達文書"), this, false);
  nameList_->addItems(ToQ(chooser_.names));
  preview_ = Named(new QPlainTextEdit(this), "templatePreview", QStringLiteral("内容"));
  preview_->setReadOnly(true);
  auto* setButton = Button("setButton", QStringLiteral("設定"), this);
  auto* closeButton = Button("closeButton", QStringLiteral("閉じる"), this);
  l->addWidget(new QLabel(QStringLiteral("定型伝達文書"), this), 0, 0);
  l->addWidget(nameList_, 1, 0);
  l->addWidget(preview_, 1, 1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(setButton);
  row->addWidget(closeButton);
  l->addLayout(row, 2, 0, 1, 2);
  auto* status = new QLabel(QStringLiteral("ダブルクリックで内容を確認できます"), this);
  status->setFrameShape(QFrame::Panel);
  status->setFrameShadow(QFrame::Sunken);
  l->addWidget(status, 3, 0, 1, 2);
  l->setColumnStretch(1, 2);
  resize(620, 400);
  connect(nameList_, &QListWidget::itemDoubleClicked, this, &TemplateChooserWindow::onNameDoubleClicked);
  connect(setButton, &QPushButton::clicked, this, &TemplateChooserWindow::onSetClicked);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TemplateChooserWindow::onNameDoubleClicked() {
  PreviewTemplate(state_.folder, chooser_, nameList_->currentRow());
  preview_->setPlainText(LinesToQ(chooser_.preview));
}

void TemplateChooserWindow::onSetClicked() {
  const int row = nameList_->selectedItems().isEmpty() ? -1 : nameList_->currentRow();
  const bool chosen = ChooseTemplate(state_.folder, chooser_, row, state_.send.body, state_.send.subject, op_);
  preview_->setPlainText(LinesToQ(chooser_.preview));
  if (chosen) accept();
}

}  // namespace zentavo::ui
