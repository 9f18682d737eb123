#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QVBoxLayout>

#include "program/Lifecycle.h"
#include "program/Version.h"
#include "text/SjisUnicode.h"
#include "ui/Colours.h"
#include "ui/ConfirmTab.h"
#include "ui/GroupTab.h"
#include "ui/QtText.h"
#include "ui/ReservationEditorWindow.h"
#include "ui/SendTab.h"
#include "ui/StaffTab.h"
#include "ui/StartupWindow.h"
#include "ui/SystemTab.h"
#include "ui/TemplateTab.h"
#include "ui/Widgets.h"

namespace zentavo::ui {

MainWindow::MainWindow(AppState& state, QWidget* parent)
    : QMainWindow(parent), qtOperator_(this), context_{state, &qtOperator_} {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QStringLiteral("Zentavo Orvane ver%1").arg(QString::fromLatin1(kVersion)));
  setWindowIcon(ProgramIcon());
  setFixedSize(899, 695);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  auto* central = new QWidget(this);
  central->setAutoFillBackground(true);
  QPalette pal = central->palette();
  pal.setColor(QPalette::Window, kLime);
  central->setPalette(pal);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(3);
  layout->addLayout(buildTopRow(central));
  layout->addWidget(buildPages(central), 1);
  setCentralWidget(central);

  // Made hidden now: its list is what the scheduler watches from the
  // first tick on, shown or not.
  reservationEditor_ = new ReservationEditorWindow(context_, clock_, this);

  tray_ = new QSystemTrayIcon(ProgramIcon(), this);
  tray_->setToolTip(QStringLiteral("Zentavo"));
  clockTimer_.setInterval(1000);
  connectPages();
}

// The banner with the program's label, and the clock.
QLayout* MainWindow::buildTopRow(QWidget* central) {
  auto* top = new QHBoxLayout;
  banner_ = Named(new QLabel(central), "banner", QStringLiteral("プログラム表記"));
  banner_->setFixedHeight(35);
  banner_->setAlignment(Qt::AlignCenter);
  banner_->setStyleSheet(QStringLiteral("QLabel { background: %1; font-family: 'Noto Serif CJK JP', serif;"
                                        " font-size: 21px; font-weight: bold; }")
                             .arg(kSkyBlue.name()));
  clockLabel_ = Named(new QLabel(central), "clock", QStringLiteral("時計"));
  clockLabel_->setFixedSize(149, 23);
  clockLabel_->setAlignment(Qt::AlignCenter);
  clockLabel_->setFrameShape(QFrame::Panel);
  clockLabel_->setFrameShadow(QFrame::Sunken);
  clockLabel_->setStyleSheet(QStringLiteral("QLabel { background: %1; }").arg(kWhite.name()));
  top->addWidget(banner_, 1);
  top->addWidget(clockLabel_, 0, Qt::AlignTop);
  return top;
}

// "職員伝達", "伝達確認" and "各種設定".
QWidget* MainWindow::buildPages(QWidget* central) {
  pages_ = Named(new QTabWidget(central), "pages", QStringLiteral("ページ"));
  pages_->setStyleSheet(
      QStringLiteral("QTabWidget#pages > QTabBar::tab { color: %1; font-weight: bold; font-size: 16px;"
                     " padding: 4px 18px; border: 2px outset %2; background: %3; margin-right: 2px; }"
                     "QTabWidget#pages > QTabBar::tab:selected { border-style: inset; background: %4; }")
          .arg(kRed.name(), kSilver.name(), kTabFace.name(), kChosenTabFace.name()));
  sendTab_ = new SendTab(context_, clock_);
  confirmTab_ = new ConfirmTab(context_);
  pages_->addTab(sendTab_, QStringLiteral("職員伝達"));
  pages_->addTab(confirmTab_, QStringLiteral("伝達確認"));
  pages_->addTab(buildSettingsPage(), QStringLiteral("各種設定"));
  return pages_;
}

// The header "各種設定" above the four inner pages.
QWidget* MainWindow::buildSettingsPage() {
  auto* settings = new QWidget;
  auto* outer = new QVBoxLayout(settings);
  outer->setContentsMargins(4, 4, 4, 2);
  outer->addWidget(HeaderPanel("settingsHeader", QStringLiteral("各種設定"), settings));
  settingsPages_ = Named(new QTabWidget(settings), "settingsPages", QStringLiteral("各種設定"));
  staffTab_ = new StaffTab(context_);
  groupTab_ = new GroupTab(context_);
  templateTab_ = new TemplateTab(context_);
  systemTab_ = new SystemTab(context_);
  settingsPages_->addTab(staffTab_, QStringLiteral("職員リスト"));
  settingsPages_->addTab(groupTab_, QStringLiteral("グループ登録"));
  settingsPages_->addTab(templateTab_, QStringLiteral("伝達定型文書"));
  settingsPages_->addTab(systemTab_, QStringLiteral("システム設定"));
  outer->addWidget(settingsPages_, 1);
  return settings;
}

