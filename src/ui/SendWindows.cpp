#include "ui/SendWindows.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

// No title-bar buttons: the window ends only through its own buttons.
constexpr Qt::WindowFlags kFixedDialog =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;

}  // namespace

SendProgressWindow::SendProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("Form5"));
  setModal(false);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
  setPalette(pal);
  auto* l = new QHBoxLayout(this);
  auto* picture = new QLabel(this);
  picture->setPixmap(parent ? parent->windowIcon().pixmap(32, 32) : QPixmap());
  Panel1 = Named(new QLabel(QStringLiteral("処理を開始しました"), this), "Panel1", QStringLiteral("送信状況"));
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Sunken);
  Panel1->setAlignment(Qt::AlignCenter);
  Panel1->setMinimumWidth(300);
  Panel1->setStyleSheet(QStringLiteral("QLabel { font-size: 14px; font-weight: bold; padding: 10px; }"));
  l->addWidget(picture);
  l->addWidget(Panel1, 1);
  setFixedSize(420, 80);
}

SplitConfirmWindow::SplitConfirmWindow(const SplitVerdict& verdict, QWidget* parent)
    : QDialog(parent, kFixedDialog | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("Form11"));
  setWindowTitle(QStringLiteral("分割送信"));
  setModal(true);
  auto* l = new QVBoxLayout(this);
  l->addWidget(new QLabel(QStringLiteral("分割送信の準備が完了しました。"), this));
  Panel1 = Named(new QLabel(ToQ(verdict.text), this), "Panel1", QStringLiteral("分割送信"));
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Sunken);
  Panel1->setAlignment(Qt::AlignCenter);
  Panel1->setMinimumHeight(60);
  Panel1->setStyleSheet(QStringLiteral("QLabel { font-size: 18px; font-weight: bold; }"));
  l->addWidget(Panel1);
  auto* row = new QHBoxLayout;
  SpeedButton1 = Button("SpeedButton1", QStringLiteral("送信実行"), this);
  SpeedButton2 = Button("SpeedButton2", QStringLiteral("キャンセル"), this);
  row->addStretch();
  row->addWidget(SpeedButton1);
  row->addWidget(SpeedButton2);
  l->addLayout(row);
  setFixedSize(440, 170);
  connect(SpeedButton1, &QPushButton::clicked, this, &QDialog::accept);
  connect(SpeedButton2, &QPushButton::clicked, this, &QDialog::reject);
}

UnregisteredWindow::UnregisteredWindow(const std::vector<UnregisteredRow>& rows, QWidget* parent)
    : QDialog(parent, kFixedDialog) {
  setObjectName(QStringLiteral("Form6"));
  setWindowTitle(QStringLiteral("未送信"));
  setModal(true);
  auto* l = new QVBoxLayout(this);
  l->addWidget(new QLabel(QStringLiteral("次の職員はアドレスが登録されていなので"), this));
  l->addWidget(new QLabel(QStringLiteral("電話等により別途連絡してください。"), this));
  StringGrid1 = Named(new QTableWidget(kUnregisteredListRows, 3, this), "StringGrid1", QStringLiteral("未送信"));
  StringGrid1->setHorizontalHeaderLabels(
      {QStringLiteral("氏名"), QStringLiteral("メールアドレス"), QStringLiteral("電話番号")});
  StringGrid1->setColumnWidth(0, 148);
  StringGrid1->setColumnWidth(1, 194);
  StringGrid1->setColumnWidth(2, 130);
  StringGrid1->verticalHeader()->setVisible(false);
  StringGrid1->verticalHeader()->setDefaultSectionSize(20);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int r = 0; r < static_cast<int>(rows.size()) && r < kUnregisteredListRows; ++r) {
    StringGrid1->setItem(r, 0, new QTableWidgetItem(ToQ(rows[r].name)));
    StringGrid1->setItem(r, 1, new QTableWidgetItem(ToQ(rows[r].address)));
    StringGrid1->setItem(r, 2, new QTableWidgetItem(ToQ(rows[r].phone)));
  }
  l->addWidget(StringGrid1, 1);
  SpeedButton1 = Button("SpeedButton1", QStringLiteral("閉じる"), this);
  l->addWidget(SpeedButton1, 0, Qt::AlignRight);
  setFixedSize(520, 420);
  connect(SpeedButton1, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace zentavo::ui
