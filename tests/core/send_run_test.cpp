// The send run against a fake server: checks, questions, batches, and what
// is stored when, also when a run fails or is cut short.
#include <gtest/gtest.h>

#include "history/TransmissionLogs.h"
#include "program/Lifecycle.h"
#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "support/SendDoubles.h"

namespace zentavo {
namespace {

// One desk's worth of state: settings, send page, a fake server.
struct Desk {
  Desk() : folder(dir.path()), settings(test::FakeServerSettings("999")) {
    CreateDataDirectories(folder);
    page.subject = S("会議");
    page.body = {S("本日")};
    recipients.SetHeader({S("氏名"), S("メールアドレス"), S("電話番号")});
  }

  void Addressed(int count) {
    for (int i = 0; i < count; ++i) Row("n" + std::to_string(i), "a" + std::to_string(i) + "@example.jp");
  }
  void Row(const std::string& name, const std::string& address) {
    ++lastRow;
    recipients.Cell(0, lastRow) = S(name);
    recipients.Cell(1, lastRow) = address;
  }
  void Split(int size) {
    SetSplitSend(settings, true);
    settings.splitSize = size;
  }
  void Send(StepRunner& with) {
    SendNotice({folder, settings, recipients, page, run, op, transport, with,
                [this] { return LocalDateTime{2012, 5, 1, 9, 30, ticks++, 540}; }});
  }
  void Send() { Send(runner); }

  std::vector<Lines> Batches() const {
    std::vector<Lines> batches;
    for (const auto& b : transport->batches) batches.push_back(b.envelope.recipients);
    return batches;
  }
  Lines Log(const std::string& prefix) const {
    for (const auto& name : test::FileNames(dir / "LOG"))
      if (name.rfind(prefix, 0) == 0) return test::Deciphered(dir / "LOG" / name);
    return {};
  }
  std::string StoredLastMailNo() const { return DecryptLine(ReadTextLines(folder.SettingsFile()).at(9)); }

