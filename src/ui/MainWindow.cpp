#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "app/Lifecycle.h"
#include "store/Staff.h"
#include "text/SjisUnicode.h"
#include "ui/QtSendOperator.h"
#include "ui/QtStepRunner.h"
#include "ui/QtText.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

namespace {

// Locks the send page for the run's duration, whichever operator serves the
// run (the windows, or a test's script).
class LockingSendOperator : public SendOperator {
 public:
  LockingSendOperator(SendOperator& inner, std::function<void(bool)> lock)
      : inner_(inner), lock_(std::move(lock)) {}
  MsgAnswer Message(std::string_view c, std::string_view t, MsgIcon i, MsgButtons b,
                    std::string_view d) override {
    return inner_.Message(c, t, i, b, d);
  }
  void Progress(std::string_view text) override { inner_.Progress(text); }
  std::optional<std::filesystem::path> ChooseOpenFile(const FileChoice& c) override {
    return inner_.ChooseOpenFile(c);
  }
  std::optional<std::filesystem::path> ChooseSaveFile(const FileChoice& c) override {
    return inner_.ChooseSaveFile(c);
  }
  void SendRunStarted() override {
    lock_(true);
    inner_.SendRunStarted();
  }
  void SendRunEnded() override {
    inner_.SendRunEnded();
    lock_(false);
  }
  void ShowProgressWindow() override { inner_.ShowProgressWindow(); }
  void CloseProgressWindow() override { inner_.CloseProgressWindow(); }
  bool ConfirmSplit(const SplitVerdict& v) override { return inner_.ConfirmSplit(v); }
  void ShowUnregistered(const std::vector<UnregisteredRow>& rows) override { inner_.ShowUnregistered(rows); }

 private:
  SendOperator& inner_;
  std::function<void(bool)> lock_;
};

// The program's icon, drawn rather than shipped as a file.
QIcon ProgramIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(0xA6, 0xCA, 0xF0));
  p.setPen(QPen(QColor(0, 0, 0x80), 2));
  p.drawRoundedRect(2, 2, 28, 28, 6, 6);
  p.setPen(QColor(0, 0, 0x80));
  QFont f = p.font();
  f.setBold(true);
  f.setPixelSize(20);
  p.setFont(f);
  p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("Z"));
  return QIcon(pixmap);
}

}  // namespace

MainWindow::MainWindow(AppState& state, QWidget* parent)
    : QMainWindow(parent), state_(state), qtOperator_(this), op_(&qtOperator_) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Zentavo Orvane ver3.22"));
  setWindowIcon(ProgramIcon());
  setFixedSize(899, 695);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

  staffModel = std::make_unique<GridModel>(state_.staff.grid);
  recipientModel = std::make_unique<GridModel>(state_.recipients);
  staffModel->setEditable(true);
  staffModel->onDropped = [this](const QString& d) { ReportDropped(this, QStringLiteral("職員リスト"), d); };

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("Panel1"));
  central->setAutoFillBackground(true);
  QPalette pal = central->palette();
  pal.setColor(QPalette::Window, QColor(0x00, 0xFF, 0x00));  // lime
  central->setPalette(pal);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(3);

  auto* top = new QHBoxLayout;
  Panel5 = Named(new QLabel(central), "Panel5", QStringLiteral("プログラム表記"));
  Panel5->setFixedHeight(35);
  Panel5->setAlignment(Qt::AlignCenter);
  Panel5->setStyleSheet(QStringLiteral(
      "QLabel { background: rgb(166,202,240); font-family: 'Noto Serif CJK JP', serif;"
      " font-size: 21px; font-weight: bold; }"));
  Panel17 = Named(new QLabel(central), "Panel17", QStringLiteral("時計"));
  Panel17->setFixedSize(149, 23);
  Panel17->setAlignment(Qt::AlignCenter);
  Panel17->setFrameShape(QFrame::Panel);
  Panel17->setFrameShadow(QFrame::Sunken);
  Panel17->setStyleSheet(QStringLiteral("QLabel { background: white; }"));
  top->addWidget(Panel5, 1);
  top->addWidget(Panel17, 0, Qt::AlignTop);
  layout->addLayout(top);

  PageControl1 = Named(new QTabWidget(central), "PageControl1", QStringLiteral("ページ"));
  PageControl1->setStyleSheet(QStringLiteral(
      "QTabWidget#PageControl1 > QTabBar::tab { color: red; font-weight: bold; font-size: 16px;"
      " padding: 4px 18px; border: 2px outset #c0c0c0; background: #d4d0c8; margin-right: 2px; }"
      "QTabWidget#PageControl1 > QTabBar::tab:selected { border-style: inset; background: #ece9d8; }"));
  TabSheet1 = BuildSendPage();
  TabSheet3 = BuildConfirmPage();
  TabSheet2 = BuildSettingsPages();
  PageControl1->addTab(TabSheet1, QStringLiteral("職員伝達"));
  PageControl1->addTab(TabSheet3, QStringLiteral("伝達確認"));
  PageControl1->addTab(TabSheet2, QStringLiteral("各種設定"));
  layout->addWidget(PageControl1, 1);
  setCentralWidget(central);

  BuildMenus();
  BindEdits();

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer2 = new QTimer(this);
  Timer2->setObjectName(QStringLiteral("Timer2"));
  Timer2->setInterval(1000);
  connect(Timer2, &QTimer::timeout, this, &MainWindow::Timer2Timer);

  IconTray1 = new QSystemTrayIcon(ProgramIcon(), this);
  IconTray1->setObjectName(QStringLiteral("IconTray1"));
  IconTray1->setToolTip(QStringLiteral("Zentavo"));
  connect(IconTray1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) IconTray1DblClick();
  });

  connect(PageControl1, &QTabWidget::currentChanged, this, &MainWindow::PageControl1Change);

  smtp_ = std::make_shared<PocoSmtpTransport>();
  stepRunner_ = std::make_unique<QtStepRunner>(this);
  sendOperator_ = std::make_unique<QtSendOperator>(this);
  setSendBackends(nullptr, nullptr, nullptr);
  connect(PageControl2, &QTabWidget::currentChanged, this, &MainWindow::PageControl1Change);
}

