// The settings pages "各種設定": staff list, groups, templates and the
// system settings, with their pop-up menus.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "store/Groups.h"
#include "store/Staff.h"
#include "store/Templates.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

QListWidget* List(const char* name, const QString& caption, QWidget* parent, bool multi = true) {
  auto* list = Named(new QListWidget(parent), name, caption);
  list->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  return list;
}

QLineEdit* Edit(const char* name, const QString& caption, QWidget* parent) {
  return Named(new QLineEdit(parent), name, caption);
}

// Fills a list and a drop-down with the same names, keeping the drop-down's
// choice when the name is still there.
void FillChoices(QComboBox* combo, const QStringList& names) {
  const QString current = combo->currentText();
  const QSignalBlocker block(combo);
  combo->clear();
  combo->addItems(names);
  combo->setCurrentIndex(current.isEmpty() ? -1 : names.indexOf(current));
}

}  // namespace

QWidget* MainWindow::BuildSettingsPages() {
  auto* page = Named(new QWidget, "TabSheet2", QStringLiteral("各種設定"));
  auto* outer = new QVBoxLayout(page);
  outer->setContentsMargins(4, 4, 4, 2);
  Panel7 = HeaderPanel("Panel7", QStringLiteral("各種設定"), page);
  outer->addWidget(Panel7);
  PageControl2 = Named(new QTabWidget(page), "PageControl2", QStringLiteral("各種設定"));
  StaffPage = BuildStaffPage();
  GroupPage = BuildGroupPage();
  TemplatePage = BuildTemplatePage();
  SystemPage = BuildSystemPage();
  PageControl2->addTab(StaffPage, QStringLiteral("職員リスト"));
  PageControl2->addTab(GroupPage, QStringLiteral("グループ登録"));
  PageControl2->addTab(TemplatePage, QStringLiteral("伝達定型文書"));
  PageControl2->addTab(SystemPage, QStringLiteral("システム設定"));
  outer->addWidget(PageControl2, 1);
  return page;
}

QWidget* MainWindow::BuildStaffPage() {
  auto* page = Named(new QWidget, "TabSheet4", QStringLiteral("職員リスト"));
  auto* l = new QVBoxLayout(page);
  l->setContentsMargins(4, 4, 4, 2);
  auto* notes = new QHBoxLayout;
  auto* noteText = new QVBoxLayout;
  auto* note1 = new QLabel(
      QStringLiteral("人事異動等で職員の修正を行う場合は、「CSV出力」したファイルを修正し、「CSV読込」してください。"), page);
  auto* note2 = new QLabel(
      QStringLiteral("人事異動等で職員の追加・削除があった場合は、「事案別伝達職員」を修正して下さい。"), page);
  note1->setStyleSheet(QStringLiteral("color: #a00000;"));
  note2->setStyleSheet(QStringLiteral("color: #a00000;"));
  noteText->addWidget(note1);
  noteText->addWidget(note2);
  notes->addLayout(noteText, 1);
  SpeedButton4 = Button("SpeedButton4", QStringLiteral("CSV読込"), page);
  SpeedButton5 = Button("SpeedButton5", QStringLiteral("CSV出力"), page);
  notes->addWidget(SpeedButton4);
  notes->addWidget(SpeedButton5);
  l->addLayout(notes);
  StringGrid1 = Named(new QTableView(page), "StringGrid1", QStringLiteral("職員リスト"));
  StringGrid1->setModel(staffModel.get());
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setTabKeyNavigation(false);
  StringGrid1->verticalHeader()->setDefaultSectionSize(20);
  StringGrid1->verticalHeader()->setVisible(false);
  StringGrid1->setColumnWidth(0, 180);
  StringGrid1->setColumnWidth(1, 320);
  StringGrid1->horizontalHeader()->setStretchLastSection(true);
  StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
  StringGrid1->installEventFilter(this);
  l->addWidget(StringGrid1, 1);
  l->addWidget(StatusLine(QStringLiteral("職員の追加編集はセルをダブルクリック、削除は右クリック。"
                                         "CSVの入出力は暗号無しで行うので、注意してください。"),
                          page));
  connect(StringGrid1, &QTableView::doubleClicked, this, &MainWindow::StringGrid1DblClick);
  connect(SpeedButton4, &QPushButton::clicked, this, &MainWindow::SpeedButton4Click);
  connect(SpeedButton5, &QPushButton::clicked, this, &MainWindow::SpeedButton5Click);
  return page;
}

