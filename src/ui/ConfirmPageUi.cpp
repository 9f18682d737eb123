// The confirm page "伝達確認": reception of replies and the history of sent
// notices. Its controls are all here; reception and history come with their
// own work and stay disabled until then.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "ui/MainWindow.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

QTableView* ResultGrid(const char* name, const QString& caption, const QStringList& headers, QWidget* parent) {
  auto* view = Named(new QTableView(parent), name, caption);
  auto* model = new QStandardItemModel(1, headers.size(), view);
  model->setHorizontalHeaderLabels(headers);
  view->setModel(model);
  view->verticalHeader()->setVisible(false);
  view->verticalHeader()->setDefaultSectionSize(20);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->horizontalHeader()->setStretchLastSection(true);
  return view;
}

}  // namespace

QWidget* MainWindow::BuildConfirmPage() {
  auto* page = Named(new QWidget, "TabSheet3", QStringLiteral("伝達確認"));
  auto* outer = new QVBoxLayout(page);
  outer->setContentsMargins(4, 4, 4, 2);
  Panel11 = HeaderPanel("Panel11", QStringLiteral("伝達確認"), page);
  outer->addWidget(Panel11);
  PageControl3 = Named(new QTabWidget(page), "PageControl3", QStringLiteral("伝達確認"));
  outer->addWidget(PageControl3, 1);

  // "返信受信確認"
  auto* reply = Named(new QWidget, "TabSheet5", QStringLiteral("返信受信確認"));
  auto* rl = new QGridLayout(reply);
  rl->setContentsMargins(4, 4, 4, 2);
  StrSortGrid2 = ResultGrid("StrSortGrid2", QStringLiteral("受信一覧"),
                            {QStringLiteral("番号"), QStringLiteral("送信者"), QStringLiteral("職員"),
                             QStringLiteral("MailNo"), QStringLiteral("件名"), QStringLiteral("受信日時")},
                            reply);
  StrSortGrid2->setColumnWidth(0, 40);
  StrSortGrid2->setColumnWidth(1, 150);
  StrSortGrid2->setColumnWidth(2, 36);
  StrSortGrid2->setColumnWidth(3, 60);
  StrSortGrid2->setColumnWidth(4, 150);

  auto* bodyBar = new QHBoxLayout;
  bodyBar->addWidget(new QLabel(QStringLiteral("　受信本文"), reply));
  SpeedButton25 = Button("SpeedButton25", QStringLiteral("本文別画面"), reply);
  SpeedButton26 = Button("SpeedButton26", QStringLiteral("本文印刷"), reply);
  SpeedButton28 = Button("SpeedButton28", QStringLiteral("ﾌｧｲﾙ保存"), reply);
  CheckBox10 = Check("CheckBox10", QStringLiteral("本文受信時に別画面で表示する"), reply);
  bodyBar->addWidget(SpeedButton25);
  bodyBar->addWidget(SpeedButton26);
  bodyBar->addWidget(SpeedButton28);
  bodyBar->addWidget(CheckBox10);
  bodyBar->addStretch();
  Memo4 = Named(new QPlainTextEdit(reply), "Memo4", QStringLiteral("メール本文表示"));
  Memo4->setReadOnly(true);

  auto* historyRow = new QHBoxLayout;
  ComboBox4 = Named(new QComboBox(reply), "ComboBox4", QStringLiteral("伝達履歴"));
  SpeedButton17 = Button("SpeedButton17", QStringLiteral("確認"), reply);
  historyRow->addWidget(ComboBox4, 1);
  historyRow->addWidget(SpeedButton17);
  StrSortGrid1 = ResultGrid("StrSortGrid1", QStringLiteral("返信結果"),
                            {QStringLiteral("氏名"), QStringLiteral("メールアドレス"), QStringLiteral("電話番号"),
                             QStringLiteral("受信日時")},
                            reply);

  auto* right = new QVBoxLayout;
  auto* deleteBox = Box("GroupBox6", QStringLiteral("受信メール削除"), reply);
  auto* dl = new QVBoxLayout(deleteBox);
  SpeedButton16 = Button("SpeedButton16", QStringLiteral("職員以外メール削除"), deleteBox);
  SpeedButton15 = Button("SpeedButton15", QStringLiteral("職員メール削除"), deleteBox);
  SpeedButton14 = Button("SpeedButton14", QStringLiteral("全削除"), deleteBox);
  dl->addWidget(SpeedButton16);
  dl->addWidget(SpeedButton15);
  dl->addWidget(SpeedButton14);

  GroupBox8 = Box("GroupBox8", QStringLiteral("連続受信"), reply);
  auto* cl = new QHBoxLayout(GroupBox8);
  CheckBox2 = Check("CheckBox2", QStringLiteral("連続受信"), GroupBox8);
  SpinEdit2 = Named(new QSpinBox(GroupBox8), "SpinEdit2", QStringLiteral("分間隔"));
  SpinEdit2->setRange(1, 1440);
  SpinEdit2->setValue(1);
  cl->addWidget(CheckBox2);
  cl->addWidget(SpinEdit2);
  cl->addWidget(new QLabel(QStringLiteral("分間隔"), GroupBox8));

  auto* unseenBox = Box("GroupBox9", QStringLiteral("未受信のみ受信"), reply);
  auto* ul = new QHBoxLayout(unseenBox);
  CheckBox9 = Check("CheckBox9", QStringLiteral("未受信受信"), unseenBox);
  ul->addWidget(CheckBox9);

  auto* showBox = Box("GroupBox10", QStringLiteral("受信確認"), reply);
  auto* shl = new QGridLayout(showBox);
  shl->addWidget(new QLabel(QStringLiteral("<職員メール>"), showBox), 0, 0);
  CheckBox11 = Check("CheckBox11", QStringLiteral("件名表示"), showBox);
  CheckBox11->setChecked(true);
  CheckBox3 = Check("CheckBox3", QStringLiteral("本文表示"), showBox);
  shl->addWidget(CheckBox11, 0, 1);
  shl->addWidget(CheckBox3, 0, 2);
  shl->addWidget(new QLabel(QStringLiteral("<職員以外メール>"), showBox), 1, 0);
  CheckBox4 = Check("CheckBox4", QStringLiteral("件名表示"), showBox);
  CheckBox6 = Check("CheckBox6", QStringLiteral("本文表示"), showBox);
  shl->addWidget(CheckBox4, 1, 1);
  shl->addWidget(CheckBox6, 1, 2);
  CheckBox14 = Check("CheckBox14", QStringLiteral("全てチェック"), showBox);
  shl->addWidget(CheckBox14, 2, 0, 1, 3);

  auto* receiveRow = new QHBoxLayout;
  plButton1 = Button("plButton1", QStringLiteral("      受信確認"), reply);
  plButton1->setMinimumHeight(40);
  SpeedButton27 = Button("SpeedButton27", QStringLiteral("停止"), reply);
  SpeedButton27->setMinimumHeight(40);
  receiveRow->addWidget(plButton1, 2);
  receiveRow->addWidget(SpeedButton27, 1);

  right->addWidget(deleteBox);
  right->addWidget(GroupBox8);
  right->addWidget(unseenBox);
  right->addWidget(showBox);
  right->addLayout(receiveRow);
  right->addStretch();

  rl->addWidget(StrSortGrid2, 0, 0);
  rl->addLayout(bodyBar, 1, 0);
  rl->addWidget(Memo4, 2, 0);
  rl->addLayout(historyRow, 3, 0);
  rl->addWidget(StrSortGrid1, 4, 0);
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
  PageControl3->addTab(reply, QStringLiteral("返信受信確認"));

  // "伝達履歴"
  auto* history = Named(new QWidget, "TabSheet6", QStringLiteral("伝達履歴"));
  auto* hl = new QGridLayout(history);
  hl->setContentsMargins(4, 4, 4, 2);
  auto* listHead = new QHBoxLayout;
  listHead->addWidget(new QLabel(QStringLiteral("伝達一覧"), history));
  listHead->addStretch();
  SpeedButton18 = Button("SpeedButton18", QStringLiteral("ログ全消去"), history);
  listHead->addWidget(SpeedButton18);
  ListBox6 = Named(new QListWidget(history), "ListBox6", QStringLiteral("伝達一覧"));
  StrSortGrid3 = ResultGrid("StrSortGrid3", QStringLiteral("伝達職員"),
                            {QStringLiteral("氏名"), QStringLiteral("メールアドレス"), QStringLiteral("電話番号"),
                             QStringLiteral("受信日時")},
                            history);
  Memo9 = Named(new QPlainTextEdit(history), "Memo9", QStringLiteral("伝達内容"));
  Memo9->setReadOnly(true);
  hl->addLayout(listHead, 0, 0);
  hl->addWidget(ListBox6, 1, 0, 3, 1);
  hl->addWidget(new QLabel(QStringLiteral("伝達職員"), history), 0, 1);
  hl->addWidget(StrSortGrid3, 1, 1);
  hl->addWidget(new QLabel(QStringLiteral("伝達内容"), history), 2, 1);
  hl->addWidget(Memo9, 3, 1);
  hl->setColumnStretch(0, 2);
  hl->setColumnStretch(1, 3);
  hl->addWidget(StatusLine(QStringLiteral("伝達一覧をダブルクリックで詳細表示。伝達一覧を右クリックで削除。"), history),
                4, 0, 1, 2);
  PageControl3->addTab(history, QStringLiteral("伝達履歴"));

  // Reception, deletion and history arrive with their own work.
  for (QWidget* w : std::initializer_list<QWidget*>{
           SpeedButton25, SpeedButton26, SpeedButton28, SpeedButton17, SpeedButton16, SpeedButton15,
           SpeedButton14, plButton1, SpeedButton27, SpeedButton18}) {
    w->setEnabled(false);
  }
  return page;
}

}  // namespace zentavo::ui