// What one page changes, the others show.
void MainWindow::connectPages() {
  connect(&clockTimer_, &QTimer::timeout, this, &MainWindow::onClockTick);
  connect(tray_, &QSystemTrayIcon::activated, this, &MainWindow::onTrayActivated);
  connect(pages_, &QTabWidget::currentChanged, this, &MainWindow::onPageChanged);
  connect(settingsPages_, &QTabWidget::currentChanged, this, &MainWindow::onPageChanged);
  connect(sendTab_, &SendTab::quitRequested, this, &QWidget::close);
  connect(sendTab_, &SendTab::standbyRequested, this, &MainWindow::onStandby);
  connect(sendTab_, &SendTab::reservationEditorRequested, this, &MainWindow::onReservationEditorRequested);
  connect(sendTab_, &SendTab::scheduledSendingChanged, reservationEditor_, &ReservationEditorWindow::showSwitch);
  connect(reservationEditor_, &ReservationEditorWindow::scheduledSendingChanged, sendTab_, &SendTab::showSwitch);
  connect(sendTab_, &SendTab::reservationRunEnded, reservationEditor_, &ReservationEditorWindow::refresh);
  connect(groupTab_, &GroupTab::groupsChanged, sendTab_, &SendTab::refreshGroups);
  connect(systemTab_, &SystemTab::sendPageChanged, sendTab_, &SendTab::refresh);
  connect(confirmTab_->reception(), &ReceptionTab::staffChanged, staffTab_, &StaffTab::refresh);
  connect(confirmTab_, &ConfirmTab::sendPagePrepared, this, [this] {
    pages_->setCurrentWidget(sendTab_);
    sendTab_->refresh();
  });
  connect(systemTab_, &SystemTab::labelApplied, this,
          [this] { banner_->setText(ToQ(context_.state.settings.banner)); });
}

MainWindow::~MainWindow() = default;

void MainWindow::setSendBackends(std::shared_ptr<SmtpTransport> transport, StepRunner* runner, SendOperator* op) {
  sendTab_->setSendBackends(std::move(transport), runner, op);
}

void MainWindow::setReceptionBackends(std::shared_ptr<Pop3Transport> transport, StepRunner* runner,
                                      ReceptionOperator* op) {
  confirmTab_->reception()->setBackends(std::move(transport), runner, op);
}

void MainWindow::startUp() {
  StartUp(context_.state, *context_.op);
  // A first start has no server to check: the settings page says what to
  // fill in instead of a warning about what is missing.
  const bool firstStart = NoServerConfigured(context_.state.settings);
  if (context_.state.settings.startupScreen == 0 && !firstStart) {  // "表示"
    StartupWindow screen(context_, confirmTab_->reception()->Context([](bool) {}));
    screen.exec();
  }
  refreshAll();
  if (firstStart) {
    pages_->setCurrentIndex(2);
    settingsPages_->setCurrentWidget(systemTab_);
    systemTab_->showFirstStartHint();
  }
  onPageChanged();
  onClockTick();
  clockTimer_.start();
}

void MainWindow::shutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  clockTimer_.stop();
  sendTab_->finishRun();
  confirmTab_->reception()->finishRun();
  systemTab_->finishRun();
  ShutDown(context_.state, *context_.op);
}

void MainWindow::saveForSessionEnd() {
  SilentOperator silent;
  SaveAll(context_.state, silent);
}

void MainWindow::refreshAll() {
  banner_->setText(ToQ(context_.state.settings.banner));
  staffTab_->refresh();
  groupTab_->refresh();
  templateTab_->refresh();
  systemTab_->refresh();
  sendTab_->refresh();
  reservationEditor_->refresh();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (context_.state.run.running) {
    // The run still needs the window and its state; a notice half sent
    // must not be cut off by closing.
    event->ignore();
    Warn(*context_.op, Sj("送信中のため終了できません。送信が終わってから終了してください。"));
    return;
  }
  shutDown();
  tray_->hide();
  event->accept();
  QApplication::quit();
}

// Once a second: the time in both clocks, then the scheduler, also while
// the window waits hidden in stand-by or a modal window is open.
void MainWindow::onClockTick() {
  const QString now = ToQ(FormatDisplayTime(clock_()));
  clockLabel_->setText(now);
  reservationEditor_->showClock(now);
  sendTab_->runScheduler();
}

void MainWindow::onReservationEditorRequested() { reservationEditor_->openFromSendPage(); }

void MainWindow::onStandby() {
  // Without a notification area the window could not be brought back:
  // minimise instead of hiding.
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    tray_->show();
    hide();
  } else {
    showMinimized();
  }
}

void MainWindow::onTrayActivated(QSystemTrayIcon::ActivationReason reason) {
  if (reason != QSystemTrayIcon::DoubleClick && reason != QSystemTrayIcon::Trigger) return;
  showNormal();
  raise();
  activateWindow();
}

void MainWindow::onPageChanged() {
  groupTab_->refreshStaffNames();
  confirmTab_->pageChanged();
}

}  // namespace zentavo::ui
