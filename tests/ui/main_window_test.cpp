// Window tests on the offscreen platform: the main window over a temporary
// data folder, driven through its controls as a person would (mouse and
// keyboard), with a scripted operator in place of the message boxes. They
// check the wiring; what the operations do is the core tests' business.
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QtWidgets>
#include <future>
#include <thread>

#include "history/TransmissionLogs.h"
#include "program/Lifecycle.h"
#include "support/ReceiveDoubles.h"
#include "support/SendDoubles.h"
#include "support/WindowDriver.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"
#include "ui/SendWindows.h"

namespace fs = std::filesystem;
using namespace zentavo;
using namespace zentavo::ui;
using zentavo::test::S;

namespace {

using test::Click, test::Column0, test::Find, test::Run, test::Trigger, test::WithDialog;

void ShowStaffPage(Run& run) {
  run.Get<QTabWidget>("pages")->setCurrentIndex(2);
  run.Get<QTabWidget>("settingsPages")->setCurrentIndex(0);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    SetDropReporter([this](QWidget*, const QString& where, const QString& d) { drops << where + ":" + d; });
  }

  // A first start, before any server is set: no check of a mailbox and no
  // warning, but the settings page with what to fill in.
  void firstStartOpensTheSettingsWithAHint() {
    test::TempFolder dir;
    Run run(dir.path());
    QVERIFY(run.op.Texts().empty());
    QCOMPARE(run.Get<QTabWidget>("settingsPages")->currentWidget()->objectName(), QStringLiteral("systemTab"));
    QVERIFY(run.Get<QLabel>("firstStartHint")->isVisible());
  }

  // Typed values reach the state; characters that cannot be kept are
  // taken out and reported; "反映" and "分割有" reach the send page.
  void typedValuesReachTheStateAndTheSendPage() {
    test::TempFolder dir;
    Run run(dir.path());
    QTest::keyClicks(run.Get<QLineEdit>("smtpHostEdit"), QStringLiteral("smtp.example.jp"));
    run.Get<QPlainTextEdit>("signatureEdit")->setPlainText(QStringLiteral("総務課\n\n内線 100"));
    drops.clear();
    run.Get<QLineEdit>("subjectEdit")->setText(QStringLiteral("会議😀"));
    QCOMPARE(drops, QStringList{QStringLiteral("件名:😀")});
    QCOMPARE(run.state.send.subject, S("会議"));
    QCOMPARE(run.state.settings.smtpHost, std::string("smtp.example.jp"));
    QCOMPARE(run.state.signature, (std::vector<std::string>{S("総務課"), "", S("内線 100")}));
    run.Get<QCheckBox>("splitCheck")->click();
    QCOMPARE(run.Get<QLabel>("splitLabel")->text(), QStringLiteral("分割:有"));
    run.Get<QLineEdit>("identifierEdit")->setText(QStringLiteral("Kairan"));
    run.Get<QPushButton>("applyIdentifierButton")->click();
    QCOMPARE(run.Get<QLineEdit>("identifierBox")->text(), QStringLiteral("Kairan"));
  }

  // Rows picked with the control key, by mouse in the staff grid and by
  // keyboard in the recipient grid: exactly those go, and the staff file
  // written at shut-down holds exactly the others.
  void separateSelectionsDeleteExactlyTheSelectedRows() {
    test::TempFolder dir;
    {
      Run run(dir.path());
      for (int r = 1; r <= 5; ++r) run.state.staff.grid.Cell(0, r) = "s" + std::to_string(r);
      run.window->refreshAll();
      ShowStaffPage(run);
      auto* staffGrid = run.Get<QTableView>("staffGrid");
      Click(staffGrid, 0);
      Click(staffGrid, 2, Qt::ControlModifier);
      Trigger(staffGrid, QStringLiteral("行削除"));
      QCOMPARE(Column0(staffGrid->model()), (QStringList{"s2", "s4", "s5"}));

      for (int r = 1; r <= 4; ++r) run.state.recipients.Cell(0, r) = "r" + std::to_string(r);
      run.window->refreshAll();
      run.Get<QTabWidget>("pages")->setCurrentIndex(0);
      auto* recipientGrid = run.Get<QTableView>("recipientGrid");
      Click(recipientGrid, 1);
      QTest::keyClick(recipientGrid, Qt::Key_Down, Qt::ControlModifier);
      QTest::keyClick(recipientGrid, Qt::Key_Down, Qt::ControlModifier);
      QTest::keyClick(recipientGrid, Qt::Key_Space, Qt::ControlModifier);
      run.Get<QPushButton>("removeRecipientsButton")->click();
      QCOMPARE(Column0(recipientGrid->model()), (QStringList{"r1", "r3"}));
    }
    QCOMPARE(test::Deciphered(dir / "SYOKUIN/name"),
             (std::vector<std::string>{"氏名,メールアドレス,電話番号", "s2,,", "s4,,", "s5,,"}));
  }

