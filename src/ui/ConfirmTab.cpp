#include "ui/ConfirmTab.h"

#include "history/ReplyLogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QTabWidget>
#include <QVBoxLayout>

#include "history/DeleteHistory.h"
#include "history/PrepareFollowUp.h"
#include "history/PrepareResend.h"
#include "history/RefreshHistoryList.h"
#include "history/ShowHistoryEntry.h"
#include "text/SjisUnicode.h"
#include "ui/QtText.h"
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
  connect(reception_, &ReceptionTab::repliesRecorded, this, &ConfirmTab::refreshHistory);

  auto* history = new QWidget;
  auto* hl = new QGridLayout(history);
  hl->setContentsMargins(4, 4, 4, 2);
  auto* listHead = new QHBoxLayout;
  listHead->addWidget(new QLabel(QStringLiteral("伝達一覧"), history));
  listHead->addStretch();
  auto* clearLogsButton = Button("clearLogsButton", QStringLiteral("ログ全消去"), history);
  listHead->addWidget(clearLogsButton);
  historyList_ = NameList("historyList", QStringLiteral("伝達一覧"), history);
  historyRecipients_.SetHeader(ResultListHeader());
  historyModel_.setCentredColumns({kResultTime, kResultStatus});
  auto* historyRecipients = GridView("historyRecipientList", QStringLiteral("伝達職員"), &historyModel_, history);
  historyRecipients->setToolTip(QStringLiteral("最終伝達に対する返信結果表示"));
  MakeSortable(historyRecipients, &historyModel_);
  historyBody_ = Named(new QPlainTextEdit(history), "historyBodyView", QStringLiteral("伝達履歴の伝達内容"));
  historyBody_->setReadOnly(true);
  hl->addLayout(listHead, 0, 0);
  hl->addWidget(historyList_, 1, 0, 3, 1);
  hl->addWidget(new QLabel(QStringLiteral("伝達職員"), history), 0, 1);
  hl->addWidget(historyRecipients, 1, 1);
  hl->addWidget(new QLabel(QStringLiteral("伝達内容"), history), 2, 1);
  hl->addWidget(historyBody_, 3, 1);
  hl->setColumnStretch(0, 2);
  hl->setColumnStretch(1, 3);
  hl->addWidget(StatusLine(QStringLiteral("伝達一覧をダブルクリックで詳細表示。伝達一覧を右クリックで削除。"), history),
                4, 0, 1, 2);
  pages->addTab(history, QStringLiteral("伝達履歴"));

  QMenu* menu = PopupMenu(QStringLiteral("<<伝達履歴>>"), historyList_);
  connect(menu->addAction(QStringLiteral("行削除")), &QAction::triggered, this, &ConfirmTab::onDeleteChosen);
  connect(menu->addAction(QStringLiteral("この履歴に伝達する")), &QAction::triggered, this, &ConfirmTab::onResend);
  // A reminder to exactly those who have not replied yet.
  connect(menu->addAction(QStringLiteral("未返信者に再通知する")), &QAction::triggered, this, &ConfirmTab::onFollowUp);
  connect(historyList_, &QListWidget::itemDoubleClicked, this, &ConfirmTab::onHistoryDoubleClicked);
  connect(clearLogsButton, &QPushButton::clicked, this, &ConfirmTab::onDeleteAll);
}

void ConfirmTab::pageChanged() {
  reception_->pageChanged();
  header_->setText(QStringLiteral("伝達確認"));
  refreshHistory();
}

void ConfirmTab::refreshHistory() {
  historyKeys_.clear();
  historyList_->clear();
  for (const HistoryEntry& entry : RefreshHistoryList(state().folder)) {
    historyKeys_.push_back(entry.key);
    // The reply rate at a glance, after the notice's key.
    QString item = ToQ(entry.key);
    if (entry.rate) item += QStringLiteral("  (%1)").arg(ToQ(FormatReplyRate(*entry.rate)));
    historyList_->addItem(item);
  }
  reception_->setHistory(historyKeys_);
}

std::vector<std::string> ConfirmTab::chosenKeys() const {
  std::vector<std::string> keys;
  for (int i : SelectedItems(historyList_)) keys.push_back(historyKeys_[static_cast<std::size_t>(i)]);
  return keys;
}

void ConfirmTab::clearEntry() {
  historyRecipients_.Clear(2);
  historyModel_.reload();
  historyText_.clear();
  historyBody_->clear();
}

void ConfirmTab::onHistoryDoubleClicked() {
  const std::vector<std::string> keys = chosenKeys();
  if (keys.empty()) return;
  ShowHistoryEntry(state().folder, keys.front(), historyRecipients_, historyText_, op());
  historyModel_.reload();
  historyBody_->setPlainText(LinesToQ(historyText_));
}

void ConfirmTab::onDeleteChosen() {
  DeleteHistoryEntries(state().folder, chosenKeys());
  clearEntry();
  refreshHistory();
}

void ConfirmTab::onDeleteAll() {
  DeleteAllLogs(state().folder);
  clearEntry();
  refreshHistory();
  reception_->clearReplyResults();
}

void ConfirmTab::onResend() {
  const std::vector<std::string> keys = chosenKeys();
  if (keys.empty()) return;
  PrepareResend(state().folder, keys.front(), state().send, state().recipients, historyText_, op());
  historyBody_->setPlainText(LinesToQ(historyText_));
  emit sendPagePrepared();
}

void ConfirmTab::onFollowUp() {
  const std::vector<std::string> keys = chosenKeys();
  if (keys.empty()) return;
  if (PrepareFollowUp(state().folder, keys.front(), state().send, state().recipients, op()) == FollowUp::Prepared)
    emit sendPagePrepared();
}

}  // namespace zentavo::ui
