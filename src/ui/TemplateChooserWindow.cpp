#include "ui/TemplateChooserWindow.h"

#include <QGridLayout>
#include <QLabel>

#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

TemplateChooserWindow::TemplateChooserWindow(AppState& state, Operator& op, QWidget* parent)
    : QDialog(parent), state_(state), op_(op), chooser_(OpenTemplateChooser(state.templates)) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("定型文選択"));
  setModal(true);
  auto* l = new QGridLayout(this);
  ListBox1 = Named(new QListWidget(this), "ListBox1", QStringLiteral("定型伝達文書"));
  ListBox1->addItems(ToQ(chooser_.names));
  Memo1 = Named(new QPlainTextEdit(this), "Memo1", QStringLiteral("内容"));
  Memo1->setReadOnly(true);
  SpeedButton2 = Button("SpeedButton2", QStringLiteral("設定"), this);
  SpeedButton1 = Button("SpeedButton1", QStringLiteral("閉じる"), this);
  l->addWidget(new QLabel(QStringLiteral("定型伝達文書"), this), 0, 0);
  l->addWidget(ListBox1, 1, 0);
  l->addWidget(Memo1, 1, 1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(SpeedButton2);
  row->addWidget(SpeedButton1);
  l->addLayout(row, 2, 0, 1, 2);
  auto* status = new QLabel(QStringLiteral("ダブルクリックで内容を確認できます"), this);
  status->setFrameShape(QFrame::Panel);
  status->setFrameShadow(QFrame::Sunken);
  l->addWidget(status, 3, 0, 1, 2);
  l->setColumnStretch(1, 2);
  resize(620, 400);
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TemplateChooserWindow::ListBox1DblClick);
  connect(SpeedButton2, &QPushButton::clicked, this, &TemplateChooserWindow::SpeedButton2Click);
  connect(SpeedButton1, &QPushButton::clicked, this, &QDialog::reject);
}

void TemplateChooserWindow::ListBox1DblClick() {
  PreviewTemplate(state_.folder, chooser_, ListBox1->currentRow());
  Memo1->setPlainText(LinesToQ(chooser_.preview));
}

void TemplateChooserWindow::SpeedButton2Click() {
  int row = ListBox1->selectedItems().isEmpty() ? -1 : ListBox1->currentRow();
  bool chosen = ChooseTemplate(state_.folder, chooser_, row, state_.send.body, state_.send.subject, op_);
  Memo1->setPlainText(LinesToQ(chooser_.preview));
  if (chosen) accept();
}

}  // namespace zentavo::ui