  test::TempFolder dir;
  DataFolder folder;
  Settings settings;
  SendPage page;
  SendRunState run;
  Grid recipients{3, 30};
  int lastRow = 0;
  test::RecordingSendOperator op;
  std::shared_ptr<test::FakeTransport> transport = std::make_shared<test::FakeTransport>();
  InlineStepRunner runner;
  int ticks = 0;
};

class SendRunTest : public ::testing::Test, public Desk {};

TEST_F(SendRunTest, EachMissingInputStopsWithItsOwnWarning) {
  const struct {
    std::function<void(Desk&)> spoil;
    std::string warning;
  } cases[] = {
      {[](Desk& t) { t.settings.smtpHost.clear(); }, "SMTPサーバが指定されていません"},
      {[](Desk& t) { t.settings.smtpPort.clear(); }, "SMTPサーバのポートが指定されていません"},
      {[](Desk& t) { t.settings.user.clear(); }, "ユーザ情報のユーザ名が指定されていません"},
      {[](Desk& t) { t.settings.password.clear(); }, "ユーザ情報のパスワードが指定されていません"},
      {[](Desk& t) { t.page.subject.clear(); }, "伝達件名が指定されていません"},
      {[](Desk& t) { t.page.body.clear(); }, "伝達内容が指定されていません"},
      {[](Desk& t) { t.recipients.Cell(0, 1).clear(); }, "伝達者が指定されていません"},
      {[](Desk& t) { t.settings.identifier.clear(); }, "伝達件名の識別が指定されていません"},
  };
  for (const auto& c : cases) {
    Desk t;
    t.Addressed(1);
    c.spoil(t);
    t.Send();
    EXPECT_EQ(t.op.script.Texts(), Lines{c.warning});
    EXPECT_EQ(t.transport->calls, 0);
    EXPECT_FALSE(t.run.running);
  }
}

TEST_F(SendRunTest, DeclinedOrNobodyAddressedSendsAndStoresNothing) {
  Row("名前だけ", "");
  Send();  // "Yes", but no row has an address
  op.script.answers.push_back(MsgAnswer::No);
  Addressed(1);
  Send();
  EXPECT_EQ(op.script.Texts(),
            (Lines{"送信の準備が完了しました\r送信を実行してよろしいですか？", "伝達者が選択されていません",
                   "送信の準備が完了しました\r送信を実行してよろしいですか？"}));
  EXPECT_EQ(transport->calls, 0);
  EXPECT_FALSE(fs::exists(folder.SettingsFile()));
  EXPECT_TRUE(test::FileNames(dir / "LOG").empty());
}

TEST_F(SendRunTest, Batches) {
  Row("A", "a@x.jp");
  Row("-", "");  // no address: does not count toward a batch
  Row("B", "b@x.jp");
  Row("C", "c@x.jp");
  Split(2);
  page.copyToSelf = true;
  Send();
  EXPECT_EQ(Batches(),
            (std::vector<Lines>{{"office@example.jp", "a@x.jp", "b@x.jp"}, {"office@example.jp", "c@x.jp"}}));
  EXPECT_EQ(op.script.progress, (Lines{"処理を開始しました", "MailNo1000を送信します", "1/2を送信しています",
                                       "2/2を送信しています", "MailNo1000は正常に送信しました"}));
  for (const auto& subject : transport->Subjects()) EXPECT_EQ(subject, "MailNo1000_会議");  // one number for all

  // "キャンセル" in the split window ends the run without a word.
  Desk t;
  t.Addressed(31);
  t.Split(30);
  t.settings.confirmSplit = true;
  t.op.splitAnswer = false;
  t.Send();
  EXPECT_EQ(U(t.op.verdicts.at(0).text), "2分割で送信します。");
  EXPECT_TRUE(t.op.script.messages.empty());
  EXPECT_EQ(t.transport->calls, 0);
}

TEST_F(SendRunTest, SuccessStoresTheNumberTheLogsAndTheTextAsSent) {
  page.appendNames = true;
  Row("山田", "yamada@example.jp");
  Row("佐藤", "");
  Send();
  EXPECT_EQ(page.shownMailNo, "1000");
  EXPECT_EQ(StoredLastMailNo(), "1000");
  // The text log, and the box it is written from, hold the text as sent.
  EXPECT_EQ(Log("2_"), (Lines{"本日", " ", "SEND:2012/05/01 09:30:01", " ", "≪本メールの同報伝達者≫", "山田", "佐藤"}));
  EXPECT_EQ(Log("1_"), (Lines{"氏名,メールアドレス,電話番号,返信時間", "山田,yamada@example.jp,"}));
  EXPECT_EQ(test::FileNames(dir / "LOG").at(0), "0_20120501 093000_MailNo1000_会議");
  // 佐藤 has no address: listed once the progress window has gone.
  ASSERT_EQ(op.unregistered.size(), 1u);
  EXPECT_EQ(U(op.unregistered[0].at(0).name), "佐藤");
  const auto closed = std::find(op.events.begin(), op.events.end(), "window closed");
  EXPECT_EQ(*(closed + 1), "unregistered");
  EXPECT_EQ(op.events.back(), "ended");

  // After 9999 the box shows the number the next notice gets.
  settings.lastMailNo = "9998";
  Send();
  EXPECT_EQ(transport->Subjects().at(1), "MailNo9999_会議");
  EXPECT_EQ(page.shownMailNo, "1000");
  EXPECT_EQ(StoredLastMailNo(), "999");
}

// Before the first batch leaves, the number is stored and the notice is on
// record: a crash at that moment never lets the next notice reuse it.
TEST_F(SendRunTest, NumberAndLogsAreStoredBeforeTheFirstBatchLeaves) {
  Addressed(3);
  Split(2);
  test::HeldRunner held;
  Send(held);
  ASSERT_EQ(held.pending.size(), 1u);  // the first session is under way
  EXPECT_EQ(StoredLastMailNo(), "1000");
  EXPECT_EQ(Log("1_").size(), 4u);  // header and every addressed recipient
  EXPECT_EQ(Log("2_"), Lines{"本日"});
  held.ReleaseOne();  // the first batch went out; then the program is killed

  Settings next;
  LoadSettings(folder.SettingsFile(), next);
  EXPECT_EQ(NextMailNo(next.lastMailNo), "1001");
  run.cancel = true;  // the run of the killed program is not resumed
  held.Drain();
}

TEST_F(SendRunTest, AFirstBatchThatNeverReachedTheServerGivesItsNumberBack) {
  Addressed(3);
  Row("未登録", "");
  transport->failAt = 1;
  Send();
  EXPECT_EQ(op.script.messages.back().text, "伝達の送信に失敗しました");
  EXPECT_NE(op.script.messages.back().detail.find("550 5.1.1"), std::string::npos);  // the server's reason
  EXPECT_EQ(page.shownMailNo, "1000");                                               // the number that was tried
  EXPECT_EQ(StoredLastMailNo(), "999");
  EXPECT_TRUE(test::FileNames(dir / "LOG").empty());
  EXPECT_TRUE(op.unregistered.empty());

  // Refused only after the whole message went over: it may have been
  // delivered, so its number and record stay.
  transport->calls = 0;
  transport->failHandedOver = true;
  Send();
  EXPECT_EQ(StoredLastMailNo(), "1000");
  EXPECT_EQ(test::FileNames(dir / "LOG").size(), 4u);
}

TEST_F(SendRunTest, ALaterBatchFailingKeepsWhatWentOut) {
  Addressed(65);
  Split(30);
  transport->failAt = 2;
  Send();
  EXPECT_EQ(transport->batches.size(), 1u);
  EXPECT_EQ(op.script.Texts().back(), "伝達の送信に失敗しました");
  const auto warning = std::find(op.events.begin(), op.events.end(), "message 伝達の送信に失敗しました");
  EXPECT_EQ(*(warning - 1), "window closed");  // the warning stands alone
  EXPECT_EQ(StoredLastMailNo(), "1000");
  EXPECT_EQ(Log("2_"), Lines{"本日"});  // the operator's text, as the box keeps it
  EXPECT_EQ(Log("1_").size(), 66u);     // every addressed row, sent or not
}

TEST_F(SendRunTest, StoringFailuresAreToldOrSilentAsTheyMatter) {
  Addressed(1);
  fs::create_directory(folder.SettingsFile());  // the settings file cannot be replaced
  Send();
  Send();  // this session still never hands out the same number twice
  EXPECT_EQ(transport->Subjects().at(1), "MailNo1001_会議");
  EXPECT_EQ(op.script.Texts().size(), 2u);  // the questions only

  fs::remove_all(dir / "LOG");
  Send();
  EXPECT_EQ(transport->batches.size(), 3u);
  EXPECT_EQ(op.script.Texts().back(), "ログの出力に失敗しました");
}

TEST_F(SendRunTest, OneRunAtATimeOnItsOwnCopiesAndEndingWhenTheProgramEnds) {
  Addressed(6);
  Split(2);
  test::HeldRunner held;
  Send(held);
  const Lines before = op.events;
  Send(held);  // a second run while one is under way does nothing
  EXPECT_EQ(op.events, before);
  // What changes meanwhile does not reach the message already on its way.
  settings.smtpHost = "elsewhere";
  recipients.Cell(1, 1) = "changed@example.jp";
  held.ReleaseOne();
  EXPECT_EQ(transport->batches.at(0).account.host, "127.0.0.1");
  EXPECT_EQ(transport->batches.at(0).envelope.recipients.front(), "a0@example.jp");

  // The program ends while the second batch is on its way: it is waited
  // for, no third one leaves, no message box shows, the run ends.
  run.cancel = true;
  held.Drain();
  EXPECT_EQ(transport->batches.size(), 2u);
  EXPECT_EQ(op.script.Texts().size(), 1u);
  EXPECT_FALSE(run.running);
  EXPECT_EQ(op.events.back(), "ended");
  EXPECT_EQ(Log("1_").size(), 7u);

  // The next start says which notice went out in part, once.
  for (const int start : {1, 2}) {
    AppState next;
    next.folder = folder;
    test::ScriptedOperator told;
    StartUp(next, told);
    const bool said =
        !told.Texts().empty() &&
        told.Texts().back().starts_with(
            "前回の終了時に送信中だった伝達は、2/3 のみ送信されました。\r20120501 093000_MailNo1000_会議");
    EXPECT_EQ(said, start == 1) << ::testing::PrintToString(told.Texts());
  }
}

}  // namespace
}  // namespace zentavo
