#include "ui/ReplyStatusWindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "history/TextOutput.h"
#include "ui/Printing.h"
#include "ui/QtText.h"
#include "ui/SortableGrid.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

// No title-bar buttons: the window ends only through "閉じる".
constexpr Qt::WindowFlags kFixedDialog =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;

}  // namespace

ReplyStatusWindow::ReplyStatusWindow(ReplyStatus status, Operator& op, QWidget* parent)
    : QDialog(parent, kFixedDialog),
      status_(std::move(status)),
      op_(op),
      repliedModel_(status_.replied),
      notRepliedModel_(status_.notReplied),
      undeliveredModel_(status_.undelivered) {
  setObjectName(QStringLiteral("replyStatusWindow"));
  setWindowTitle(QStringLiteral("返信状況確認"));
  setModal(true);
  repliedModel_.setCentredColumns({1});
  auto* l = new QVBoxLayout(this);
  l->addWidget(SunkenPanel("historyPanel", ToQ(status_.title), this, 24));
  auto* sides = new QHBoxLayout;
  sides->addLayout(BuildSide("replied", QStringLiteral("返信あり"), status_.replied, repliedModel_));
  sides->addLayout(BuildSide("notReplied", QStringLiteral("返信なし"), status_.notReplied, notRepliedModel_));
  sides->addLayout(BuildSide("undelivered", QStringLiteral("不達"), status_.undelivered, undeliveredModel_));
  l->addLayout(sides, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(SunkenPanel("countLine", ToQ(status_.countLine), this, 24), 1);
  auto* closeButton = Button("closeButton", QStringLiteral("閉じる"), this);
  closeButton->setDefault(true);  // Enter closes rather than prints
  bottom->addWidget(closeButton);
  l->addLayout(bottom);
  setFixedSize(1000, 480);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

QLayout* ReplyStatusWindow::BuildSide(const char* kind, const QString& heading, Grid& list, GridModel& model) {
  std::string capitalised(kind);
  capitalised[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(capitalised[0])));
  auto* side = new QVBoxLayout;
  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(heading, this), 1);
  auto* printButton = Button(("print" + capitalised + "Button").c_str(), QStringLiteral("印刷"), this);
  auto* copyButton = Button(("copy" + capitalised + "Button").c_str(), QStringLiteral("コピー"), this);
  auto* saveButton = Button(("save" + capitalised + "Button").c_str(), QStringLiteral("CSV保存"), this);
  printButton->setAccessibleName(heading + QStringLiteral("を印刷"));
  copyButton->setAccessibleName(heading + QStringLiteral("をコピー"));
  saveButton->setAccessibleName(heading + QStringLiteral("をCSV保存"));
  for (QPushButton* button : {printButton, copyButton, saveButton}) bar->addWidget(button);
  side->addLayout(bar);
  QTableView* view = GridView((std::string(kind) + "List").c_str(), heading, &model, this);
  MakeSortable(view, &model);
  view->setColumnWidth(0, 140);
  side->addWidget(view, 1);
  connect(printButton, &QPushButton::clicked, this, [this, &list, heading] { print(list, heading); });
  connect(copyButton, &QPushButton::clicked, this, [this, &list, heading] { copy(list, heading); });
  connect(saveButton, &QPushButton::clicked, this,
          [this, &list, heading] { SaveReplyList(list, FromQ(heading), op_); });
  return side;
}

void ReplyStatusWindow::print(const Grid& list, const QString& heading) {
  PrintLines(ReplyListPrintLines(status_.title, FromQ(QStringLiteral("<") + heading + QStringLiteral(">")), list), op_);
}

// The same CSV as saved, for pasting into a spreadsheet or a mail.
void ReplyStatusWindow::copy(const Grid& list, const QString& heading) {
  QGuiApplication::clipboard()->setText(
      ToQ(GridCsv(list, FromQ(heading))).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

}  // namespace zentavo::ui
