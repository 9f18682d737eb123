// The reservation editor and the scheduler reached through the windows:
// booking, listing and deleting from "送信予約", the two switches kept
// equal, and a booked notice sent by the clock's tick, with the main
// window's clock moved by the test. What a booking or a run decides is the
// core tests' business.
#include <QTest>
#include <QtWidgets>

#include "reserve/ReservationFile.h"
#include "support/SendDoubles.h"
#include "support/WindowDriver.h"
#include "ui/Application.h"

using namespace zentavo;
using test::Column0, test::Find, test::Run, test::S, test::WithDialog;

namespace {

// A notice on the send page for one addressed recipient.
void Compose(Run& run) {
  Settings& s = run.state.settings;
  s.smtpHost = s.user = s.password = "x";
  s.senderAddress = "soumu@example.jp";
  run.state.send.subject = S("職員会議");
  run.state.send.body = {S("本日15時から")};
  run.state.recipients.Cell(0, 1) = S("山田");
  run.state.recipients.Cell(1, 1) = "yamada@example.jp";
  run.window->refreshAll();
}

// "予約設定", a moment picked, "予約登録"; `inEditor` acts before "閉じる".
void Book(Run& run, const QDateTime& at, std::function<void(QDialog*)> inEditor = {}) {
  WithDialog([at, inEditor](QDialog* editor) {
    Find<QDateEdit>(editor, "reservationDateEdit")->setDate(at.date());
    Find<QTimeEdit>(editor, "reservationTimeEdit")->setTime(at.time());
    Find<QPushButton>(editor, "registerButton")->click();
    if (inEditor) inEditor(editor);
    Find<QPushButton>(editor, "closeButton")->click();
  });
  run.Get<QPushButton>("reservationButton")->click();
}

// The plain lines of a reservation's file.
std::vector<std::string> Records(Run& run, const char* fileName) {
  return ReadReservationFile(ReservationPath(run.state.folder, fileName)).lines;
}

const QDate kDay(2026, 12, 1);

}  // namespace

class ReservationWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // A booking shows in the list and leaves its file; the editor's switch
  // moves the send page's and back; "削除" from the menu takes it away.
  void bookListSwitchAndDelete() {
    test::TempFolder dir;
    Run run(dir.path());
    LocalDateTime now{2026, 12, 1, 9, 0, 0, 540};
    run.window->setClock([&now] { return now; });
    Compose(run);
    Book(run, QDateTime(kDay.addDays(1), QTime(10, 15)),
         [](QDialog* editor) { Find<QCheckBox>(editor, "editorReserveCheck")->click(); });
    auto* list = run.Get<QTableView>("reservationList");
    QCOMPARE(Column0(list->model()), QStringList{QStringLiteral("2026/12/02")});
    QCOMPARE(list->model()->index(0, 1).data().toString(), QStringLiteral("10:15:00"));
    QCOMPARE(run.op.messages.back().icon, MsgIcon::None);
    QVERIFY(!Records(run, "20261202 101500").empty());
    auto* sendSwitch = run.Get<QCheckBox>("reserveCheck");
    QVERIFY(sendSwitch->isChecked());
    sendSwitch->click();
    QVERIFY(!run.Get<QCheckBox>("editorReserveCheck")->isChecked());

    QString mailNo;
    WithDialog([&mailNo](QDialog* editor) {
      auto* list = Find<QTableView>(editor, "reservationList");
      const QPoint row0 = list->visualRect(list->model()->index(0, 0)).center();
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row0);  // the double click's first press
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row0);
      mailNo = Find<QLineEdit>(editor, "reservationMailNoBox")->text();
      test::Trigger(list, QStringLiteral("削除"));
      Find<QPushButton>(editor, "closeButton")->click();
    });
    run.Get<QPushButton>("reservationButton")->click();
    QCOMPARE(mailNo, QStringLiteral("1000"));  // loaded by the double click, after 予約設定 had emptied it
    QCOMPARE(Column0(list->model()), QStringList{});
    QVERIFY(test::FileNames(dir / "RESERVE").empty());
  }

  // "予約送信を実行する" toggled as assistive technology toggles it, with no
  // click: the scheduler watches from that second, the panel turns sky blue
  // and the editor's switch follows; toggled again, all of it goes back.
  void switchToggledThroughAccessibility() {
    test::TempFolder dir;
    Run run(dir.path());
    run.window->setClock([] { return LocalDateTime{2026, 12, 1, 9, 0, 0, 540}; });
    QAccessibleActionInterface* actions =
        QAccessible::queryAccessibleInterface(run.Get<QCheckBox>("reserveCheck"))->actionInterface();
    for (const bool on : {true, false}) {
      actions->doAction(QAccessibleActionInterface::toggleAction());
      QCOMPARE(run.state.send.reserveOn, on);
      QCOMPARE(run.state.scheduler.watchingSince, std::string(on ? "2026/12/01 09:00:00" : ""));
      QCOMPARE(run.Get<QFrame>("reservationPanel")->palette().color(QPalette::Window),
               on ? QColor(166, 202, 240) : QColor(192, 192, 192));
      QCOMPARE(run.Get<QCheckBox>("editorReserveCheck")->isChecked(), on);
    }
  }

  // With the switch on, the tick of the booked second sends the notice on
  // the send page's runner: only the send button waits meanwhile. A run in
  // flight when the program ends is finished and recorded.
  void theTickSendsABookedNotice() {
    test::TempFolder dir;
    auto server = std::make_shared<test::FakeTransport>();
    test::HeldRunner runner;
    test::RecordingSendOperator sendOp;
    Run run(dir.path());
    run.window->setSendBackends(server, &runner, &sendOp);
    LocalDateTime now{2026, 12, 1, 9, 0, 0, 540};
    run.window->setClock([&now] { return now; });
    Compose(run);
    Book(run, QDateTime(kDay, QTime(9, 0, 30)));
    Book(run, QDateTime(kDay, QTime(9, 1, 30)));
    run.Get<QCheckBox>("reserveCheck")->click();
    auto* sendButton = run.Get<QPushButton>("sendButton");

    now.second = 30;
    QTRY_COMPARE(runner.pending.size(), size_t(1));
    QCOMPARE(run.Get<QLabel>("clock")->text(), QStringLiteral("2026/12/01 09:00:30"));
    QVERIFY(!sendButton->isEnabled());
    QVERIFY(run.Get<QWidget>("subjectEdit")->isEnabled());
    runner.ReleaseAll();
    QVERIFY(sendButton->isEnabled());
    QCOMPARE(server->batches.size(), size_t(1));
    QCOMPARE(ParseReservation(Records(run, "20261201 090030")).resultStatus, S("送信済"));

    now.minute = 1;
    QTRY_COMPARE(runner.pending.size(), size_t(1));
    run.window->shutDown();
    QVERIFY(!run.state.run.running);
    QVERIFY(sendButton->isEnabled());
    QCOMPARE(server->batches.size(), size_t(2));
    QCOMPARE(ParseReservation(Records(run, "20261201 090130")).resultStatus, S("送信済"));
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ui::SetUpJapanese(app);
  ReservationWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "reservation_window_test.moc"
