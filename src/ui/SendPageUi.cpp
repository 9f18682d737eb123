// The send page "職員伝達": group, recipients, subject, body, options and
// the reservation panel.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "store/Recipients.h"
#include "store/Signature.h"
#include "store/Templates.h"
#include "ui/AddRecipientsWindow.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"
#include "ui/TemplateChooserWindow.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

QWidget* MainWindow::BuildSendPage() {
  auto* page = Named(new QWidget, "TabSheet1", QStringLiteral("職員伝達"));
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(6, 6, 6, 2);
  grid->setHorizontalSpacing(8);

  // Left column: group and recipients.
  auto* groupBox = Box("GroupBox1", QStringLiteral("グループ名"), page);
  auto* gl = new QHBoxLayout(groupBox);
  ComboBox1 = Named(new QComboBox(groupBox), "ComboBox1", QStringLiteral("グループ名"));
  gl->addWidget(ComboBox1);
  connect(ComboBox1, &QComboBox::activated, this, &MainWindow::ComboBox1Change);

  auto* recipBox = Box("GroupBox2", QStringLiteral("伝達者名"), page);
  auto* rl = new QVBoxLayout(recipBox);
  StringGrid4 = Named(new QTableView(recipBox), "StringGrid4", QStringLiteral("伝達者名"));
  StringGrid4->setModel(recipientModel.get());
  StringGrid4->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid4->setSelectionMode(QAbstractItemView::ExtendedSelection);
  StringGrid4->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid4->verticalHeader()->setDefaultSectionSize(20);
  StringGrid4->verticalHeader()->setVisible(false);
  StringGrid4->setColumnWidth(0, 90);
  StringGrid4->setColumnWidth(1, 150);
  StringGrid4->horizontalHeader()->setStretchLastSection(true);
  rl->addWidget(StringGrid4);
  auto* rbuttons = new QHBoxLayout;
  SpeedButton2 = Button("SpeedButton2", QStringLiteral("追加"), recipBox);
  SpeedButton1 = Button("SpeedButton1", QStringLiteral("除外"), recipBox);
  auto* splitBox = Box("GroupBox3", QStringLiteral("分割送信"), recipBox);
  auto* sl = new QHBoxLayout(splitBox);
  sl->setContentsMargins(6, 0, 6, 2);
  Label4 = Named(new QLabel(splitBox), "Label4", QStringLiteral("分割送信"));
  sl->addWidget(Label4);
  rbuttons->addWidget(SpeedButton2);
  rbuttons->addWidget(SpeedButton1);
  rbuttons->addStretch();
  rbuttons->addWidget(splitBox);
  rl->addLayout(rbuttons);
  connect(SpeedButton2, &QPushButton::clicked, this, &MainWindow::SpeedButton2Click);
  connect(SpeedButton1, &QPushButton::clicked, this, &MainWindow::SpeedButton1Click);

  // Right column: subject and body.
  auto* subjectBox = Box("GroupBox4", QStringLiteral("伝達件名"), page);
  auto* subl = new QGridLayout(subjectBox);
  Edit13 = Named(new QLineEdit(subjectBox), "Edit13", QStringLiteral("識別"));
  Edit13->setReadOnly(true);
  Edit13->setFixedWidth(110);
  Edit9 = Named(new QLineEdit(subjectBox), "Edit9", QStringLiteral("ＭａｉｌＮｏ"));
  Edit9->setReadOnly(true);
  Edit9->setFixedWidth(70);
  Edit1 = Named(new QLineEdit(subjectBox), "Edit1", QStringLiteral("件名"));
  SpeedButton8 = Button("SpeedButton8", QStringLiteral("定型"), subjectBox);
  subl->addWidget(new QLabel(QStringLiteral("識別"), subjectBox), 0, 0);
  subl->addWidget(Edit13, 0, 1);
  subl->addWidget(new QLabel(QStringLiteral("ＭａｉｌＮｏ"), subjectBox), 0, 2);
  subl->addWidget(Edit9, 0, 3);
  subl->setColumnStretch(4, 1);
  subl->addWidget(new QLabel(QStringLiteral("件名"), subjectBox), 1, 0);
  subl->addWidget(Edit1, 1, 1, 1, 4);
  subl->addWidget(SpeedButton8, 1, 5);
  connect(SpeedButton8, &QPushButton::clicked, this, &MainWindow::SpeedButton8Click);

  auto* bodyBox = Box("GroupBox5", QStringLiteral("伝達内容"), page);
  auto* bl = new QVBoxLayout(bodyBox);
  Memo1 = Named(new QPlainTextEdit(bodyBox), "Memo1", QStringLiteral("伝達内容"));
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont mono(QStringLiteral("Noto Sans Mono CJK JP"));
  mono.setPixelSize(12);
  Memo1->setFont(mono);
  bl->addWidget(Memo1);
  auto* sigRow = new QHBoxLayout;
  SpeedButton12 = Button("SpeedButton12", QStringLiteral("署名"), bodyBox);
  sigRow->addStretch();
  sigRow->addWidget(SpeedButton12);
  bl->addLayout(sigRow);
  connect(SpeedButton12, &QPushButton::clicked, this, &MainWindow::SpeedButton12Click);

  grid->addWidget(groupBox, 0, 0);
  grid->addWidget(recipBox, 1, 0, 2, 1);
  grid->addWidget(subjectBox, 0, 1, 2, 1);
  grid->addWidget(bodyBox, 2, 1);
  grid->setColumnStretch(0, 5);
  grid->setColumnStretch(1, 6);
  grid->setRowStretch(2, 1);

  // Bottom row: options, send, reservation panel, end.
  auto* bottom = new QHBoxLayout;
  auto* picture = Named(new QLabel(page), "Image1", QStringLiteral("Zentavo"));
  picture->setPixmap(windowIcon().pixmap(32, 32));
  auto* options = new QVBoxLayout;
  CheckBox5 = Check("CheckBox5", QStringLiteral("自分宛にコピーを送る"), page);
  CheckBox12 = Check("CheckBox12", QStringLiteral("伝達内容に伝達グループ名を追加"), page);
  CheckBox1 = Check("CheckBox1", QStringLiteral("伝達内容に同報伝達者名を追加"), page);
  options->addWidget(CheckBox5);
  options->addWidget(CheckBox12);
  options->addWidget(CheckBox1);
  SpeedButton3 = Button("SpeedButton3", QStringLiteral("  メッセージ送信"), page);
  SpeedButton3->setMinimumHeight(44);
  SpeedButton3->setStyleSheet(QStringLiteral("QPushButton { font-weight: bold; font-size: 14px; padding: 0 14px; }"));

  Panel50 = Named(new QFrame(page), "Panel50", QStringLiteral("予約送信"));
  Panel50->setFrameShape(QFrame::Panel);
  Panel50->setFrameShadow(QFrame::Raised);
  Panel50->setAutoFillBackground(true);
  auto* pl = new QGridLayout(Panel50);
  pl->setContentsMargins(6, 4, 6, 4);
  CheckBox13 = Check("CheckBox13", QStringLiteral("予約送信を実行する"), Panel50);
  SpeedButton29 = Button("SpeedButton29", QStringLiteral("予約設定"), Panel50);
  SpeedButton30 = Button("SpeedButton30", QStringLiteral("待機"), Panel50);
  pl->addWidget(CheckBox13, 0, 0, 1, 2);
  pl->addWidget(SpeedButton29, 1, 0);
  pl->addWidget(SpeedButton30, 1, 1);
  connect(CheckBox13, &QCheckBox::clicked, this, &MainWindow::CheckBox13Click);
  connect(SpeedButton30, &QPushButton::clicked, this, &MainWindow::SpeedButton30Click);
  // Booking notices comes with the reservation editor.
  SpeedButton29->setEnabled(false);
  connect(SpeedButton3, &QPushButton::clicked, this, &MainWindow::SpeedButton3Click);

  SpeedButton7 = Button("SpeedButton7", QStringLiteral("終了"), page);
  SpeedButton7->setMinimumHeight(44);
  connect(SpeedButton7, &QPushButton::clicked, this, &MainWindow::SpeedButton7Click);

  bottom->addWidget(picture);
  bottom->addLayout(options);
  bottom->addStretch();
  bottom->addWidget(SpeedButton3);
  bottom->addWidget(Panel50);
  bottom->addWidget(SpeedButton7);
  grid->addLayout(bottom, 3, 0, 1, 2);

  CheckBox13Click();
  return page;
}

