// A booked notice through the whole program and the real stack: booked in
// "送信予約" a few seconds ahead, the switch on, the main window waiting in
// stand-by; at its second the clock's tick sends it over Postfix, the staff
// find it in their mailboxes with the booked MailNo in its subject, and its
// file records the outcome, or is gone when the editor says so.
#include <QTest>
#include <QtWidgets>

#include "e2e/MailStack.h"
#include "reserve/ReservationFile.h"
#include "support/MailReader.h"
#include "support/WindowDriver.h"
#include "ui/Application.h"

using namespace zentavo;
using test::Find, test::Run, test::S, test::U;

class ReservationE2ETest : public QObject {
  Q_OBJECT

 private slots:
  void bookedNoticeReachesTheStaffInStandby_data() {
    QTest::addColumn<bool>("deleteWhenSent");
    QTest::newRow("kept with its result") << false;
    QTest::newRow("deleted once sent") << true;
  }

  void bookedNoticeReachesTheStaffInStandby() {
    QFETCH(bool, deleteWhenSent);
    const e2e::MailStack stack = e2e::MailStack::FromEnvironment();
    if (!stack.unavailable.empty()) QSKIP(("no mail stack: " + stack.unavailable).c_str());
    const std::string marker = e2e::UniqueMarker("reservation");
    test::TempFolder dir;
    Run run(dir.path());
    Settings& s = run.state.settings;
    s.smtpHost = stack.smtpHost;
    s.smtpPort = stack.smtpPort;
    s.user = s.senderAddress = stack.office();
    s.password = stack.password;
    run.state.send.subject = S("予約伝達 ") + marker;
    run.state.send.body = {S("職員各位"), S("照合番号 ") + marker};
    for (int i = 0; i < 2; ++i) run.state.recipients.rows[i + 1] = {S("職員"), stack.staff(i), ""};
    run.window->refreshAll();

    const QDateTime at = QDateTime::currentDateTime().addSecs(3);
    QString mailNo;
    test::WithDialog([&](QDialog* editor) {
      Find<QDateEdit>(editor, "reservationDateEdit")->setDate(at.date());
      Find<QTimeEdit>(editor, "reservationTimeEdit")->setTime(at.time());
      Find<QPushButton>(editor, "registerButton")->click();
      mailNo = Find<QLineEdit>(editor, "reservationMailNoBox")->text();
      if (deleteWhenSent) Find<QCheckBox>(editor, "deleteWhenSentCheck")->click();
      Find<QPushButton>(editor, "closeButton")->click();
    });
    run.Get<QPushButton>("reservationButton")->click();
    QVERIFY(!mailNo.isEmpty());
    run.Get<QCheckBox>("reserveCheck")->click();
    run.Get<QPushButton>("standbyButton")->click();
    QVERIFY(!run.window->isVisible() || run.window->isMinimized());

    const auto file = ReservationPath(run.state.folder, ReservationFileName(at.toString("yyyy/MM/dd").toStdString(),
                                                                            at.toString("HH:mm:ss").toStdString()));
    auto done = [&file] {
      const ReservationFileRead read = ReadReservationFile(file);
      return !read.exists || !ParseReservation(read.lines).resultStatus.empty();
    };
    QTRY_VERIFY_WITH_TIMEOUT(done(), 30000);
    for (int i = 0; i < 2; ++i) {
      const std::vector<std::string> copies = stack.Await(stack.staff(i), marker, 1);
      QCOMPARE(copies.size(), size_t(1));
      QVERIFY(U(test::OpenWithGMime(copies[0]).subject).starts_with("MailNo" + mailNo.toStdString() + "_"));
    }
    if (deleteWhenSent) {
      QVERIFY(!std::filesystem::exists(file));
      return;
    }
    const std::vector<std::string> lines = ReadReservationFile(file).lines;
    QVERIFY(lines.size() > 2);
    QCOMPARE(U(lines[lines.size() - 2]), std::string("X0,送信済,"));
    QVERIFY(U(lines.back()).starts_with("X1,"));
    QVERIFY(U(lines.back()).ends_with("　正常に送信しました"));
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ui::SetUpJapanese(app);
  ReservationE2ETest test;
  return QTest::qExec(&test, argc, argv);
}

#include "reservation_window_e2e_test.moc"
