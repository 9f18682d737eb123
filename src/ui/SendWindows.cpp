#include "ui/SendWindows.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "ui/Colours.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

// No title-bar buttons: the window ends only through its own buttons.
constexpr Qt::WindowFlags kFixedDialog =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;

}  // namespace

SendProgressWindow::SendProgressWindow(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  ProgressWindowLook(this, "sendProgressWindow");
  auto* l = new QHBoxLayout(this);
  auto* picture = new QLabel(this);
  picture->setPixmap(ProgramIcon().pixmap(32, 32));
  progressText_ =
      Named(new QLabel(QStringLiteral("処理を開始しました"), this), "progressText", QStringLiteral("送信状況"));
  progressText_->setFrameShape(QFrame::Panel);
  progressText_->setFrameShadow(QFrame::Sunken);
  progressText_->setAlignment(Qt::AlignCenter);
  progressText_->setMinimumWidth(300);
  progressText_->setStyleSheet(QStringLiteral("QLabel { font-size: 14px; font-weight: bold; padding: 10px; }"));
  l->addWidget(picture);
  l->addWidget(progressText_, 1);
  setFixedSize(420, 80);
}

SplitConfirmWindow::SplitConfirmWindow(const SplitVerdict& verdict, QWidget* parent)
    : QDialog(parent, kFixedDialog | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("splitConfirmWindow"));
  setWindowTitle(QStringLiteral("分割送信"));
  setModal(true);
  auto* l = new QVBoxLayout(this);
  l->addWidget(new QLabel(QStringLiteral("分割送信の準備が完了しました。"), this));
  auto* verdictText = Named(new QLabel(ToQ(verdict.text), this), "verdictText", QStringLiteral("分割送信"));
  verdictText->setFrameShape(QFrame::Panel);
  verdictText->setFrameShadow(QFrame::Sunken);
  verdictText->setAlignment(Qt::AlignCenter);
  verdictText->setMinimumHeight(60);
  verdictText->setStyleSheet(QStringLiteral("QLabel { font-size: 18px; font-weight: bold; }"));
  l->addWidget(verdictText);
  auto* row = new QHBoxLayout;
  auto* sendButton = Button("sendButton", QStringLiteral("送信実行"), this);
  auto* cancelButton = Button("cancelButton", QStringLiteral("キャンセル"), this);
  row->addStretch();
  row->addWidget(sendButton);
  row->addWidget(cancelButton);
  l->addLayout(row);
  setFixedSize(440, 170);
  connect(sendButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

UnregisteredWindow::UnregisteredWindow(const std::vector<UnregisteredRow>& rows, QWidget* parent)
    : QDialog(parent, kFixedDialog) {
  setObjectName(QStringLiteral("unregisteredWindow"));
  setWindowTitle(QStringLiteral("未送信"));
  setModal(true);
  auto* l = new QVBoxLayout(this);
  l->addWidget(new QLabel(QStringLiteral("次の職員はアドレスが登録されていなので"), this));
  l->addWidget(new QLabel(QStringLiteral("電話等により別途連絡してください。"), this));
  auto* list = Named(new QTableWidget(kUnregisteredListRows, 3, this), "unregisteredList", QStringLiteral("未送信"));
  list->setHorizontalHeaderLabels(
      {QStringLiteral("氏名"), QStringLiteral("メールアドレス"), QStringLiteral("電話番号")});
  list->setColumnWidth(0, 148);
  list->setColumnWidth(1, 194);
  list->setColumnWidth(2, 130);
  list->verticalHeader()->setVisible(false);
  list->verticalHeader()->setDefaultSectionSize(20);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int r = 0; r < static_cast<int>(rows.size()) && r < kUnregisteredListRows; ++r) {
    list->setItem(r, 0, new QTableWidgetItem(ToQ(rows[r].name)));
    list->setItem(r, 1, new QTableWidgetItem(ToQ(rows[r].address)));
    list->setItem(r, 2, new QTableWidgetItem(ToQ(rows[r].phone)));
  }
  l->addWidget(list, 1);
  auto* closeButton = Button("closeButton", QStringLiteral("閉じる"), this);
  l->addWidget(closeButton, 0, Qt::AlignRight);
  setFixedSize(520, 420);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace zentavo::ui