QWidget* MainWindow::BuildGroupPage() {
  auto* page = Named(new QWidget, "TabSheet7", QStringLiteral("グループ登録"));
  auto* l = new QGridLayout(page);
  l->setContentsMargins(4, 4, 4, 2);

  auto* groupsBox = Box("GroupBox11", QStringLiteral("グループ一覧"), page);
  auto* gl = new QGridLayout(groupsBox);
  Edit2 = Edit("Edit2", QStringLiteral("グループ名"), groupsBox);
  SpeedButton6 = Button("SpeedButton6", QStringLiteral("追加"), groupsBox);
  ListBox2 = List("ListBox2", QStringLiteral("グループ一覧"), groupsBox);
  SpeedButton20 = Button("SpeedButton20", QStringLiteral("▲"), groupsBox);
  SpeedButton21 = Button("SpeedButton21", QStringLiteral("▼"), groupsBox);
  SpeedButton20->setAccessibleName(QStringLiteral("上へ"));
  SpeedButton21->setAccessibleName(QStringLiteral("下へ"));
  gl->addWidget(new QLabel(QStringLiteral("グループ名"), groupsBox), 0, 0);
  gl->addWidget(Edit2, 0, 1);
  gl->addWidget(SpeedButton6, 0, 2);
  gl->addWidget(ListBox2, 1, 0, 3, 2);
  gl->addWidget(SpeedButton20, 1, 2);
  gl->addWidget(SpeedButton21, 2, 2);
  gl->setRowStretch(3, 1);

  auto* staffBox = Box("GroupBox12", QStringLiteral("職員一覧"), page);
  auto* sl = new QVBoxLayout(staffBox);
  ListBox1 = List("ListBox1", QStringLiteral("職員一覧"), staffBox);
  SpeedButton9 = Button("SpeedButton9", QStringLiteral("職員追加"), staffBox);
  sl->addWidget(ListBox1);
  sl->addWidget(SpeedButton9);

  auto* membersBox = Box("GroupBox13", QStringLiteral("伝達職員編集"), page);
  auto* ml = new QVBoxLayout(membersBox);
  auto* chooseRow = new QHBoxLayout;
  ComboBox2 = Named(new QComboBox(membersBox), "ComboBox2", QStringLiteral("グループ選択"));
  chooseRow->addWidget(new QLabel(QStringLiteral("グループ選択"), membersBox));
  chooseRow->addWidget(ComboBox2, 1);
  ListBox3 = List("ListBox3", QStringLiteral("伝達職員編集"), membersBox);
  SpeedButton11 = Button("SpeedButton11", QStringLiteral("登録"), membersBox);
  ml->addLayout(chooseRow);
  ml->addWidget(ListBox3);
  ml->addWidget(SpeedButton11);

  l->addWidget(groupsBox, 0, 0);
  l->addWidget(staffBox, 0, 1);
  l->addWidget(membersBox, 0, 2);
  l->setColumnStretch(0, 1);
  l->setColumnStretch(1, 1);
  l->setColumnStretch(2, 1);
  l->addWidget(StatusLine(QStringLiteral("事案一覧・伝達職員の削除は右クリックで削除。") + QStringLiteral("　　   ") +
                              QStringLiteral("人事異動等で伝達職員に変更があった場合は、「事案別伝達職員」を再確認して下さい。"),
                          page),
               1, 0, 1, 3);

  SpeedButton9->setEnabled(false);
  SpeedButton11->setEnabled(false);
  connect(SpeedButton6, &QPushButton::clicked, this, &MainWindow::SpeedButton6Click);
  connect(SpeedButton20, &QPushButton::clicked, this, &MainWindow::SpeedButton20Click);
  connect(SpeedButton21, &QPushButton::clicked, this, &MainWindow::SpeedButton21Click);
  connect(ComboBox2, &QComboBox::activated, this, &MainWindow::ComboBox2Change);
  connect(SpeedButton9, &QPushButton::clicked, this, &MainWindow::SpeedButton9Click);
  connect(SpeedButton11, &QPushButton::clicked, this, &MainWindow::SpeedButton11Click);
  return page;
}