void MainWindow::RefreshSendPage() {
  const bool was = refreshing_;
  refreshing_ = true;
  Edit13->setText(ToQ(state_.settings.identifier));
  Edit9->setText(ToQ(state_.send.mailNoBox));
  if (Edit1->text() != ToQ(state_.send.subject)) Edit1->setText(ToQ(state_.send.subject));
  if (LinesFromQ(Memo1->toPlainText()) != state_.send.body) {
    Memo1->setPlainText(LinesToQ(state_.send.body));
    Memo1->moveCursor(QTextCursor::End);
  }
  Label4->setText(ToQ(state_.settings.splitLabel));
  CheckBox5->setChecked(state_.send.copyToSelf);
  CheckBox12->setChecked(state_.send.appendGroup);
  CheckBox1->setChecked(state_.send.appendNames);
  recipientModel->reload();
  refreshing_ = was;
}

void MainWindow::ComboBox1Change() {
  state_.send.group = FromQ(ComboBox1->currentText());
  FillRecipients(state_.folder, state_.send.group, state_.staff.grid, state_.recipients,
                 state_.lastNames, *op_);
  recipientModel->reload();
}

void MainWindow::SpeedButton2Click() {
  state_.callerMode = std::string(kCallerSendPage);
  AddRecipientsWindow dialog(state_, *op_, this);
  dialog.exec();
  recipientModel->reload();
}

void MainWindow::SpeedButton1Click() {
  auto [top, bottom] = SelectedGridRows(StringGrid4);
  DeleteGridRows(state_.recipients, top, bottom);
  recipientModel->reload();
}

void MainWindow::SpeedButton8Click() {
  TemplateChooserWindow dialog(state_, *op_, this);
  if (dialog.exec() == QDialog::Accepted) RefreshSendPage();
}

void MainWindow::SpeedButton12Click() {
  AppendSignature(state_.signature, state_.send.body);
  RefreshSendPage();
}

void MainWindow::CheckBox13Click() {
  state_.send.reserveOn = CheckBox13->isChecked();
  QPalette pal = Panel50->palette();
  // Sky blue while scheduled sending is on, silver otherwise.
  pal.setColor(QPalette::Window, state_.send.reserveOn ? QColor(0xA6, 0xCA, 0xF0) : QColor(0xC0, 0xC0, 0xC0));
  Panel50->setPalette(pal);
}

void MainWindow::CheckBox7Click() {
  if (!refreshing_) SetSplitSend(state_.settings, CheckBox7->isChecked());
  Label4->setText(ToQ(state_.settings.splitLabel));
  SpinEdit1->setEnabled(state_.settings.splitSend);
  Label3->setEnabled(state_.settings.splitSend);
}

}  // namespace zentavo::ui