MainWindow::~MainWindow() = default;

void MainWindow::FormCreate() {
  StartUp(state_, *op_);
  RefreshAll();
  PageControl1Change();
  plButton1->setText(QStringLiteral("      受信確認"));
  Timer2Timer();
  Timer2->start();
}

void MainWindow::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Timer2->stop();
  Timer1->stop();
  ShutDown(state_, *op_);
}

void MainWindow::SaveForSessionEnd() {
  SilentOperator silent;
  SaveAll(state_, silent);
}

void MainWindow::setSendBackends(std::shared_ptr<SmtpTransport> transport, StepRunner* runner, SendOperator* op) {
  transport_ = transport ? std::move(transport) : smtp_;
  runner_ = runner ? runner : stepRunner_.get();
  lockingOperator_ = std::make_unique<LockingSendOperator>(*(op ? op : sendOperator_.get()),
                                                          [this](bool locked) { SendPageLocked(locked); });
  sendOp_ = lockingOperator_.get();
}

void MainWindow::SpeedButton3Click() {
  if (state_.run.running) return;  // the send run refuses too; this spares the call
  SendNotice(SendContext{state_.folder, state_.settings, state_.recipients, state_.send, state_.run,
                         *sendOp_, transport_, *runner_});
  RefreshSendPage();
}

void MainWindow::SendPageLocked(bool locked) {
  // One run at a time: the send page stays locked until the run has ended.
  TabSheet1->setEnabled(!locked);
  if (!locked) RefreshSendPage();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (state_.run.running) {
    // The run still needs the window and its state; a notice half sent
    // must not be cut off by closing.
    event->ignore();
    Warn(*op_, Sj("送信中のため終了できません。送信が終わってから終了してください。"));
    return;
  }
  FormDestroy();
  IconTray1->hide();
  event->accept();
  QApplication::quit();
}

void MainWindow::SpeedButton7Click() { close(); }

void MainWindow::Timer2Timer() {
  Panel17->setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
}

void MainWindow::SpeedButton30Click() {
  // Without a notification area the window could not be brought back:
  // minimise instead of hiding.
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    IconTray1->show();
    hide();
  } else {
    showMinimized();
  }
}

void MainWindow::IconTray1DblClick() {
  showNormal();
  raise();
  activateWindow();
}

void MainWindow::PageControl1Change() {
  // 1. The group page's staff names; 2. the member editor is emptied.
  ListBox1->clear();
  ListBox1->addItems(ToQ(StaffNames(state_.staff.grid)));
  state_.groups.members.clear();
  RefreshMemberEditor();
  // 6. The confirm page's header; 7. continuous reception stops.
  Panel11->setText(QStringLiteral("伝達確認"));
  Timer1->stop();
  GroupBox8->setEnabled(true);
}

void MainWindow::RefreshAll() {
  refreshing_ = true;
  staffModel->reload();
  recipientModel->reload();
  RefreshSettingsPage();
  RefreshGroups();
  RefreshTemplates();
  RefreshSendPage();
  RefreshMemberEditor();
  refreshing_ = false;
}

