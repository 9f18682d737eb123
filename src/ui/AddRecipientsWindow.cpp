#include "ui/AddRecipientsWindow.h"

#include <QGridLayout>
#include <QLabel>

#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

AddRecipientsWindow::AddRecipientsWindow(AppState& state, Grid& target, Operator& op, QWidget* parent)
    : QDialog(parent), state_(state), target_(target), op_(op), dialog_(OpenAddRecipients(state.staff.grid)) {
  ModalDialog(this, "addRecipientsWindow", QStringLiteral("伝達者追加"));
  auto* l = new QGridLayout(this);
  registeredList_ = NameList("registeredList", QStringLiteral("登録済職員"), this);
  addedList_ = NameList("addedList", QStringLiteral("追加登録"), this);
  registeredList_->addItems(ToQ(dialog_.registered));
  auto* addButton = Button("addButton", QStringLiteral("追加"), this);
  auto* setButton = Button("setButton", QStringLiteral("設定"), this);
  auto* closeButton = Button("closeButton", QStringLiteral("閉じる"), this);
  l->addWidget(new QLabel(QStringLiteral("登録済職員"), this), 0, 0);
  l->addWidget(new QLabel(QStringLiteral("追加登録"), this), 0, 2);
  l->addWidget(registeredList_, 1, 0, 3, 1);
  l->addWidget(addButton, 1, 1);
  l->addWidget(addedList_, 1, 2, 3, 1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(setButton);
  row->addWidget(closeButton);
  l->addLayout(row, 4, 0, 1, 3);
  l->setRowStretch(3, 1);
  resize(460, 380);
  connect(addButton, &QPushButton::clicked, this, &AddRecipientsWindow::onAddClicked);
  connect(setButton, &QPushButton::clicked, this, &AddRecipientsWindow::onSetClicked);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

void AddRecipientsWindow::onAddClicked() {
  AddToRecipientList(dialog_, SelectedItems(registeredList_));
  addedList_->clear();
  addedList_->addItems(ToQ(dialog_.added));
}

void AddRecipientsWindow::onSetClicked() {
  if (SetAddedRecipients(dialog_, state_.staff.grid, target_, op_)) accept();
}

}  // namespace zentavo::ui