  // After a deletion no choice names what is gone; the page change refills
  // the staff names.
  void choicesFollowTheListsAndThePageChange() {
    test::TempFolder dir;
    Run run(dir.path());
    for (const char* name : {"A", "B"}) {
      run.Get<QLineEdit>("groupNameEdit")->setText(QString::fromLatin1(name));
      run.Get<QPushButton>("addGroupButton")->click();
    }
    auto* sendGroup = run.Get<QComboBox>("groupCombo");
    QCOMPARE(sendGroup->count(), 2);
    sendGroup->setCurrentIndex(0);
    auto* memberGroup = run.Get<QComboBox>("memberGroupCombo");
    memberGroup->setCurrentIndex(0);
    auto* groupList = run.Get<QListWidget>("groupList");
    groupList->item(0)->setSelected(true);
    Trigger(groupList, QStringLiteral("行削除"));
    QCOMPARE(sendGroup->currentIndex(), -1);
    QCOMPARE(memberGroup->currentIndex(), -1);
    QVERIFY(run.state.send.group.empty());

    run.state.staff.grid.Cell(0, 1) = S("新人");
    ShowStaffPage(run);
    run.Get<QTabWidget>("settingsPages")->setCurrentIndex(1);
    QCOMPARE(run.Get<QListWidget>("staffNameList")->item(0)->text(), QStringLiteral("新人"));
  }

  // The template chooser and the signature button fill the notice.
  void templateChooserAndSignature() {
    test::TempFolder dir;
    Run run(dir.path());
    CreateDataDirectories(run.state.folder);
    test::WriteEnciphered(dir / "TEIKEI/定例", {"定例会のお知らせ"});
    run.state.templates.names = {S("定例")};
    run.state.signature = {S("総務課")};
    WithDialog([](QDialog* d) {
      Find<QListWidget>(d, "templateNameList")->setCurrentRow(0);
      Find<QPushButton>(d, "setButton")->click();
    });
    run.Get<QPushButton>("templateButton")->click();
    run.Get<QPushButton>("signatureButton")->click();
    QCOMPARE(run.Get<QLineEdit>("subjectEdit")->text(), QStringLiteral("定例"));
    QCOMPARE(run.Get<QPlainTextEdit>("bodyEdit")->toPlainText(), QStringLiteral("定例会のお知らせ\n総務課"));
  }

  // "受信確認" fills the list through the reception run and enables the
  // deletions; the list's menu adds a sender to the staff list; continuous
  // reception waits with the time of its last run until "停止".
  void receptionFillsTheListAndItsMenuActs() {
    test::TempFolder dir;
    auto server = std::make_shared<test::FakePop3Transport>();
    server->messages = {"From: yamada@example.jp\r\nSubject: Re: MailNo1000\r\n\r\nok\r\n",
                        "From: shop@example.com\r\nSubject: sale\r\n\r\nx\r\n"};
    test::RecordingReceptionOperator receptionOp;
    InlineStepRunner inlineRunner;  // outlives the window, whose shut-down drains it
    Run run(dir.path());
    run.window->setReceptionBackends(server, &inlineRunner, &receptionOp);
    run.state.staff.grid.Cell(0, 1) = S("山田");
    run.state.staff.grid.Cell(1, 1) = "yamada@example.jp";
    run.Get<QTabWidget>("pages")->setCurrentIndex(1);
    run.Get<QCheckBox>("otherSubjectCheck")->click();
    auto* receive = run.Get<QPushButton>("receiveButton");
    receive->click();
    auto* list = run.Get<QTableView>("receivedList");
    QCOMPARE(Column0(list->model()), (QStringList{"001", "002"}));
    QVERIFY(run.Get<QPushButton>("deleteAllMailButton")->isEnabled());
    Click(list, 1);
    WithDialog([](QDialog* d) {
      Find<QLineEdit>(d, "nameEdit")->setText(QStringLiteral("店"));
      Find<QPushButton>(d, "registerButton")->click();
    });
    Trigger(list, QStringLiteral("アドレス追加"));
    QCOMPARE(run.state.staff.grid.Cell(1, 2), std::string("shop@example.com"));

    run.Get<QCheckBox>("continuousCheck")->click();
    receive->click();
    QCOMPARE(receive->text(), QStringLiteral("      連続受信中"));
    QVERIFY(run.Get<QLabel>("confirmHeader")->text().startsWith(QStringLiteral("受信待機中(前回受信:")));
    run.Get<QPushButton>("stopButton")->click();
    QCOMPARE(receive->text(), QStringLiteral("      受信確認"));
    QCOMPARE(run.Get<QLabel>("confirmHeader")->text(), QStringLiteral("伝達確認"));
  }