QWidget* MainWindow::BuildTemplatePage() {
  auto* page = Named(new QWidget, "TabSheet8", QStringLiteral("伝達定型文書"));
  auto* l = new QGridLayout(page);
  l->setContentsMargins(4, 4, 4, 2);

  auto* listBox = Box("GroupBox14", QStringLiteral("文書一覧"), page);
  auto* ll = new QGridLayout(listBox);
  Edit5 = Edit("Edit5", QStringLiteral("文書名"), listBox);
  SpeedButton10 = Button("SpeedButton10", QStringLiteral("追加"), listBox);
  ListBox4 = List("ListBox4", QStringLiteral("文書一覧"), listBox);
  SpeedButton22 = Button("SpeedButton22", QStringLiteral("▲"), listBox);
  SpeedButton23 = Button("SpeedButton23", QStringLiteral("▼"), listBox);
  SpeedButton22->setAccessibleName(QStringLiteral("上へ"));
  SpeedButton23->setAccessibleName(QStringLiteral("下へ"));
  ll->addWidget(new QLabel(QStringLiteral("文書名"), listBox), 0, 0);
  ll->addWidget(Edit5, 0, 1);
  ll->addWidget(SpeedButton10, 0, 2);
  ll->addWidget(ListBox4, 1, 0, 3, 2);
  ll->addWidget(SpeedButton22, 1, 2);
  ll->addWidget(SpeedButton23, 2, 2);
  ll->setRowStretch(3, 1);

  auto* bodyBox = Box("GroupBox15", QStringLiteral("定型本文"), page);
  auto* bl = new QVBoxLayout(bodyBox);
  auto* chooseRow = new QHBoxLayout;
  ComboBox3 = Named(new QComboBox(bodyBox), "ComboBox3", QStringLiteral("文書選択"));
  chooseRow->addWidget(new QLabel(QStringLiteral("文書選択"), bodyBox));
  chooseRow->addWidget(ComboBox3, 1);
  Memo3 = Named(new QPlainTextEdit(bodyBox), "Memo3", QStringLiteral("定型本文"));
  SpeedButton13 = Button("SpeedButton13", QStringLiteral("登録／上書"), bodyBox);
  bl->addLayout(chooseRow);
  bl->addWidget(Memo3, 1);
  bl->addWidget(SpeedButton13, 0, Qt::AlignRight);

  l->addWidget(listBox, 0, 0);
  l->addWidget(bodyBox, 0, 1);
  l->setColumnStretch(0, 2);
  l->setColumnStretch(1, 3);
  l->addWidget(StatusLine(QStringLiteral("文書名を登録後、登録した文書を選択して本文を作成してください。") +
                              QStringLiteral("　文書一覧の削除は右クリック。"),
                          page),
               1, 0, 1, 2);

  connect(SpeedButton10, &QPushButton::clicked, this, &MainWindow::SpeedButton10Click);
  connect(SpeedButton22, &QPushButton::clicked, this, &MainWindow::SpeedButton22Click);
  connect(SpeedButton23, &QPushButton::clicked, this, &MainWindow::SpeedButton23Click);
  connect(ComboBox3, &QComboBox::activated, this, &MainWindow::ComboBox3Change);
  connect(SpeedButton13, &QPushButton::clicked, this, &MainWindow::SpeedButton13Click);
  return page;
}

