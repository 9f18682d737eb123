#include "ui/ConfirmTab.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "text/SjisUnicode.h"
#include "ui/SortableGrid.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

ConfirmTab::ConfirmTab(WindowContext& context, QWidget* parent)
    : Tab(context, "confirmTab", QStringLiteral("伝達確認"), parent), historyModel_(historyRecipients_) {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 2);
  header_ = HeaderPanel("confirmHeader", QStringLiteral("伝達確認"), this);
  outer->addWidget(header_);
  auto* pages = new QTabWidget(this);
  outer->addWidget(pages, 1);
  reception_ = new ReceptionTab(context);
  pages->addTab(reception_, QStringLiteral("返信受信確認"));
  connect(reception_, &ReceptionTab::statusChanged, header_, &QLabel::setText);

  // "伝達履歴": its controls are here; the history itself comes with reply
  // tracking.
  auto* history = new QWidget;
  auto* hl = new QGridLayout(history);
  hl->setContentsMargins(4, 4, 4, 2);
  auto* listHead = new QHBoxLayout;
  listHead->addWidget(new QLabel(QStringLiteral("伝達一覧"), history));
  listHead->addStretch();
  auto* clearLogsButton = Button("clearLogsButton", QStringLiteral("ログ全消去"), history);
  clearLogsButton->setEnabled(false);
  listHead->addWidget(clearLogsButton);
  auto* historyList = NameList("historyList", QStringLiteral("伝達一覧"), history, false);
  historyRecipients_.SetHeader({Sj("氏名"), Sj("メールアドレス"), Sj("電話番号"), Sj("受信日時")});
  historyModel_.setCentredColumns({3});
  auto* historyRecipients = GridView("historyRecipientList", QStringLiteral("伝達職員"), &historyModel_, history);
  MakeSortable(historyRecipients, &historyModel_);
  auto* historyBody = Named(new QPlainTextEdit(history), "historyBodyView", QStringLiteral("伝達内容"));
  historyBody->setReadOnly(true);
  hl->addLayout(listHead, 0, 0);
  hl->addWidget(historyList, 1, 0, 3, 1);
  hl->addWidget(new QLabel(QStringLiteral("伝達職員"), history), 0, 1);
  hl->addWidget(historyRecipients, 1, 1);
  hl->addWidget(new QLabel(QStringLiteral("伝達内容"), history), 2, 1);
  hl->addWidget(historyBody, 3, 1);
  hl->setColumnStretch(0, 2);
  hl->setColumnStretch(1, 3);
  hl->addWidget(StatusLine(QStringLiteral("伝達一覧をダブルクリックで詳細表示。伝達一覧を右クリックで削除。"), history),
                4, 0, 1, 2);
  pages->addTab(history, QStringLiteral("伝達履歴"));
  QMenu* historyMenu = PopupMenu(QStringLiteral("<<伝達履歴>>"), historyList);
  for (const char* item : {"行削除", "この履歴に伝達する"})
    historyMenu->addAction(QString::fromUtf8(item))->setEnabled(false);
}

void ConfirmTab::pageChanged() {
  reception_->pageChanged();
  header_->setText(QStringLiteral("伝達確認"));
}

}  // namespace zentavo::ui