  // A timer's run records the replies it lists, as a press of the button
  // does; "受信確認" pressed while a deletion runs is refused, and the page
  // comes back to rest when the deletion ends.
  void everyRunRecordsAndTheButtonsWaitForTheRunUnderWay() {
    test::TempFolder dir;
    auto server = std::make_shared<test::FakePop3Transport>();
    const auto reply = [](const char* from) {
      return std::string("From: ") + from +
             "\r\nSubject: Re: MailNo1000\r\nDate: Tue, 01 May 2012 09:30:00 +0900\r\n\r\nok\r\n";
    };
    server->messages = {reply("yamada@example.jp")};
    test::RecordingReceptionOperator receptionOp;
    test::HeldRunner held;
    Run run(dir.path());
    const fs::path log = LogFilePath(run.state.folder, "1_", "20120501 090000_MailNo1000_x");
    test::WriteEnciphered(log, {"h", "山田,yamada@example.jp,", "佐藤,sato@example.jp,"});
    run.window->setReceptionBackends(server, &held, &receptionOp);
    for (int r : {1, 2}) {
      run.state.staff.grid.Cell(0, r) = S(r == 1 ? "山田" : "佐藤");
      run.state.staff.grid.Cell(1, r) = r == 1 ? "yamada@example.jp" : "sato@example.jp";
    }
    run.Get<QTabWidget>("pages")->setCurrentIndex(1);
    run.Get<QCheckBox>("continuousCheck")->click();
    auto* receive = run.Get<QPushButton>("receiveButton");
    receive->click();
    held.ReleaseAll();
    server->messages.push_back(reply("sato@example.jp"));
    QMetaObject::invokeMethod(run.Get<QWidget>("receptionTab"), "onContinuousTick");
    held.ReleaseAll();
    QCOMPARE(test::Deciphered(log).at(2), std::string("佐藤,sato@example.jp,,2012/05/01 09:30:00 "));

    run.Get<QPushButton>("stopButton")->click();
    run.Get<QPushButton>("deleteStaffMailButton")->click();
    receive->click();  // refused: the deletion is under way
    QCOMPARE(receive->text(), QStringLiteral("      受信確認"));
    QVERIFY(!run.Get<QPushButton>("stopButton")->isEnabled());
    held.ReleaseAll();
    QCOMPARE(server->messages.size(), size_t(0));
    receive->click();
    QCOMPARE(receive->text(), QStringLiteral("      受信中"));
    held.ReleaseAll();
    QCOMPARE(receive->text(), QStringLiteral("      連続受信中"));
  }