QWidget* MainWindow::BuildSystemPage() {
  auto* page = Named(new QWidget, "TabSheet9", QStringLiteral("システム設定"));
  auto* l = new QGridLayout(page);
  l->setContentsMargins(4, 4, 4, 2);

  auto* serverBox = Box("GroupBox16", QStringLiteral("サーバ設定"), page);
  auto* svl = new QGridLayout(serverBox);
  Edit3 = Edit("Edit3", QStringLiteral("送信(SMTP)サーバ"), serverBox);
  Edit4 = Edit("Edit4", QStringLiteral("ポート"), serverBox);
  Edit6 = Edit("Edit6", QStringLiteral("受信(POP)サーバ"), serverBox);
  Edit7 = Edit("Edit7", QStringLiteral("ポート"), serverBox);
  Edit4->setFixedWidth(60);
  Edit7->setFixedWidth(60);
  svl->addWidget(new QLabel(QStringLiteral("送信(SMTP)サーバ"), serverBox), 0, 0);
  svl->addWidget(Edit3, 0, 1);
  svl->addWidget(new QLabel(QStringLiteral("ポート"), serverBox), 0, 2);
  svl->addWidget(Edit4, 0, 3);
  svl->addWidget(new QLabel(QStringLiteral("受信(POP)サーバ"), serverBox), 1, 0);
  svl->addWidget(Edit6, 1, 1);
  svl->addWidget(new QLabel(QStringLiteral("ポート"), serverBox), 1, 2);
  svl->addWidget(Edit7, 1, 3);

  auto* userBox = Box("GroupBox17", QStringLiteral("ユーザ設定"), page);
  auto* ul = new QGridLayout(userBox);
  Edit8 = Edit("Edit8", QStringLiteral("ユーザ"), userBox);
  MaskEdit1 = Edit("MaskEdit1", QStringLiteral("パスワード"), userBox);
  MaskEdit1->setEchoMode(QLineEdit::Password);
  ul->addWidget(new QLabel(QStringLiteral("ユーザ"), userBox), 0, 0);
  ul->addWidget(Edit8, 0, 1);
  ul->addWidget(new QLabel(QStringLiteral("パスワード"), userBox), 1, 0);
  ul->addWidget(MaskEdit1, 1, 1);

  auto* headerBox = Box("GroupBox18", QStringLiteral("メールヘッダ情報"), page);
  auto* hl = new QGridLayout(headerBox);
  Edit10 = Edit("Edit10", QStringLiteral("送信者"), headerBox);
  Edit11 = Edit("Edit11", QStringLiteral("E-メール"), headerBox);
  hl->addWidget(new QLabel(QStringLiteral("送信者"), headerBox), 0, 0);
  hl->addWidget(Edit10, 0, 1);
  hl->addWidget(new QLabel(QStringLiteral("E-メール"), headerBox), 1, 0);
  hl->addWidget(Edit11, 1, 1);

  auto* signBox = Box("GroupBox19", QStringLiteral("署名"), page);
  auto* sgl = new QVBoxLayout(signBox);
  Memo2 = Named(new QPlainTextEdit(signBox), "Memo2", QStringLiteral("署名"));
  sgl->addWidget(Memo2);

  auto* labelBox = Box("GroupBox20", QStringLiteral("プログラム表記"), page);
  auto* lbl = new QHBoxLayout(labelBox);
  Edit12 = Edit("Edit12", QStringLiteral("プログラム表記"), labelBox);
  SpeedButton19 = Button("SpeedButton19", QStringLiteral("反映"), labelBox);
  lbl->addWidget(Edit12, 1);
  lbl->addWidget(SpeedButton19);

  RadioGroup1 = Box("RadioGroup1", QStringLiteral("起動画面"), page);
  auto* rgl = new QHBoxLayout(RadioGroup1);
  RadioShow = Named(new QRadioButton(QStringLiteral("表示"), RadioGroup1), "RadioButton1", QStringLiteral("表示"));
  RadioHide = Named(new QRadioButton(QStringLiteral("非表示"), RadioGroup1), "RadioButton2", QStringLiteral("非表示"));
  rgl->addWidget(RadioShow);
  rgl->addWidget(RadioHide);

  auto* splitBox = Box("GroupBox21", QStringLiteral("分割送信"), page);
  auto* spl = new QGridLayout(splitBox);
  CheckBox7 = Check("CheckBox7", QStringLiteral("分割有"), splitBox);
  SpinEdit1 = Named(new QSpinBox(splitBox), "SpinEdit1", QStringLiteral("人単位"));
  SpinEdit1->setRange(kSplitSizeMin, kSplitSizeMax);
  SpinEdit1->setValue(30);
  Label3 = Named(new QLabel(QStringLiteral("人単位"), splitBox), "Label3", QStringLiteral("人単位"));
  CheckBox8 = Check("CheckBox8", QStringLiteral("分割送信時、確認画面を表示する"), splitBox);
  spl->addWidget(CheckBox7, 0, 0);
  spl->addWidget(SpinEdit1, 0, 1);
  spl->addWidget(Label3, 0, 2);
  spl->addWidget(CheckBox8, 1, 0, 1, 3);

  auto* idBox = Box("GroupBox22", QStringLiteral("メール識別"), page);
  auto* idl = new QHBoxLayout(idBox);
  Edit14 = Edit("Edit14", QStringLiteral("メール識別文字変更"), idBox);
  SpeedButton24 = Button("SpeedButton24", QStringLiteral("反映"), idBox);
  idl->addWidget(new QLabel(QStringLiteral("メール識別文字変更"), idBox));
  idl->addWidget(Edit14, 1);
  idl->addWidget(SpeedButton24);

  auto* infoBox = Box("GroupBox23", QStringLiteral("情報"), page);
  auto* il = new QHBoxLayout(infoBox);
  auto* icon = new QLabel(infoBox);
  icon->setPixmap(windowIcon().pixmap(32, 32));
  auto* infoText = new QLabel(QStringLiteral("Zentavo\nOrvane\nゼンタボ  Ver3.22"), infoBox);
  infoText->setAccessibleName(QStringLiteral("Zentavo Orvane ゼンタボ Ver3.22"));
  il->addWidget(icon);
  il->addWidget(infoText, 1);

  l->addWidget(serverBox, 0, 0);
  l->addWidget(userBox, 1, 0);
  l->addWidget(headerBox, 2, 0);
  l->addWidget(signBox, 3, 0, 2, 1);
  l->addWidget(labelBox, 0, 1);
  l->addWidget(RadioGroup1, 1, 1);
  l->addWidget(splitBox, 2, 1);
  l->addWidget(idBox, 3, 1);
  l->addWidget(infoBox, 4, 1);
  l->setColumnStretch(0, 3);
  l->setColumnStretch(1, 2);
  l->setRowStretch(4, 1);
  l->addWidget(StatusLine(QStringLiteral("SMTP及びPOPサーバのアドレス及びパスワードは管理者に確認してください。"), page),
               5, 0, 1, 2);

  connect(SpeedButton19, &QPushButton::clicked, this, &MainWindow::SpeedButton19Click);
  connect(SpeedButton24, &QPushButton::clicked, this, &MainWindow::SpeedButton24Click);
  return page;
}

