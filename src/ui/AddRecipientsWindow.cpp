#include "ui/AddRecipientsWindow.h"

#include <QGridLayout>
#include <QLabel>

#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

AddRecipientsWindow::AddRecipientsWindow(AppState& state, Operator& op, QWidget* parent)
    : QDialog(parent), state_(state), op_(op), dialog_(OpenAddRecipients(state.staff.grid)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("伝達者追加"));
  setModal(true);
  auto* l = new QGridLayout(this);
  ListBox1 = Named(new QListWidget(this), "ListBox1", QStringLiteral("登録済職員"));
  ListBox2 = Named(new QListWidget(this), "ListBox2", QStringLiteral("追加登録"));
  ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListBox2->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListBox1->addItems(ToQ(dialog_.registered));
  SpeedButton9 = Button("SpeedButton9", QStringLiteral("追加"), this);
  SpeedButton2 = Button("SpeedButton2", QStringLiteral("設定"), this);
  SpeedButton1 = Button("SpeedButton1", QStringLiteral("閉じる"), this);
  l->addWidget(new QLabel(QStringLiteral("登録済職員"), this), 0, 0);
  l->addWidget(new QLabel(QStringLiteral("追加登録"), this), 0, 2);
  l->addWidget(ListBox1, 1, 0, 3, 1);
  l->addWidget(SpeedButton9, 1, 1);
  l->addWidget(ListBox2, 1, 2, 3, 1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(SpeedButton2);
  row->addWidget(SpeedButton1);
  l->addLayout(row, 4, 0, 1, 3);
  l->setRowStretch(3, 1);
  resize(460, 380);
  connect(SpeedButton9, &QPushButton::clicked, this, &AddRecipientsWindow::SpeedButton9Click);
  connect(SpeedButton2, &QPushButton::clicked, this, &AddRecipientsWindow::SpeedButton2Click);
  connect(SpeedButton1, &QPushButton::clicked, this, &QDialog::reject);
}

void AddRecipientsWindow::SpeedButton9Click() {
  std::set<int> selected;
  for (int i = 0; i < ListBox1->count(); ++i) {
    if (ListBox1->item(i)->isSelected()) selected.insert(i);
  }
  AddToRecipientList(dialog_, selected);
  ListBox2->clear();
  ListBox2->addItems(ToQ(dialog_.added));
}

void AddRecipientsWindow::SpeedButton2Click() {
  if (SetAddedRecipients(dialog_, state_.callerMode, state_.staff.grid, state_.recipients,
                         state_.reserveRecipients, state_.lastNames, op_)) {
    accept();
  }
}

}  // namespace zentavo::ui