  // The history lists every notice newest first with its reply rate; a
  // double-click shows one; the reminder fills the send page with those who
  // have not replied; "行削除" takes the notice away.
  void historyShowsNoticesAndPreparesTheReminder() {
    test::TempFolder dir;
    CreateDataDirectories(DataFolder(dir.path()));
    Grid recipients(3, 4);
    recipients.Cell(0, 1) = S("山田"), recipients.Cell(1, 1) = "y@example.jp";
    recipients.Cell(0, 2) = S("佐藤"), recipients.Cell(1, 2) = "s@example.jp";
    WriteTransmissionLogs(DataFolder(dir.path()), "MailNo", "1000", S("会議"), recipients, {S("本文")},
                          {2026, 12, 1, 9, 0, 0, 540});
    WriteTransmissionLogs(DataFolder(dir.path()), "MailNo", "1001", S("連絡"), recipients, {S("本文")},
                          {2026, 12, 2, 9, 0, 0, 540});
    Run run(dir.path());
    run.Get<QTabWidget>("pages")->setCurrentIndex(1);
    auto* history = run.Get<QListWidget>("historyList");
    QCOMPARE(history->count(), 2);
    QCOMPARE(history->item(0)->text(), QStringLiteral("20261202 090000_MailNo1001_連絡  (0/2)"));
    QCOMPARE(run.Get<QComboBox>("historyCombo")->currentText(), QStringLiteral("20261202 090000_MailNo1001_連絡"));
    history->item(1)->setSelected(true);
    emit history->itemDoubleClicked(history->item(1));
    QCOMPARE(Column0(run.Get<QTableView>("historyRecipientList")->model()), (QStringList{"山田", "佐藤"}));
    Trigger(history, QStringLiteral("未返信者に再通知する"));
    QCOMPARE(run.Get<QTabWidget>("pages")->currentIndex(), 0);
    QCOMPARE(run.Get<QLineEdit>("subjectEdit")->text(), QStringLiteral("【再通知】会議"));
    QCOMPARE(run.state.recipients.Cell(0, 2), S("佐藤"));
    history->item(1)->setSelected(true);  // the page change read the history anew
    Trigger(history, QStringLiteral("行削除"));
    QCOMPARE(history->count(), 1);
    QCOMPARE(test::FileNames(dir / "LOG").size(), size_t(3 + 1));  // one notice and the kept counts
  }

  // The send button runs the notice on a worker while the window goes on;
  // the page is locked meanwhile. Ending the program in the middle waits
  // for the session, sends nothing more and leaves everything stored.
  void shutDownDuringASendWaitsForTheSessionInProgress() {
    test::TempFolder dir;
    auto run = std::make_unique<Run>(dir.path());
    struct SlowServer : test::FakeTransport {
      SessionSecurity Send(const SmtpAccount& a, const SmtpEnvelope& e, const std::string& d) override {
        entered.set_value();
        release.wait();
        return FakeTransport::Send(a, e, d);
      }
      std::promise<void> entered;
      std::shared_future<void> release;
    };
    std::promise<void> release;
    auto server = std::make_shared<SlowServer>();
    server->release = release.get_future().share();
    test::RecordingSendOperator sendOp;
    run->window->setSendBackends(server, nullptr, &sendOp);
    Settings& s = run->state.settings;
    s.smtpHost = s.user = s.password = "x";
    s.senderAddress = "soumu@example.jp";
    SetSplitSend(s, true);
    s.splitSize = 2;
    run->state.send.subject = "s";
    run->state.send.body = {"b"};
    for (int r = 1; r <= 4; ++r) {
      run->state.recipients.Cell(0, r) = "n" + std::to_string(r);
      run->state.recipients.Cell(1, r) = "a" + std::to_string(r) + "@example.jp";
    }
    run->window->refreshAll();
    run->Get<QPushButton>("sendButton")->click();
    auto entered = server->entered.get_future();
    QTRY_VERIFY(entered.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    QVERIFY(!run->Get<QWidget>("sendTab")->isEnabled());
    QTest::qWait(50);  // the event loop turns while the server waits

    std::thread later([&release] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      release.set_value();
    });
    run->window->shutDown();
    later.join();
    QVERIFY(!run->state.run.running);
    QCOMPARE(server->batches.size(), size_t(1));
    QCOMPARE(sendOp.script.Texts().size(), size_t(1));  // the question, and no box afterwards
    run.reset();                                        // nothing may call back into the window now
    QTest::qWait(50);
    Settings stored;
    LoadSettings(dir / "zentavo.ini", stored);
    QCOMPARE(stored.lastMailNo, std::string("1000"));
    QCOMPARE(test::FileNames(dir / "LOG").size(), size_t(4));
  }

  void splitWindowDecides() {
    Grid g(3, 40);
    for (int r = 1; r <= 31; ++r) g.Cell(1, r) = "a" + std::to_string(r) + "@x";
    SplitConfirmWindow split(MakeSplitVerdict(g, 30));
    QCOMPARE(Find<QLabel>(&split, "verdictText")->text(), QStringLiteral("2分割で送信します。"));
    QTimer::singleShot(0, Find<QPushButton>(&split, "sendButton"), &QPushButton::click);
    QCOMPARE(split.exec(), int(QDialog::Accepted));
    QTimer::singleShot(0, &split, &QDialog::close);  // closing counts as "キャンセル"
    QCOMPARE(split.exec(), int(QDialog::Rejected));
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
