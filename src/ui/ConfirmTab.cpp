#include "ui/ConfirmTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

QTableView* ResultList(const char* name, const QString& caption, const QStringList& headers, QWidget* parent) {
  auto* model = new QStandardItemModel(1, static_cast<int>(headers.size()), parent);
  model->setHorizontalHeaderLabels(headers);
  return GridView(name, caption, model, parent);
}

const QString kReceiveCaption = QStringLiteral("      受信確認");

}  // namespace

ConfirmTab::ConfirmTab(WindowContext& context, QWidget* parent)
    : Tab(context, "confirmTab", QStringLiteral("伝達確認"), parent) {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 2);
  header_ = HeaderPanel("confirmHeader", QStringLiteral("伝達確認"), this);
  outer->addWidget(header_);
  auto* pages = new QTabWidget(this);
  outer->addWidget(pages, 1);

  // "返信受信確認"
  auto* reply = new QWidget;
  auto* rl = new QGridLayout(reply);
  rl->setContentsMargins(4, 4, 4, 2);
  auto* receivedList = ResultList("receivedList", QStringLiteral("受信一覧"),
                                  {QStringLiteral("番号"), QStringLiteral("送信者"), QStringLiteral("職員"),
                                   QStringLiteral("MailNo"), QStringLiteral("件名"), QStringLiteral("受信日時")},
                                  reply);
  for (int c = 0; const int width : {40, 150, 36, 60, 150}) receivedList->setColumnWidth(c++, width);

  auto* bodyBar = new QHBoxLayout;
  bodyBar->addWidget(new QLabel(QStringLiteral("　受信本文"), reply));
  auto* bodyWindowButton = Button("bodyWindowButton", QStringLiteral("本文別画面"), reply);
  auto* printBodyButton = Button("printBodyButton", QStringLiteral("本文印刷"), reply);
  auto* saveBodyButton = Button("saveBodyButton", QStringLiteral("ﾌｧｲﾙ保存"), reply);
  bodyBar->addWidget(bodyWindowButton);
  bodyBar->addWidget(printBodyButton);
  bodyBar->addWidget(saveBodyButton);
  bodyBar->addWidget(Check("bodyWindowCheck", QStringLiteral("本文受信時に別画面で表示する"), reply));
  bodyBar->addStretch();
  auto* bodyView = Named(new QPlainTextEdit(reply), "receivedBodyView", QStringLiteral("メール本文表示"));
  bodyView->setReadOnly(true);

  auto* historyRow = new QHBoxLayout;
  auto* replyCheckButton = Button("replyCheckButton", QStringLiteral("確認"), reply);
  historyRow->addWidget(Named(new QComboBox(reply), "historyCombo", QStringLiteral("伝達履歴")), 1);
  historyRow->addWidget(replyCheckButton);
  auto* resultList = ResultList("replyResultList", QStringLiteral("返信結果"),
                                {QStringLiteral("氏名"), QStringLiteral("メールアドレス"), QStringLiteral("電話番号"),
                                 QStringLiteral("受信日時")},
                                reply);

  auto* right = new QVBoxLayout;
  auto* deleteBox = Box(QStringLiteral("受信メール削除"), reply);
  auto* dl = new QVBoxLayout(deleteBox);
  auto* deleteOthers = Button("deleteOtherMailButton", QStringLiteral("職員以外メール削除"), deleteBox);
  auto* deleteStaff = Button("deleteStaffMailButton", QStringLiteral("職員メール削除"), deleteBox);
  auto* deleteAll = Button("deleteAllMailButton", QStringLiteral("全削除"), deleteBox);
  dl->addWidget(deleteOthers);
  dl->addWidget(deleteStaff);
  dl->addWidget(deleteAll);

  continuousBox_ = Named(Box(QStringLiteral("連続受信"), reply), "continuousBox", QStringLiteral("連続受信"));
  auto* cl = new QHBoxLayout(continuousBox_);
  auto* interval = Named(new QSpinBox(continuousBox_), "intervalSpin", QStringLiteral("分間隔"));
  interval->setRange(1, 1440);
  interval->setValue(1);
  cl->addWidget(Check("continuousCheck", QStringLiteral("連続受信"), continuousBox_));
  cl->addWidget(interval);
  cl->addWidget(new QLabel(QStringLiteral("分間隔"), continuousBox_));

  auto* unseenBox = Box(QStringLiteral("未受信のみ受信"), reply);
  auto* ul = new QHBoxLayout(unseenBox);
  ul->addWidget(Check("unseenOnlyCheck", QStringLiteral("未受信受信"), unseenBox));

  auto* showBox = Box(QStringLiteral("受信確認"), reply);
  auto* shl = new QGridLayout(showBox);
  shl->addWidget(new QLabel(QStringLiteral("<職員メール>"), showBox), 0, 0);
  auto* staffSubject = Check("staffSubjectCheck", QStringLiteral("件名表示"), showBox);
  staffSubject->setChecked(true);
  shl->addWidget(staffSubject, 0, 1);
  shl->addWidget(Check("staffBodyCheck", QStringLiteral("本文表示"), showBox), 0, 2);
  shl->addWidget(new QLabel(QStringLiteral("<職員以外メール>"), showBox), 1, 0);
  shl->addWidget(Check("otherSubjectCheck", QStringLiteral("件名表示"), showBox), 1, 1);
  shl->addWidget(Check("otherBodyCheck", QStringLiteral("本文表示"), showBox), 1, 2);
  shl->addWidget(Check("checkAllCheck", QStringLiteral("全てチェック"), showBox), 2, 0, 1, 3);

  auto* receiveRow = new QHBoxLayout;
  receiveButton_ = Button("receiveButton", kReceiveCaption, reply);
  receiveButton_->setMinimumHeight(40);
  auto* stopButton = Button("stopButton", QStringLiteral("停止"), reply);
  stopButton->setMinimumHeight(40);
  receiveRow->addWidget(receiveButton_, 2);
  receiveRow->addWidget(stopButton, 1);

  right->addWidget(deleteBox);
  right->addWidget(continuousBox_);
  right->addWidget(unseenBox);
  right->addWidget(showBox);
  right->addLayout(receiveRow);
  right->addStretch();

  rl->addWidget(receivedList, 0, 0);
  rl->addLayout(bodyBar, 1, 0);
  rl->addWidget(bodyView, 2, 0);
  rl->addLayout(historyRow, 3, 0);
  rl->addWidget(resultList, 4, 0);
  rl->addLayout(right, 0, 1, 5, 1);
  rl->setColumnStretch(0, 1);
  rl->setRowStretch(0, 3);
  rl->setRowStretch(2, 2);
  rl->setRowStretch(4, 2);
  rl->addWidget(StatusLine(QStringLiteral("受信一覧をダブルクリックすると本文を受信します。"
                                          "　連続受信中に、この画面から他の画面に切り替えると、"
                                          "連続受信はキャンセルされます。 "),
                           reply),
                5, 0, 1, 2);
  pages->addTab(reply, QStringLiteral("返信受信確認"));

  // "伝達履歴"
  auto* history = new QWidget;
  auto* hl = new QGridLayout(history);
  hl->setContentsMargins(4, 4, 4, 2);
  auto* listHead = new QHBoxLayout;
  listHead->addWidget(new QLabel(QStringLiteral("伝達一覧"), history));
  listHead->addStretch();
  auto* clearLogsButton = Button("clearLogsButton", QStringLiteral("ログ全消去"), history);
  listHead->addWidget(clearLogsButton);
  auto* historyList = NameList("historyList", QStringLiteral("伝達一覧"), history, false);
  auto* historyRecipients = ResultList("historyRecipientList", QStringLiteral("伝達職員"),
                                       {QStringLiteral("氏名"), QStringLiteral("メールアドレス"),
                                        QStringLiteral("電話番号"), QStringLiteral("受信日時")},
                                       history);
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

  // The menus' items act once reception and history are built.
  QMenu* receivedMenu = PopupMenu(QStringLiteral("<<受信メール処理>>"), receivedList);
  for (const char* item : {"アドレス追加", "メール削除", "履歴に記録する"})
    receivedMenu->addAction(QString::fromUtf8(item))->setEnabled(false);
  QMenu* historyMenu = PopupMenu(QStringLiteral("<<伝達履歴>>"), historyList);
  for (const char* item : {"行削除", "この履歴に伝達する"})
    historyMenu->addAction(QString::fromUtf8(item))->setEnabled(false);
  for (QWidget* w : std::initializer_list<QWidget*>{bodyWindowButton, printBodyButton, saveBodyButton, replyCheckButton,
                                                    deleteOthers, deleteStaff, deleteAll, receiveButton_, stopButton,
                                                    clearLogsButton}) {
    w->setEnabled(false);
  }
}

void ConfirmTab::pageChanged() {
  receiveButton_->setText(kReceiveCaption);
  header_->setText(QStringLiteral("伝達確認"));
  continuousTimer_.stop();
  continuousBox_->setEnabled(true);
}

}  // namespace zentavo::ui