void MainWindow::BuildMenus() {
  auto menu = [this](const char* name, const QString& title, QWidget* owner) {
    auto* m = new QMenu(owner);
    m->setObjectName(QString::fromLatin1(name));
    QAction* head = m->addAction(title);
    head->setObjectName(QStringLiteral("Title"));
    m->addSeparator();
    connect(owner, &QWidget::customContextMenuRequested, m, [m, owner](const QPoint& at) {
      QPoint global = owner->mapToGlobal(at);
      if (auto* view = qobject_cast<QAbstractScrollArea*>(owner)) global = view->viewport()->mapToGlobal(at);
      m->popup(global);
    });
    return m;
  };
  PopupMenu1 = menu("PopupMenu1", QStringLiteral("<<職員リスト>>"), StringGrid1);
  Insert1 = PopupMenu1->addAction(QStringLiteral("行挿入"));
  Insert1->setObjectName(QStringLiteral("Insert1"));
  Delete1 = PopupMenu1->addAction(QStringLiteral("行削除"));
  Delete1->setObjectName(QStringLiteral("Delete1"));
  connect(PopupMenu1, &QMenu::aboutToShow, this, &MainWindow::PopupMenu1Popup);
  connect(Insert1, &QAction::triggered, this, &MainWindow::Insert1Click);
  connect(Delete1, &QAction::triggered, this, &MainWindow::Delete1Click);

  StrSortGrid2->setContextMenuPolicy(Qt::CustomContextMenu);
  PopupMenu2 = menu("PopupMenu2", QStringLiteral("<<受信メール処理>>"), StrSortGrid2);
  for (const char* item : {"アドレス追加", "メール削除", "履歴に記録する"}) {
    PopupMenu2->addAction(QString::fromUtf8(item))->setEnabled(false);
  }
  ListBox6->setContextMenuPolicy(Qt::CustomContextMenu);
  PopupMenu3 = menu("PopupMenu3", QStringLiteral("<<伝達履歴>>"), ListBox6);
  PopupMenu3->addAction(QStringLiteral("行削除"))->setEnabled(false);
  PopupMenu3->addAction(QStringLiteral("この履歴に伝達する"))->setEnabled(false);

  PopupMenu4 = menu("PopupMenu4", QStringLiteral("<<伝達職員>>"), ListBox3);
  connect(PopupMenu4->addAction(QStringLiteral("行削除")), &QAction::triggered, this, &MainWindow::MenuItem2Click);
  PopupMenu5 = menu("PopupMenu5", QStringLiteral("<<伝達事案>>"), ListBox2);
  connect(PopupMenu5->addAction(QStringLiteral("行削除")), &QAction::triggered, this, &MainWindow::MenuItem1Click);
  PopupMenu6 = menu("PopupMenu6", QStringLiteral("<<定型文書>>"), ListBox4);
  connect(PopupMenu6->addAction(QStringLiteral("行削除")), &QAction::triggered, this, &MainWindow::MenuItem3Click);
}