std::set<int> MainWindow::Selected(QListWidget* list) const {
  std::set<int> rows;
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->isSelected()) rows.insert(i);
  }
  return rows;
}

std::pair<int, int> MainWindow::SelectedGridRows(QTableView* view) const {
  int top = -1, bottom = -1;
  const auto indexes = view->selectionModel()->selectedIndexes();
  for (const auto& index : indexes) {
    if (top < 0 || index.row() < top) top = index.row();
    if (index.row() > bottom) bottom = index.row();
  }
  if (top < 0) {
    // Like the old grids, there is always a current row.
    int current = view->currentIndex().isValid() ? view->currentIndex().row() : 0;
    top = bottom = current;
  }
  return {top + 1, bottom + 1};  // view rows are the grid's data rows
}

std::string MainWindow::Take(QLineEdit* edit, const QString& where) {
  QString dropped;
  std::string value = FromQ(edit->text(), &dropped);
  if (!dropped.isEmpty()) {
    const QSignalBlocker block(edit);
    edit->setText(ToQ(value));
    ReportDropped(this, where, dropped);
  }
  return value;
}

void MainWindow::BindEdits() {
  struct Binding {
    QLineEdit* edit;
    std::string* field;
    QString where;
  };
  Settings& s = state_.settings;
  const Binding bindings[] = {
      {Edit3, &s.smtpHost, QStringLiteral("送信(SMTP)サーバ")},
      {Edit4, &s.smtpPort, QStringLiteral("ポート")},
      {Edit6, &s.popHost, QStringLiteral("受信(POP)サーバ")},
      {Edit7, &s.popPort, QStringLiteral("ポート")},
      {Edit8, &s.user, QStringLiteral("ユーザ")},
      {MaskEdit1, &s.password, QStringLiteral("パスワード")},
      {Edit10, &s.senderName, QStringLiteral("送信者")},
      {Edit11, &s.senderAddress, QStringLiteral("E-メール")},
      {Edit12, &s.programLabel, QStringLiteral("プログラム表記")},
      {Edit14, &s.identifierSetting, QStringLiteral("メール識別文字変更")},
      {Edit1, &state_.send.subject, QStringLiteral("件名")},
  };
  for (const auto& b : bindings) {
    connect(b.edit, &QLineEdit::textChanged, this, [this, b] {
      if (!refreshing_) *b.field = Take(b.edit, b.where);
    });
  }
  struct MemoBinding {
    QPlainTextEdit* memo;
    std::vector<std::string>* lines;
    QString where;
  };
  const MemoBinding memos[] = {
      {Memo1, &state_.send.body, QStringLiteral("伝達内容")},
      {Memo2, &state_.signature, QStringLiteral("署名")},
      {Memo3, &state_.templates.body, QStringLiteral("定型本文")},
  };
  for (const auto& m : memos) {
    connect(m.memo, &QPlainTextEdit::textChanged, this, [this, m] {
      if (refreshing_) return;
      QString dropped;
      *m.lines = LinesFromQ(m.memo->toPlainText(), &dropped);
      if (!dropped.isEmpty()) {
        const QSignalBlocker block(m.memo);
        m.memo->setPlainText(LinesToQ(*m.lines));
        m.memo->moveCursor(QTextCursor::End);
        ReportDropped(this, m.where, dropped);
      }
    });
  }
  connect(RadioShow, &QRadioButton::toggled, this, [this](bool on) {
    if (!refreshing_) state_.settings.startupScreen = on ? 0 : 1;
  });
  connect(CheckBox7, &QCheckBox::clicked, this, &MainWindow::CheckBox7Click);
  connect(SpinEdit1, &QSpinBox::valueChanged, this, [this](int v) {
    if (!refreshing_) state_.settings.splitSize = v;
  });
  connect(CheckBox8, &QCheckBox::toggled, this, [this](bool on) {
    if (!refreshing_) state_.settings.confirmSplit = on;
  });
  connect(CheckBox5, &QCheckBox::toggled, this, [this](bool on) { state_.send.copyToSelf = on; });
  connect(CheckBox12, &QCheckBox::toggled, this, [this](bool on) { state_.send.appendGroup = on; });
  connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) { state_.send.appendNames = on; });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the staff grid leaves the editing mode a double-click began.
  if (watched == StringGrid1 && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // While a cell is being edited its editor has the keys, not the grid.
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
      StringGrid1->setTabKeyNavigation(false);
      StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace zentavo::ui
