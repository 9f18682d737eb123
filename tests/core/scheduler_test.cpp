// The scheduler against a fake clock and a fake server: which moments are
// sent and when, and what every unattended send leaves in its file.
#include <gtest/gtest.h>

#include <list>

#include "history/TransmissionLogs.h"
#include "program/Lifecycle.h"
#include "reserve/RunReservation.h"
#include "send/SendRun.h"
#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "support/SendDoubles.h"

namespace zentavo {
namespace {

LocalDateTime At(int h, int m, int s) { return {2024, 3, 15, h, m, s, 540}; }

class Observer : public ReservationObserver {
 public:
  void ReservationRunStarted() override { events.push_back("started"); }
  void ReservationRunEnded() override { events.push_back("ended"); }
  Lines events;
};

struct Office {
  Office() : folder(dir.path()), settings(test::FakeServerSettings("1200")) { CreateDataDirectories(folder); }

  // A reservation for `time` today, as the editor books it.
  Reservation& Book(const std::string& time, const std::string& mailNo = "1105") {
    Reservation r;
    r.scheduled = true;
    r.date = "2024/03/15";
    r.time = time;
    r.group = S("総務");
    r.recipients = {{S("山田"), "y@example.jp", ""}, {S("鈴木"), "s@example.jp", ""}, {S("佐藤"), "", "03"}};
    r.identifier = "MailNo";
    r.mailNo = mailNo;
    r.subject = S("会議");
    r.body = {S("本日")};
    booked.push_back(r);
    Write(booked.back());
    return booked.back();
  }
  void Write(const Reservation& r) {
    WriteReservationFile(ReservationPath(folder, ReservationFileName(r.date, r.time)), r);
    LoadReservationList(folder, editor, now);
  }
  ReservationContext Context(StepRunner& with) {
    return {
        folder, settings, page, recipients, run, editor, scheduler, observer, transport, with, [this] { return now; }};
  }
  void SwitchOn(const LocalDateTime& t) {
    now = t;
    SetScheduledSending(page, scheduler, true, t);
  }
  void Tick(const LocalDateTime& t, StepRunner& with) {
    now = t;
    ReservationTimerTick(Context(with));
  }
  void Tick(const LocalDateTime& t) { Tick(t, runner); }
  // The result records of a reservation's file (UTF-8).
  Lines Results(const std::string& time) const {
    Lines results;
    for (const auto& line : test::Deciphered(ReservationPath(folder, ReservationFileName("2024/03/15", time))))
      if (line.starts_with("X")) results.push_back(line);
    return results;
  }
  Lines Subjects() const { return transport->Subjects(); }
  Lines LogNames() const { return test::FileNames(dir / "LOG"); }

