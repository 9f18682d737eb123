// The main window "Zentavo Orvane ver3.22": three pages ("職員伝達",
// "伝達確認", "各種設定") whose controls show and edit the application
// state. Controls carry the names the program has always used for them
// (Edit3, SpeedButton3, StringGrid4, ...), as object names and as members,
// and each handler carries its event's name, so the wiring can be followed.
// The window holds no logic of its own: handlers call the core operations.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <memory>
#include <set>

#include "app/AppState.h"
#include "send/SendRun.h"
#include "send/SmtpSession.h"
#include "store/Steps.h"
#include "ui/GridModel.h"
#include "ui/QtOperator.h"

namespace zentavo::ui {

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(AppState& state, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Start-up: loads everything (the core sequence), fills the controls, runs
  // the page-change refresh and starts the clock.
  void FormCreate();
  // Shut-down, once: saves everything and removes the temporary files.
  void FormDestroy();
  // Saves everything without ending (the desktop session asks for it).
  void SaveForSessionEnd();

  AppState& state() { return state_; }
  // Tests put a scripted operator in place of the message boxes.
  void setOperator(Operator* op) { op_ = op ? op : &qtOperator_; }
  // Tests put a fake server, an inline runner and a scripted operator in
  // place of the send run's real ones (nullptr: the real one).
  void setSendBackends(std::shared_ptr<SmtpTransport> transport, StepRunner* runner, SendOperator* op);
  Operator& op() { return *op_; }

  // Pushes the state into every control (after core operations changed it).
  void RefreshAll();

  // --- frame
  QLabel* Panel5 = nullptr;        // banner, the program label
  QLabel* Panel17 = nullptr;       // clock
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;    // "職員伝達"
  QWidget* TabSheet3 = nullptr;    // "伝達確認"
  QWidget* TabSheet2 = nullptr;    // "各種設定"
  QTimer* Timer1 = nullptr;        // continuous reception
  QTimer* Timer2 = nullptr;        // clock and reservations
  QSystemTrayIcon* IconTray1 = nullptr;

  // --- send page
  QComboBox* ComboBox1 = nullptr;
  QTableView* StringGrid4 = nullptr;
  QPushButton* SpeedButton2 = nullptr;   // "追加"
  QPushButton* SpeedButton1 = nullptr;   // "除外"
  QLabel* Label4 = nullptr;
  QLineEdit* Edit13 = nullptr;
  QLineEdit* Edit9 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* SpeedButton8 = nullptr;   // "定型"
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* SpeedButton12 = nullptr;  // "署名"
  QCheckBox* CheckBox5 = nullptr;
  QCheckBox* CheckBox12 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QPushButton* SpeedButton3 = nullptr;   // "  メッセージ送信"
  QFrame* Panel50 = nullptr;
  QCheckBox* CheckBox13 = nullptr;
  QPushButton* SpeedButton29 = nullptr;  // "予約設定"
  QPushButton* SpeedButton30 = nullptr;  // "待機"
  QPushButton* SpeedButton7 = nullptr;   // "終了"

  // --- confirm page
  QLabel* Panel11 = nullptr;
  QTabWidget* PageControl3 = nullptr;
  QTableView* StrSortGrid2 = nullptr;
  QPlainTextEdit* Memo4 = nullptr;
  QPushButton* SpeedButton25 = nullptr;
  QPushButton* SpeedButton26 = nullptr;
  QPushButton* SpeedButton28 = nullptr;
  QCheckBox* CheckBox10 = nullptr;
  QComboBox* ComboBox4 = nullptr;
  QPushButton* SpeedButton17 = nullptr;
  QTableView* StrSortGrid1 = nullptr;
  QPushButton* SpeedButton16 = nullptr;
  QPushButton* SpeedButton15 = nullptr;
  QPushButton* SpeedButton14 = nullptr;
  QGroupBox* GroupBox8 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QSpinBox* SpinEdit2 = nullptr;
  QCheckBox* CheckBox9 = nullptr;
  QCheckBox* CheckBox11 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QCheckBox* CheckBox4 = nullptr;
  QCheckBox* CheckBox6 = nullptr;
  QCheckBox* CheckBox14 = nullptr;
  QPushButton* plButton1 = nullptr;
  QPushButton* SpeedButton27 = nullptr;
  QListWidget* ListBox6 = nullptr;
  QTableView* StrSortGrid3 = nullptr;
  QPlainTextEdit* Memo9 = nullptr;
  QPushButton* SpeedButton18 = nullptr;

  // --- settings pages
  QLabel* Panel7 = nullptr;
  QTabWidget* PageControl2 = nullptr;
  QWidget* StaffPage = nullptr;      // "職員リスト"
  QWidget* GroupPage = nullptr;      // "グループ登録"
  QWidget* TemplatePage = nullptr;   // "伝達定型文書"
  QWidget* SystemPage = nullptr;     // "システム設定"
  QTableView* StringGrid1 = nullptr;
  QPushButton* SpeedButton4 = nullptr;   // "CSV読込"
  QPushButton* SpeedButton5 = nullptr;   // "CSV出力"
  QLineEdit* Edit2 = nullptr;
  QPushButton* SpeedButton6 = nullptr;   // "追加" (group)
  QListWidget* ListBox2 = nullptr;
  QPushButton* SpeedButton20 = nullptr;
  QPushButton* SpeedButton21 = nullptr;
  QComboBox* ComboBox2 = nullptr;
  QListWidget* ListBox1 = nullptr;
  QPushButton* SpeedButton9 = nullptr;   // "職員追加"
  QListWidget* ListBox3 = nullptr;
  QPushButton* SpeedButton11 = nullptr;  // "登録"
  QLineEdit* Edit5 = nullptr;
  QPushButton* SpeedButton10 = nullptr;  // "追加" (template)
  QListWidget* ListBox4 = nullptr;
  QPushButton* SpeedButton22 = nullptr;
  QPushButton* SpeedButton23 = nullptr;
  QComboBox* ComboBox3 = nullptr;
  QPlainTextEdit* Memo3 = nullptr;
  QPushButton* SpeedButton13 = nullptr;  // "登録／上書"
  QLineEdit* Edit3 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QLineEdit* Edit6 = nullptr;
  QLineEdit* Edit7 = nullptr;
  QLineEdit* Edit8 = nullptr;
  QLineEdit* MaskEdit1 = nullptr;
  QLineEdit* Edit10 = nullptr;
  QLineEdit* Edit11 = nullptr;
  QPlainTextEdit* Memo2 = nullptr;
  QLineEdit* Edit12 = nullptr;
  QPushButton* SpeedButton19 = nullptr;
  QGroupBox* RadioGroup1 = nullptr;
  QRadioButton* RadioShow = nullptr;
  QRadioButton* RadioHide = nullptr;
  QCheckBox* CheckBox7 = nullptr;
  QSpinBox* SpinEdit1 = nullptr;
  QLabel* Label3 = nullptr;
  QCheckBox* CheckBox8 = nullptr;
  QLineEdit* Edit14 = nullptr;
  QPushButton* SpeedButton24 = nullptr;

  QMenu* PopupMenu1 = nullptr;  // staff grid
  QMenu* PopupMenu2 = nullptr;  // server mail list
  QMenu* PopupMenu3 = nullptr;  // history list
  QMenu* PopupMenu4 = nullptr;  // member editor
  QMenu* PopupMenu5 = nullptr;  // group list
  QMenu* PopupMenu6 = nullptr;  // template list
  QAction* Insert1 = nullptr;   // "行挿入"
  QAction* Delete1 = nullptr;   // "行削除" (staff)

  std::unique_ptr<GridModel> staffModel;
  std::unique_ptr<GridModel> recipientModel;

 public slots:
  void PageControl1Change();
  void ComboBox1Change();
  void SpeedButton2Click();
  void SpeedButton1Click();
  void SpeedButton8Click();
  void SpeedButton12Click();
  void SpeedButton3Click();
  void CheckBox7Click();
  void CheckBox13Click();
  void Timer2Timer();
  void SpeedButton30Click();
  void IconTray1DblClick();
  void SpeedButton7Click();
  void StringGrid1DblClick();
  void PopupMenu1Popup();
  void Insert1Click();
  void Delete1Click();
  void SpeedButton4Click();
  void SpeedButton5Click();
  void SpeedButton6Click();
  void MenuItem1Click();
  void SpeedButton20Click();
  void SpeedButton21Click();
  void ComboBox2Change();
  void SpeedButton9Click();
  void MenuItem2Click();
  void SpeedButton11Click();
  void SpeedButton10Click();
  void MenuItem3Click();
  void SpeedButton22Click();
  void SpeedButton23Click();
  void ComboBox3Change();
  void SpeedButton13Click();
  void SpeedButton19Click();
  void SpeedButton24Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildSendPage();
  QWidget* BuildConfirmPage();
  QWidget* BuildSettingsPages();
  QWidget* BuildStaffPage();
  QWidget* BuildGroupPage();
  QWidget* BuildTemplatePage();
  QWidget* BuildSystemPage();
  void BuildMenus();
  void BindEdits();
  void RefreshGroups();
  void RefreshTemplates();
  void RefreshSettingsPage();
  void RefreshSendPage();
  void RefreshMemberEditor();
  std::set<int> Selected(QListWidget* list) const;
  std::pair<int, int> SelectedGridRows(QTableView* view) const;  // grid rows, top..bottom
  bool StaffPageShowing() const;
  // Keeps a text box's characters to those the files can hold.
  std::string Take(QLineEdit* edit, const QString& where);

  void SendPageLocked(bool locked);

  AppState& state_;
  QtOperator qtOperator_;
  std::shared_ptr<SmtpTransport> smtp_;
  std::unique_ptr<StepRunner> stepRunner_;
  std::unique_ptr<SendOperator> sendOperator_;
  std::unique_ptr<SendOperator> lockingOperator_;
  std::shared_ptr<SmtpTransport> transport_;
  StepRunner* runner_ = nullptr;
  SendOperator* sendOp_ = nullptr;
  Operator* op_;
  bool refreshing_ = false;
  bool destroyed_ = false;
};

}  // namespace zentavo::ui