// ---- refresh

void MainWindow::RefreshSettingsPage() {
  const bool was = refreshing_;
  refreshing_ = true;
  const Settings& s = state_.settings;
  Edit3->setText(ToQ(s.smtpHost));
  Edit4->setText(ToQ(s.smtpPort));
  Edit6->setText(ToQ(s.popHost));
  Edit7->setText(ToQ(s.popPort));
  Edit8->setText(ToQ(s.user));
  MaskEdit1->setText(ToQ(s.password));
  Edit10->setText(ToQ(s.senderName));
  Edit11->setText(ToQ(s.senderAddress));
  Edit12->setText(ToQ(s.programLabel));
  Edit14->setText(ToQ(s.identifierSetting));
  Panel5->setText(ToQ(s.banner));
  (s.startupScreen == 1 ? RadioHide : RadioShow)->setChecked(true);
  CheckBox7->setChecked(s.splitSend);
  SpinEdit1->setValue(s.splitSize);
  CheckBox8->setChecked(s.confirmSplit);
  Memo2->setPlainText(LinesToQ(state_.signature));
  CheckBox7Click();
  refreshing_ = was;
}

void MainWindow::RefreshGroups() {
  const QStringList names = ToQ(state_.groups.groups);
  ListBox2->clear();
  ListBox2->addItems(names);
  FillChoices(ComboBox1, names);
  FillChoices(ComboBox2, names);
  if (state_.groups.editGroup.empty()) ComboBox2->setCurrentIndex(-1);
}

void MainWindow::RefreshTemplates() {
  const QStringList names = ToQ(state_.templates.names);
  ListBox4->clear();
  ListBox4->addItems(names);
  FillChoices(ComboBox3, names);
  if (state_.templates.editTemplate.empty()) ComboBox3->setCurrentIndex(-1);
  const bool was = refreshing_;
  refreshing_ = true;
  if (LinesFromQ(Memo3->toPlainText()) != state_.templates.body) Memo3->setPlainText(LinesToQ(state_.templates.body));
  refreshing_ = was;
}

void MainWindow::RefreshMemberEditor() {
  ListBox3->clear();
  ListBox3->addItems(ToQ(state_.groups.members));
  SpeedButton9->setEnabled(state_.groups.memberEditEnabled);
  SpeedButton11->setEnabled(state_.groups.memberEditEnabled);
}

// ---- staff list

bool MainWindow::StaffPageShowing() const {
  return PageControl1->currentWidget() == TabSheet2 && PageControl2->currentWidget() == StaffPage;
}

void MainWindow::StringGrid1DblClick() {
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
  StringGrid1->setTabKeyNavigation(true);
  StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
  if (StringGrid1->currentIndex().isValid()) StringGrid1->edit(StringGrid1->currentIndex());
}

void MainWindow::PopupMenu1Popup() { Insert1->setEnabled(StaffPageShowing()); }

