// The main window, captioned with the program's name and version: the
// banner and the clock above three pages ("職員伝達", "伝達確認", "各種設定"
// with its four inner pages), the tray icon for stand-by, and the program's
// start-up and shut-down. The pages show and edit the application state and
// call the core operations; the window holds no logic of its own.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <memory>

#include "base/LocalTime.h"
#include "program/AppState.h"
#include "receive/RunReception.h"
#include "send/SendRun.h"
#include "ui/QtOperator.h"
#include "ui/Tab.h"

namespace zentavo::ui {

class SendTab;
class ConfirmTab;
class StaffTab;
class GroupTab;
class TemplateTab;
class SystemTab;
class ReservationEditorWindow;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(AppState& state, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Loads everything, fills the pages, runs the page-change refresh and
  // starts the clock.
  void startUp();
  // Once: a send under way sends no further batch and its session in
  // progress is waited for; then everything is saved and the temporary
  // files removed.
  void shutDown();
  // Saves everything without ending (the desktop session asks for it).
  void saveForSessionEnd();

  AppState& state() { return context_.state; }
  // Tests put a scripted operator in place of the message boxes, and a fake
  // server, a runner and a scripted operator in place of the send run's.
  void setOperator(Operator* op) { context_.op = op ? op : &qtOperator_; }
  void setSendBackends(std::shared_ptr<SmtpTransport> transport, StepRunner* runner, SendOperator* op);
  // The same for reception and the start-up check; before startUp.
  void setReceptionBackends(std::shared_ptr<Pop3Transport> transport, StepRunner* runner, ReceptionOperator* op);
  // Shows the state in every page (after core operations changed it).
  void refreshAll();
  // Tests move time: the clock shown, the scheduler's and the reservation
  // editor's.
  void setClock(Clock clock) { clock_ = std::move(clock); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private slots:
  void onPageChanged();
  void onClockTick();
  void onStandby();
  void onReservationEditorRequested();
  void onTrayActivated(QSystemTrayIcon::ActivationReason reason);

 private:
  QLayout* buildTopRow(QWidget* central);
  QWidget* buildPages(QWidget* central);
  QWidget* buildSettingsPage();
  void connectPages();

  QtOperator qtOperator_;
  WindowContext context_;
  Clock clock_ = NowLocal;
  QLabel* banner_;
  QLabel* clockLabel_;
  QTabWidget* pages_;
  QTabWidget* settingsPages_;
  SendTab* sendTab_;
  ConfirmTab* confirmTab_;
  StaffTab* staffTab_;
  GroupTab* groupTab_;
  TemplateTab* templateTab_;
  SystemTab* systemTab_;
  ReservationEditorWindow* reservationEditor_;
  QTimer clockTimer_;
  QSystemTrayIcon* tray_;
  bool shutDown_ = false;
};

}  // namespace zentavo::ui