  test::TempFolder dir;
  DataFolder folder;
  Settings settings;
  SendPage page;
  Grid recipients{3, 30};
  SendRunState run;
  ReservationEditor editor;
  SchedulerState scheduler;
  Observer observer;
  std::shared_ptr<test::FakeTransport> transport = std::make_shared<test::FakeTransport>();
  InlineStepRunner runner;
  LocalDateTime now = At(9, 0, 0);
  std::list<Reservation> booked;
};

TEST(Scheduler, MomentsAreSentOnceAndLateRatherThanLost) {
  Office o;
  o.Book("09:00:05");
  o.Book("09:01:00", "1106");
  o.Book("09:02:00", "1107");
  o.SwitchOn(At(9, 0, 0));
  o.Tick(At(9, 0, 4));
  EXPECT_TRUE(o.transport->batches.empty());

  // The tick came five seconds late: the notice goes out then, and says so.
  o.Tick(At(9, 0, 10));
  o.Tick(At(9, 0, 11));
  EXPECT_EQ(o.Subjects(), (Lines{"MailNo1105_会議"}));
  EXPECT_EQ(o.Results("09:00:05"), (Lines{"X0,送信済,", "X1,2024/03/15 09:00:10　正常に送信しました"}));
  EXPECT_EQ(U(o.editor.list.Cell(kReservationResultColumn, 1)), "送信済");
  // Booked again for the same moment (a file without results): this
  // session has run that moment, and does not run it twice.
  o.Write(o.booked.front());
  o.Tick(At(9, 0, 12));
  EXPECT_EQ(o.Subjects().size(), 1u);

  // The first notice is still on its way when the second one's minute
  // comes: the second follows once the first is done.
  test::HeldRunner slow;
  o.Tick(At(9, 1, 0), slow);
  o.Tick(At(9, 2, 0), slow);
  o.Tick(At(9, 2, 0));
  ASSERT_EQ(slow.pending.size(), 1u);
  slow.ReleaseAll();
  EXPECT_EQ(o.observer.events, (Lines{"started", "ended", "started", "ended"}));
  o.Tick(At(9, 3, 30));
  EXPECT_EQ(o.Subjects(), (Lines{"MailNo1105_会議", "MailNo1106_会議", "MailNo1107_会議"}));
  EXPECT_EQ(o.Results("09:02:00").back(), "X1,2024/03/15 09:03:30　正常に送信しました");

  // A send by hand under way holds a due reservation back, not lost.
  o.Book("09:05:00", "1108");
  o.run.running = true;
  o.Tick(At(9, 5, 0));
  o.run.running = false;
  EXPECT_EQ(o.transport->batches.size(), 3u);
  o.Tick(At(9, 5, 1));
  EXPECT_EQ(o.Subjects().back(), "MailNo1108_会議");
}

TEST(Scheduler, MomentsPassedWithTheSwitchOffStayUnprocessed) {
  Office o;
  o.Book("09:00:05");
  o.Book("09:10:00", "1106");
  o.Tick(At(9, 0, 5));  // switch off
  o.SwitchOn(At(9, 0, 6));
  o.Tick(At(9, 0, 7));
  SetScheduledSending(o.page, o.scheduler, false, At(9, 5, 0));
  o.Tick(At(9, 10, 0));
  o.SwitchOn(At(9, 10, 1));
  o.Tick(At(9, 10, 2));
  EXPECT_TRUE(o.transport->batches.empty());
  LoadReservationList(o.folder, o.editor, At(9, 10, 2));
  EXPECT_EQ(U(o.editor.list.Cell(kReservationDetailColumn, 2)), "予約時間が既に経過しました");
}

// What each outcome of an unattended send leaves: the result pairs, the
// batches sent, the MailNo counter and whether the file is still there.
TEST(Scheduler, EveryOutcomeIsRecordedInTheFile) {
  const std::string sent = "X1,2024/03/15 09:00:05　正常に送信しました";
  // clang-format off
  const struct {
    const char* label;
    std::function<void(Office&, Reservation&)> arrange;
    Lines results;
    size_t batches;
    std::string lastMailNo;
    bool deleteWhenSent = false;
  } outcomes[] = {
      {"no server", [](Office& o, Reservation&) { o.settings.smtpHost.clear(); },
       {"X0,未送信,", "X1,2024/03/15 09:00:05　SMTPサーバが指定されていません"}, 0, "1200"},
      {"no port", [](Office& o, Reservation&) { o.settings.smtpPort.clear(); },
       {"X0,未送信,", "X1,2024/03/15 09:00:05　SMTPサーバのポートが指定されていません"}, 0, "1200"},
      {"no user", [](Office& o, Reservation&) { o.settings.user.clear(); },
       {"X0,未送信,", "X1,2024/03/15 09:00:05　ユーザ情報のユーザ名が指定されていません"}, 0, "1200"},
      {"no password", [](Office& o, Reservation&) { o.settings.password.clear(); },
       {"X0,未送信,", "X1,2024/03/15 09:00:05　ユーザ情報のパスワードが指定されていません"}, 0, "1200"},
      {"no subject", [](Office&, Reservation& r) { r.subject.clear(); },
       {"X0,未送信,", "X1,2024/03/15 09:00:05　伝達件名が指定されていません"}, 0, "1200"},
      {"no body", [](Office&, Reservation& r) { r.body.clear(); },
       {"X0,未送信,", "X1,2024/03/15 09:00:05　伝達内容が指定されていません"}, 0, "1200"},
      {"no first name",
       [](Office&, Reservation& r) {
         r.recipients.erase(r.recipients.begin(), r.recipients.begin() + 2);
         r.recipients[0].name.clear();
       },
       {"X0,未送信,", "X1,2024/03/15 09:00:05　伝達者が指定されていません"}, 0, "1200"},
      {"no identifier", [](Office&, Reservation& r) { r.identifier.clear(); },
       {"X0,未送信,", "X1,2024/03/15 09:00:05　伝達件名の識別が指定されていません"}, 0, "1200"},
      {"no address", [](Office&, Reservation& r) { r.recipients = {{S("佐藤"), "", "03"}}; },
       {"X0,未送信,", "X1,2024/03/15 09:00:05　伝達者が選択されていません"}, 0, "1200"},
      {"refused", [](Office& o, Reservation&) { o.transport->failAt = 1; },
       {"X0,未送信,", "X1,2024/03/15 09:00:05　送信中にエラーが発生しました"}, 0, "1200", true},
      // Split in batches of two over five addresses: the second of three
      // fails. The file says the notice went out in part, and stays even
      // where sent notices' files go.
      {"second batch refused",
       [](Office& o, Reservation& r) {
         SetSplitSend(o.settings, true);
         o.settings.splitSize = 2;
         o.settings.confirmSplit = true;
         r.recipients.push_back({"a", "a@example.jp", ""});
         r.recipients.push_back({"b", "b@example.jp", ""});
         r.recipients.push_back({"c", "c@example.jp", ""});
         o.transport->failAt = 2;
       },
       {"X0,未送信,", "X1,2024/03/15 09:00:05　送信中にエラーが発生しました", "X0,要注意,",
        "X1,2024/03/15 09:00:05　一部のみ送信しました 1/3"},
       1, "1200", true},
      // The booking took the number from the counter: the send takes none.
      {"sent", [](Office&, Reservation&) {}, {"X0,送信済,", sent}, 1, "1200"},
  };
  // clang-format on
  for (const auto& outcome : outcomes) {
    SCOPED_TRACE(outcome.label);
    Office o;
    Reservation& r = o.Book("09:00:05");
    outcome.arrange(o, r);
    o.Write(r);
    o.editor.deleteWhenSent = outcome.deleteWhenSent;
    o.SwitchOn(At(9, 0, 0));
    o.Tick(At(9, 0, 5));
    EXPECT_EQ(o.Results("09:00:05"), outcome.results);
    EXPECT_EQ(o.transport->batches.size(), outcome.batches);
    EXPECT_EQ(o.settings.lastMailNo, outcome.lastMailNo);
    // Logs are named with the reservation's number, and only for a notice
    // that went out.
    EXPECT_EQ(o.LogNames().size(), outcome.batches ? 4u : 0u);
    if (outcome.batches) EXPECT_NE(o.LogNames()[0].find("_MailNo1105_"), std::string::npos);
  }
}

TEST(Scheduler, CleanSendsLeaveTheListWhenAskedAndTheSendPageOnlyWhenFree) {
  Office o;
  o.Book("09:00:05");
  o.Book("09:00:10", "1106");
  o.editor.deleteWhenSent = true;
  o.page.subject = S("書きかけ");
  o.SwitchOn(At(9, 0, 0));
  o.Tick(At(9, 0, 5));
  EXPECT_EQ(test::FileNames(o.dir / "RESERVE"), (Lines{"20240315 090010"}));
  EXPECT_EQ(U(o.editor.list.Cell(kReservationTimeColumn, 1)), "09:00:10");
  EXPECT_EQ(U(o.page.subject), "書きかけ");  // the operator's notice stays

  o.page.subject.clear();
  o.Tick(At(9, 0, 10));
  EXPECT_EQ(std::tuple(U(o.page.subject), o.page.shownMailNo, U(o.recipients.Cell(0, 3))),
            std::tuple("会議", "1106", "佐藤"));
  EXPECT_EQ(U(o.page.body.at(2)), "SEND:2024/03/15 09:00:10");  // the body as sent
  EXPECT_FALSE(HoldsUnsentNotice(o.page, o.recipients, o.run));
}

TEST(Scheduler, NumbersAndFilesThatCannotBeTrusted) {
  Office o;
  // A notice sent after the booking already carries 1105: the reservation
  // goes out with the next free number, and its file says which.
  o.Book("09:00:05");
  fs::last_write_time(ReservationPath(o.folder, "20240315 090005"),
                      fs::file_time_type::clock::now() - std::chrono::hours(1));
  WriteTransmissionLogs(o.folder, "MailNo", "1105", S("別件"), o.recipients, {}, At(8, 0, 0));
  // A file damaged after its first line: nothing is sent, the result goes
  // after what could not be read.
  o.Book("09:00:06", "1106");
  const fs::path damaged = ReservationPath(o.folder, "20240315 090006");
  const std::string whole = test::ReadFile(damaged);
  test::WriteFile(damaged, whole.substr(0, whole.find("\r\n") + 12));
  LoadReservationList(o.folder, o.editor, o.now);
  const std::string stored = test::ReadFile(damaged);

  o.SwitchOn(At(9, 0, 0));
  o.Tick(At(9, 0, 6));
  o.Tick(At(9, 0, 7));
  EXPECT_EQ(o.Subjects(), (Lines{"MailNo1201_会議"}));
  EXPECT_EQ(test::Deciphered(ReservationPath(o.folder, "20240315 090005"))[5], "C0,MailNo,1201,会議");
  EXPECT_EQ(o.settings.lastMailNo, "1201");
  EXPECT_EQ(test::ReadFile(damaged).substr(0, stored.size() + 2), stored + "\r\n");
  LoadReservationList(o.folder, o.editor, o.now);
  EXPECT_EQ(U(o.editor.list.Cell(kReservationSubjectColumn, 1)), "MailNo1201_会議");
  EXPECT_EQ(U(o.editor.list.Cell(kReservationDetailColumn, 2)),
            "2024/03/15 09:00:07　予約ファイル読み込みでエラーが発生しました");
}

}  // namespace
}  // namespace zentavo