void MainWindow::Insert1Click() {
  if (!StaffPageShowing()) return;
  auto [top, bottom] = SelectedGridRows(StringGrid1);
  InsertGridRows(state_.staff.grid, top, bottom - top + 1);
  staffModel->reload();
}

void MainWindow::Delete1Click() {
  if (!StaffPageShowing()) return;
  auto [top, bottom] = SelectedGridRows(StringGrid1);
  DeleteGridRows(state_.staff.grid, top, bottom);
  staffModel->reload();
}

void MainWindow::SpeedButton4Click() {
  ImportStaffCsv(state_.staff, *op_);
  staffModel->reload();
}

void MainWindow::SpeedButton5Click() { ExportStaffCsv(state_.staff, *op_); }

// ---- groups

void MainWindow::SpeedButton6Click() {
  std::string box = Take(Edit2, QStringLiteral("グループ名"));
  AddGroup(state_.folder, state_.groups, box, *op_);
  Edit2->setText(ToQ(box));
  RefreshGroups();
}

void MainWindow::MenuItem1Click() {
  DeleteGroups(state_.folder, state_.groups, Selected(ListBox2));
  RefreshGroups();
}

void MainWindow::SpeedButton20Click() {
  int moved = MoveGroupUp(state_.groups, Selected(ListBox2));
  RefreshGroups();
  if (moved >= 0) ListBox2->setCurrentRow(moved);
}

void MainWindow::SpeedButton21Click() {
  int moved = MoveGroupDown(state_.groups, Selected(ListBox2));
  RefreshGroups();
  if (moved >= 0) ListBox2->setCurrentRow(moved);
}

void MainWindow::ComboBox2Change() {
  state_.groups.editGroup = FromQ(ComboBox2->currentText());
  LoadMembers(state_.folder, state_.groups, *op_);
  RefreshMemberEditor();
}

void MainWindow::SpeedButton9Click() {
  std::vector<std::string> names;
  for (int i : Selected(ListBox1)) names.push_back(FromQ(ListBox1->item(i)->text()));
  AddMembers(state_.groups, names, *op_);
  RefreshMemberEditor();
}

void MainWindow::MenuItem2Click() {
  RemoveMembers(state_.groups, Selected(ListBox3));
  RefreshMemberEditor();
}

void MainWindow::SpeedButton11Click() {
  RegisterMembers(state_.folder, state_.groups, *op_);
  RefreshMemberEditor();
  if (state_.groups.editGroup.empty()) ComboBox2->setCurrentIndex(-1);
}

// ---- templates

void MainWindow::SpeedButton10Click() {
  std::string box = Take(Edit5, QStringLiteral("文書名"));
  AddTemplate(state_.folder, state_.templates, box, *op_);
  Edit5->setText(ToQ(box));
  RefreshTemplates();
}

void MainWindow::MenuItem3Click() {
  DeleteTemplates(state_.folder, state_.templates, Selected(ListBox4));
  RefreshTemplates();
}

void MainWindow::SpeedButton22Click() {
  int moved = MoveTemplateUp(state_.templates, Selected(ListBox4));
  RefreshTemplates();
  if (moved >= 0) ListBox4->setCurrentRow(moved);
}

void MainWindow::SpeedButton23Click() {
  int moved = MoveTemplateDown(state_.templates, Selected(ListBox4));
  RefreshTemplates();
  if (moved >= 0) ListBox4->setCurrentRow(moved);
}

void MainWindow::ComboBox3Change() {
  state_.templates.editTemplate = FromQ(ComboBox3->currentText());
  LoadTemplateBody(state_.folder, state_.templates, *op_);
  RefreshTemplates();
}

void MainWindow::SpeedButton13Click() {
  SaveTemplateBody(state_.folder, state_.templates, *op_);
  RefreshTemplates();
}

// ---- system settings

void MainWindow::SpeedButton19Click() {
  ApplyProgramLabel(state_.settings);
  Panel5->setText(ToQ(state_.settings.banner));
}

void MainWindow::SpeedButton24Click() {
  ApplyIdentifier(state_.settings);
  Edit13->setText(ToQ(state_.settings.identifier));
}

}  // namespace zentavo::ui
