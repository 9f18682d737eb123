// Window tests on the offscreen platform: the main window over a temporary
// program folder, driven through its controls, with a scripted operator in
// place of the message boxes.
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "store/LineCipher.h"
#include "store/NameList.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"
#include "ui/AddRecipientsWindow.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"
#include "ui/StaffRegisterWindow.h"
#include "ui/TemplateChooserWindow.h"

namespace fs = std::filesystem;
using namespace zentavo;
using namespace zentavo::ui;
using zentavo::test::S;

namespace {

// One program run over a folder: window, state and scripted operator.
struct Run {
  explicit Run(const fs::path& dir) {
    state.folder = DataFolder(dir, "zentavo");
    window = std::make_unique<MainWindow>(state);
    window->setOperator(&op);
    window->FormCreate();
  }
  ~Run() {
    if (window) window->FormDestroy();
  }
  void End() {
    window->FormDestroy();
    window.reset();
  }
  AppState state;
  test::ScriptedOperator op;
  std::unique_ptr<MainWindow> window;
};

QStringList Items(QListWidget* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
  return items;
}

void SetCell(MainWindow& w, int row, int col, const QString& text) {
  w.staffModel->setData(w.staffModel->index(row - 1, col), text, Qt::EditRole);
}

QString Cell(QAbstractItemModel* model, int row, int col) {
  return model->data(model->index(row - 1, col), Qt::DisplayRole).toString();
}

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file()) files[fs::relative(e.path(), dir).string()] = test::ReadFile(e.path());
  }
  return files;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    SetDropReporter([this](QWidget*, const QString& where, const QString& dropped) {
      drops << where + QStringLiteral(":") + dropped;
    });
  }

  void firstStartInAnEmptyFolder() {
    test::TempFolder dir;
    Run run(dir.path());
    for (const char* sub : kDataSubdirectories) QVERIFY(fs::is_directory(dir.path() / sub));
    QCOMPARE(run.op.Texts(), std::vector<std::string>{"職員読込に失敗しました"});
    QCOMPARE(run.window->Edit4->text(), QStringLiteral("25"));
    QCOMPARE(run.window->Edit7->text(), QStringLiteral("110"));
    QCOMPARE(run.window->Panel5->text(), QStringLiteral("ゼンタボ"));
    QCOMPARE(run.window->Edit12->text(), QStringLiteral("ゼンタボ"));
    QCOMPARE(run.window->Edit13->text(), QStringLiteral("MailNo"));
    QCOMPARE(run.window->Edit14->text(), QStringLiteral("MailNo"));
    QCOMPARE(run.window->Label4->text(), QStringLiteral("分割：無"));
    QVERIFY(run.window->RadioShow->isChecked());
    QCOMPARE(run.window->ListBox2->count(), 0);
    QCOMPARE(run.window->ComboBox1->count(), 0);
    QCOMPARE(run.window->windowTitle(), QStringLiteral("Zentavo Orvane ver3.22"));
    QCOMPARE(run.window->PageControl1->tabText(0), QStringLiteral("職員伝達"));
    QCOMPARE(run.window->PageControl1->tabText(1), QStringLiteral("伝達確認"));
    QCOMPARE(run.window->PageControl1->tabText(2), QStringLiteral("各種設定"));
    QCOMPARE(run.window->SpeedButton3->text(), QStringLiteral("  メッセージ送信"));
    QCOMPARE(run.window->plButton1->text(), QStringLiteral("      受信確認"));
    QVERIFY(!run.window->Panel17->text().isEmpty());
    QVERIFY(run.window->findChild<QWidget*>(QStringLiteral("StringGrid4")));
  }

  void editsOnEverySettingsPageSurviveARestart() {
    test::TempFolder dir;
    {
      Run run(dir.path());
      MainWindow& w = *run.window;
      QTest::keyClicks(w.Edit3, QStringLiteral("smtp.example.jp"));
      w.Edit4->setText(QStringLiteral("587"));
      w.Edit8->setText(QStringLiteral("総務"));
      w.MaskEdit1->setText(QString());
      w.Edit10->setText(QStringLiteral("総務課　ｿｳﾑ"));
      w.Edit11->setText(QStringLiteral("soumu@example.jp"));
      w.Edit12->setText(QStringLiteral("回覧板"));
      w.Edit14->setText(QStringLiteral("Kairan"));
      w.RadioHide->setChecked(true);
      w.CheckBox7->click();
      w.SpinEdit1->setValue(45);
      w.CheckBox8->setChecked(true);
      w.Memo2->setPlainText(QStringLiteral("総務課\n\n内線 100"));
      SetCell(w, 1, 0, QStringLiteral("山田"));
      SetCell(w, 1, 1, QStringLiteral("yamada@example.jp"));
      SetCell(w, 3, 0, QStringLiteral("佐藤"));
      w.Edit2->setText(QStringLiteral("全職員"));
      w.SpeedButton6->click();
      QCOMPARE(w.Edit2->text(), QString());
      w.Edit5->setText(QStringLiteral("定例会"));
      w.SpeedButton10->click();
      w.ComboBox3->setCurrentIndex(0);
      w.ComboBox3Change();
      w.Memo3->setPlainText(QStringLiteral("第一段\n\n第二段"));
      w.SpeedButton13->click();
      QCOMPARE(w.Label4->text(), QStringLiteral("分割:有"));
      QVERIFY(w.SpinEdit1->isEnabled());
      run.End();
    }
    const auto first = Snapshot(dir.path());
    {
      Run run(dir.path());
      MainWindow& w = *run.window;
      QVERIFY(run.op.messages.empty());
      QCOMPARE(w.Edit3->text(), QStringLiteral("smtp.example.jp"));
      QCOMPARE(w.Edit4->text(), QStringLiteral("587"));
      QCOMPARE(w.Edit8->text(), QStringLiteral("総務"));
      QCOMPARE(w.MaskEdit1->text(), QString());
      QCOMPARE(w.Edit10->text(), QStringLiteral("総務課　ｿｳﾑ"));
      QCOMPARE(w.Panel5->text(), QStringLiteral("回覧板"));
      QCOMPARE(w.Edit13->text(), QStringLiteral("Kairan"));
      QVERIFY(w.RadioHide->isChecked());
      QVERIFY(w.CheckBox7->isChecked());
      QCOMPARE(w.Label4->text(), QStringLiteral("分割:有"));
      QCOMPARE(w.SpinEdit1->value(), 45);
      QVERIFY(w.CheckBox8->isChecked());
      QCOMPARE(w.Memo2->toPlainText(), QStringLiteral("総務課\n\n内線 100"));
      QCOMPARE(Cell(w.staffModel.get(), 1, 1), QStringLiteral("yamada@example.jp"));
      QCOMPARE(Cell(w.staffModel.get(), 2, 0), QStringLiteral("佐藤"));  // the empty row is gone
      QCOMPARE(Items(w.ListBox2), QStringList{QStringLiteral("全職員")});
      QCOMPARE(w.ComboBox1->itemText(0), QStringLiteral("全職員"));
      QCOMPARE(Items(w.ListBox4), QStringList{QStringLiteral("定例会")});
      run.End();
    }
    // A second start and stop without edits writes the same bytes.
    QVERIFY(Snapshot(dir.path()) == first);
  }

  void csvExportThenImportGivesTheSameRecords() {
    test::TempFolder dir;
    Run run(dir.path());
    MainWindow& w = *run.window;
    SetCell(w, 1, 0, QStringLiteral("山田"));
    SetCell(w, 1, 1, QStringLiteral("y@x.jp"));
    SetCell(w, 4, 0, QStringLiteral("鈴木"));
    SetCell(w, 4, 2, QStringLiteral("03-1111"));
    run.op.files.push_back(dir.path() / "export");
    w.SpeedButton5->click();
    QVERIFY(fs::exists(dir.path() / "export.csv"));
    SetCell(w, 1, 0, QStringLiteral("changed"));
    run.op.answers.push_back(MsgAnswer::Yes);
    run.op.files.push_back(dir.path() / "export.csv");
    w.SpeedButton4->click();
    QCOMPARE(Cell(w.staffModel.get(), 1, 0), QStringLiteral("山田"));
    QCOMPARE(Cell(w.staffModel.get(), 2, 0), QStringLiteral("鈴木"));
    QCOMPARE(Cell(w.staffModel.get(), 2, 2), QStringLiteral("03-1111"));
    QCOMPARE(Cell(w.staffModel.get(), 3, 0), QString());
    QCOMPARE(QString::fromStdString(run.op.messages.back().text),
             QStringLiteral("職員情報を読み込むと、これまで設定した\r事案情報と職員情報の関連に不一致が発生します。\r"
                            "必ず「関連設定」を確認してください。\r職員情報を読込ますか？"));
  }

  void groupWithAMissingMemberShowsTheMismatch() {
    test::TempFolder dir;
    Run run(dir.path());
    MainWindow& w = *run.window;
    SetCell(w, 1, 0, QStringLiteral("山田"));
    SetCell(w, 1, 1, QStringLiteral("y@x.jp"));
    SetCell(w, 2, 0, QStringLiteral("佐藤"));
    SetCell(w, 2, 1, QStringLiteral("s@x.jp"));
    w.Edit2->setText(QStringLiteral("G"));
    w.SpeedButton6->click();
    WriteCipherLines(dir.path() / "KANREN" / "G", {S("//伝達者未登録"), S("山田"), S("退職者"), S("佐藤")});
    run.op.messages.clear();
    w.ComboBox1->setCurrentIndex(0);
    w.ComboBox1Change();
    QCOMPARE(Cell(w.recipientModel.get(), 1, 0), QStringLiteral("山田"));
    QCOMPARE(Cell(w.recipientModel.get(), 2, 1), QStringLiteral("s@x.jp"));
    QCOMPARE(w.recipientModel->rowCount(), 31);
    QCOMPARE(run.op.messages.size(), size_t(1));
    const std::string blanks(22, ' ');
    QCOMPARE(run.op.messages[0].text,
             "「職員リスト」が更新されたために、伝達者名と職員リストに\r不整合が発生しました。\r" + blanks +
                 "\rこのまま送信も可能ですが、伝達者名を確認してから\r送信してください。\r" + blanks +
                 "\r修正は、「各種設定」-「事案別伝達職員登録」の事案名別の\r職員情報を更新してください。");
  }

  void pageChangeRefillsTheStaffNames() {
    test::TempFolder dir;
    Run run(dir.path());
    MainWindow& w = *run.window;
    SetCell(w, 1, 0, QStringLiteral("山田"));
    w.PageControl1->setCurrentWidget(w.TabSheet2);
    w.PageControl2->setCurrentWidget(w.StaffPage);
    SetCell(w, 1, 0, QStringLiteral("山本"));
    SetCell(w, 2, 0, QStringLiteral("佐藤"));
    w.PageControl2->setCurrentWidget(w.GroupPage);
    QCOMPARE(Items(w.ListBox1), (QStringList{QStringLiteral("山本"), QStringLiteral("佐藤")}));
  }

  void staffGridMenuInsertsAndDeletes() {
    test::TempFolder dir;
    Run run(dir.path());
    MainWindow& w = *run.window;
    SetCell(w, 1, 0, QStringLiteral("A"));
    SetCell(w, 2, 0, QStringLiteral("B"));
    w.PageControl1->setCurrentWidget(w.TabSheet2);
    w.PageControl2->setCurrentWidget(w.StaffPage);
    w.PopupMenu1Popup();
    QVERIFY(w.Insert1->isEnabled());
    w.StringGrid1->selectRow(1);
    w.Insert1->trigger();
    QCOMPARE(Cell(w.staffModel.get(), 2, 0), QString());
    QCOMPARE(Cell(w.staffModel.get(), 3, 0), QStringLiteral("B"));
    w.StringGrid1->selectRow(0);
    w.Delete1->trigger();
    QCOMPARE(Cell(w.staffModel.get(), 2, 0), QStringLiteral("B"));
    w.PageControl1->setCurrentWidget(w.TabSheet1);
    w.PopupMenu1Popup();
    QVERIFY(!w.Insert1->isEnabled());
  }

  void staffGridEditsAfterDoubleClickUntilEnter() {
    test::TempFolder dir;
    Run run(dir.path());
    MainWindow& w = *run.window;
    QCOMPARE(w.StringGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);
    w.StringGrid1->setCurrentIndex(w.staffModel->index(0, 0));
    w.StringGrid1DblClick();
    QVERIFY(w.StringGrid1->editTriggers() != QAbstractItemView::NoEditTriggers);
    QCOMPARE(w.StringGrid1->selectionBehavior(), QAbstractItemView::SelectItems);
    QTest::keyClick(w.StringGrid1, Qt::Key_Escape);  // leave the open editor
    QTest::keyClick(w.StringGrid1, Qt::Key_Return);
    QCOMPARE(w.StringGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(w.StringGrid1->selectionBehavior(), QAbstractItemView::SelectRows);
  }

  void addRecipientsNeverWritesOverHeaderOrRecipients() {
    test::TempFolder dir;
    Run run(dir.path());
    MainWindow& w = *run.window;
    SetCell(w, 1, 0, QStringLiteral("山田"));
    SetCell(w, 1, 1, QStringLiteral("y@x.jp"));
    SetCell(w, 2, 0, QStringLiteral("佐藤"));
    // A recipient grid with no empty row left.
    Grid& r = run.state.recipients;
    r.SetRowCount(2);
    r.Cell(0, 1) = S("既存");
    run.state.callerMode = "01";
    AddRecipientsWindow dialog(run.state, run.op, &w);
    QCOMPARE(dialog.ListBox1->count(), 2);
    dialog.ListBox1->item(0)->setSelected(true);
    dialog.ListBox1->item(1)->setSelected(true);
    dialog.SpeedButton9->click();
    QCOMPARE(dialog.ListBox2->count(), 2);
    dialog.SpeedButton2->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(r.Cell(0, 0), S("氏名"));
    QCOMPARE(r.Cell(0, 1), S("既存"));
    QCOMPARE(r.Cell(0, 2), S("山田"));
    QCOMPARE(r.Cell(0, 3), S("佐藤"));
    QCOMPARE(run.state.lastNames, (std::vector<std::string>{S("山田"), S("佐藤")}));
  }

  void addRecipientsWithNothingAddedStaysOpen() {
    test::TempFolder dir;
    Run run(dir.path());
    run.op.messages.clear();
    AddRecipientsWindow dialog(run.state, run.op, run.window.get());
    dialog.SpeedButton2->click();
    QCOMPARE(run.op.Texts(), std::vector<std::string>{"職員が追加登録されていません"});
    QVERIFY(dialog.result() != int(QDialog::Accepted));
  }

  void templateChooserAndSignatureFillTheNotice() {
    test::TempFolder dir;
    Run run(dir.path());
    MainWindow& w = *run.window;
    w.Edit5->setText(QStringLiteral("定例"));
    w.SpeedButton10->click();
    w.Memo2->setPlainText(QStringLiteral("--\n総務課"));
    w.Memo1->setPlainText(QStringLiteral("下書き"));
    TemplateChooserWindow chooser(run.state, run.op, &w);
    chooser.ListBox1->setCurrentRow(0);
    chooser.ListBox1->item(0)->setSelected(true);
    chooser.ListBox1DblClick();
    QCOMPARE(chooser.Memo1->toPlainText(), QStringLiteral("定型本文を登録してください"));
    chooser.SpeedButton2->click();
    QCOMPARE(chooser.result(), int(QDialog::Accepted));
    w.RefreshAll();
    QCOMPARE(w.Edit1->text(), QStringLiteral("定例"));
    QCOMPARE(w.Memo1->toPlainText(), QStringLiteral("定型本文を登録してください"));
    w.SpeedButton12->click();
    QCOMPARE(w.Memo1->toPlainText(), QStringLiteral("定型本文を登録してください\n--\n総務課"));
  }

  void staffRegistrationDialog() {
    Grid staff(3, 30);
    staff.SetHeader(StaffHeader());
    staff.Cell(0, 1) = "A";
    test::ScriptedOperator op;
    StaffRegisterWindow dialog(staff, "Taro <taro@x.jp>", op);
    QCOMPARE(dialog.Edit2->text(), QStringLiteral("Taro <taro@x.jp>"));
    dialog.SpeedButton1->click();  // no name
    QCOMPARE(op.Texts(), std::vector<std::string>{"項目が入力されていません"});
    dialog.Edit1->setText(QStringLiteral("太郎"));
    dialog.Edit2->setText(QStringLiteral("taro@x.jp"));
    dialog.SpeedButton1->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(staff.Cell(0, 2), S("太郎"));
    QCOMPARE(staff.Cell(1, 2), "taro@x.jp");
  }

  void charactersOutsideShiftJisAreLeftOutAndReported() {
    test::TempFolder dir;
    Run run(dir.path());
    MainWindow& w = *run.window;
    drops.clear();
    w.Edit1->setText(QStringLiteral("会議😀のお知らせ"));
    QCOMPARE(w.Edit1->text(), QStringLiteral("会議のお知らせ"));
    QCOMPARE(run.state.send.subject, S("会議のお知らせ"));
    QCOMPARE(drops, QStringList{QStringLiteral("件名:😀")});
    w.Memo1->setPlainText(QStringLiteral("本文🎉\n二行目"));
    QCOMPARE(run.state.send.body, (std::vector<std::string>{S("本文"), S("二行目")}));
    QCOMPARE(drops.size(), 2);
    SetCell(w, 1, 0, QStringLiteral("山田🌸"));
    QCOMPARE(run.state.staff.grid.Cell(0, 1), S("山田"));
    QCOMPARE(drops.size(), 3);
  }

  void standByHidesOrMinimises() {
    test::TempFolder dir;
    Run run(dir.path());
    MainWindow& w = *run.window;
    w.show();
    w.SpeedButton30->click();
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
      QVERIFY(!w.isVisible());
      QVERIFY(w.IconTray1->isVisible());
    } else {
      QVERIFY(w.isMinimized() || w.windowState() & Qt::WindowMinimized);
    }
    w.IconTray1DblClick();
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMinimized());
  }

  void reservationSwitchColoursThePanel() {
    test::TempFolder dir;
    Run run(dir.path());
    MainWindow& w = *run.window;
    QCOMPARE(w.Panel50->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    w.CheckBox13->click();
    QCOMPARE(w.Panel50->palette().color(QPalette::Window), QColor(0xA6, 0xCA, 0xF0));
  }

 private:
  QStringList drops;
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  SetUpJapanese(app);
  MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
