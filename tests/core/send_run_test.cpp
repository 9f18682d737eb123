#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/Lifecycle.h"
#include "send/SendRun.h"
#include "send/TransmissionLogs.h"
#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "support/SendDoubles.h"
#include "text/EncodedWords.h"

namespace zentavo {
namespace {
using test::S;
using test::U;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

using test::FakeTransport;
using test::HeldRunner;
using test::RecordingSendOperator;

std::string SubjectOf(const std::string& data) {
  const size_t at = data.find("\r\nSubject: ");
  const size_t end = data.find("\r\nDate: ");
  return DecodeEncodedWords(data.substr(at + 11, end - at - 11));
}

class SendRunTest : public ::testing::Test {
 public:
  SendRunTest() : folder(dir.path()) {
    CreateDataDirectories(folder);
    settings.smtpHost = "127.0.0.1";
    settings.smtpPort = "2525";
    settings.user = "office";
    settings.password = "secret";
    settings.senderAddress = "office@example.jp";
    settings.identifier = "MailNo";
    settings.lastMailNo = "999";
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

  void Send(StepRunner& with) {
    SendNotice({folder, settings, recipients, page, run, op, transportShare, with, [this] {
                  LocalDateTime t{2012, 5, 1, 9, 30, 0, 540};
                  t.second = ticks++;
                  return t;
                }});
  }
  void Send() { Send(runner); }

  std::vector<size_t> BccSizes() const {
    std::vector<size_t> sizes;
    for (const auto& b : transport.batches) sizes.push_back(b.envelope.recipients.size());
    return sizes;
  }
  Lines LogFiles() const {
    Lines names;
    for (const auto& e : fs::directory_iterator(dir.path() / "LOG")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The deciphered lines of the log file that starts with `prefix`.
  Lines Log(const std::string& prefix) const {
    Lines plain;
    for (const auto& name : LogFiles()) {
      if (name.rfind(prefix, 0) != 0) continue;
      for (const auto& l : ReadTextLines(dir.path() / "LOG" / name)) plain.push_back(DecryptLine(l));
    }
    return plain;
  }
  std::string StoredLastMailNo() const {
    return DecryptLine(ReadTextLines(folder.SettingsFile()).at(9));
  }

  test::TempFolder dir;
  DataFolder folder;
  Settings settings;
  SendPage page;
  SendRunState run;
  Grid recipients{3, 30};
  int lastRow = 0;
  RecordingSendOperator op;
  std::shared_ptr<FakeTransport> transportShare = std::make_shared<FakeTransport>();
  FakeTransport& transport = *transportShare;
  InlineStepRunner runner;
  int ticks = 0;
};

// ---- Before anything is sent -------------------------------------------------

TEST_F(SendRunTest, EachMissingInputStopsWithItsOwnWarning) {
  struct Case {
    std::function<void(SendRunTest&)> spoil;
    std::string warning;
  };
  const std::vector<Case> cases = {
      {[](SendRunTest& t) { t.settings.smtpHost.clear(); }, "SMTPサーバが指定されていません"},
      {[](SendRunTest& t) { t.settings.smtpPort.clear(); }, "SMTPサーバのポートが指定されていません"},
      {[](SendRunTest& t) { t.settings.user.clear(); }, "ユーザ情報のユーザ名が指定されていません"},
      {[](SendRunTest& t) { t.settings.password.clear(); }, "ユーザ情報のパスワードが指定されていません"},
      {[](SendRunTest& t) { t.page.subject.clear(); }, "伝達件名が指定されていません"},
      {[](SendRunTest& t) { t.page.body.clear(); }, "伝達内容が指定されていません"},
      {[](SendRunTest& t) { t.recipients.Cell(0, 1).clear(); }, "伝達者が指定されていません"},
      {[](SendRunTest& t) { t.settings.identifier.clear(); }, "伝達件名の識別が指定されていません"},
  };
  Addressed(2);
  const Settings good = settings;
  const SendPage goodPage = page;
  const Grid goodGrid = recipients;
  for (const auto& c : cases) {
    settings = good;
    page = goodPage;
    recipients = goodGrid;
    op.script.messages.clear();
    c.spoil(*this);
    Send();
    SCOPED_TRACE(c.warning);
    ASSERT_EQ(op.script.messages.size(), 1u);
    EXPECT_EQ(op.script.messages[0].text, c.warning);
    EXPECT_EQ(op.script.messages[0].caption, "確認");
    EXPECT_EQ(op.script.messages[0].icon, MsgIcon::Warning);
    EXPECT_FALSE(run.running);
  }
  // The order of the checks: with everything missing, the server comes first.
  settings = Settings();
  page = SendPage();
  op.script.messages.clear();
  Send();
  EXPECT_EQ(op.script.Texts(), Lines{"SMTPサーバが指定されていません"});
  EXPECT_EQ(transport.calls, 0);
  EXPECT_TRUE(LogFiles().empty());
}

TEST_F(SendRunTest, DeclinedQuestionDoesNothing) {
  Addressed(3);
  op.script.answers = {MsgAnswer::No};
  Send();
  EXPECT_EQ(op.script.Texts(), Lines{"送信の準備が完了しました\r送信を実行してよろしいですか？"});
  EXPECT_EQ(op.script.messages[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(run.go, "");
  EXPECT_EQ(transport.calls, 0);
  EXPECT_EQ(page.mailNoBox, "");
  EXPECT_FALSE(fs::exists(folder.SettingsFile()));
  EXPECT_EQ(op.events, (Lines{"started", "message 送信の準備が完了しました\r送信を実行してよろしいですか？", "ended"}));
}

TEST_F(SendRunTest, NamesWithoutAnyAddressStopAfterTheQuestion) {
  Row("山田", "");
  Row("佐藤", "");
  Send();
  EXPECT_EQ(op.script.Texts(), (Lines{"送信の準備が完了しました\r送信を実行してよろしいですか？",
                                      "伝達者が選択されていません"}));
  EXPECT_EQ(transport.calls, 0);
  EXPECT_TRUE(op.unregistered.empty());
  EXPECT_TRUE(LogFiles().empty());
  EXPECT_EQ(settings.lastMailNo, "999");
}

// ---- Batches ---------------------------------------------------------------------

TEST_F(SendRunTest, SixtyFiveRecipientsInBatchesOfThirty) {
  Addressed(65);
  SetSplitSend(settings, true);
  Send();
  EXPECT_EQ(op.script.Texts(), Lines{"分割送信の準備が完了しました\r送信を実行してよろしいですか？"});
  EXPECT_EQ(BccSizes(), (std::vector<size_t>{30, 30, 5}));
  EXPECT_EQ(transport.batches[1].envelope.recipients.front(), "a30@example.jp");
  EXPECT_EQ(transport.batches[2].envelope.recipients.back(), "a64@example.jp");
  EXPECT_EQ(op.script.progress, (Lines{"処理を開始しました", "MailNo1000を送信します", "1/3を送信しています",
                                    "2/3を送信しています", "3/3を送信しています", "MailNo1000は正常に送信しました"}));
  for (const auto& b : transport.batches) {
    EXPECT_EQ(SubjectOf(b.data), S("MailNo1000_会議"));  // one MailNo for all three
    EXPECT_EQ(b.envelope.from, "office@example.jp");
    EXPECT_EQ(b.account.host, "127.0.0.1");
    EXPECT_EQ(b.account.port, "2525");
    EXPECT_EQ(b.account.user, "office");
    EXPECT_EQ(b.account.password, "secret");
    EXPECT_EQ(b.data.find("Bcc"), std::string::npos);
    EXPECT_EQ(b.data.find("To: "), std::string::npos);
  }
  EXPECT_EQ(runner.waited, 1000);  // only the pause after the success text
  EXPECT_EQ(run.batchCount, 3);
  EXPECT_TRUE(run.sent);
  EXPECT_FALSE(run.running);
}

TEST_F(SendRunTest, SplitOffSendsOneMessageToEveryone) {
  Addressed(65);
  Send();
  EXPECT_EQ(BccSizes(), std::vector<size_t>{65});
  EXPECT_EQ(op.script.progress,
            (Lines{"処理を開始しました", "MailNo1000を送信します", "MailNo1000は正常に送信しました"}));
}

TEST_F(SendRunTest, RowsWithoutAddressDoNotCountTowardABatch) {
  Row("A", "a@example.jp");
  Row("-", "");
  Row("B", "b@example.jp");
  Row("C", "c@example.jp");
  SetSplitSend(settings, true);
  settings.splitSize = 2;
  Send();
  ASSERT_EQ(transport.batches.size(), 2u);
  EXPECT_EQ(transport.batches[0].envelope.recipients, (Lines{"a@example.jp", "b@example.jp"}));
  EXPECT_EQ(transport.batches[1].envelope.recipients, Lines{"c@example.jp"});
}

TEST_F(SendRunTest, CopyToSelfPutsTheSenderFirstInEveryBatch) {
  Addressed(3);
  SetSplitSend(settings, true);
  settings.splitSize = 2;
  page.copyToSelf = true;
  Send();
  ASSERT_EQ(transport.batches.size(), 2u);
  EXPECT_EQ(transport.batches[0].envelope.recipients,
            (Lines{"office@example.jp", "a0@example.jp", "a1@example.jp"}));
  EXPECT_EQ(transport.batches[1].envelope.recipients, (Lines{"office@example.jp", "a2@example.jp"}));
  for (const auto& b : transport.batches) EXPECT_NE(b.data.find("\r\nTo: office@example.jp\r\n"), std::string::npos);
}

TEST_F(SendRunTest, SplitConfirmationDecidesAndSetsTheCount) {
  SetSplitSend(settings, true);
  settings.confirmSplit = true;
  Addressed(31);
  op.splitAnswer = false;
  Send();
  ASSERT_EQ(op.verdicts.size(), 1u);
  EXPECT_EQ(U(op.verdicts[0].text), "2分割で送信します。");
  EXPECT_EQ(run.go, "OF");
  EXPECT_TRUE(op.script.messages.empty());  // cancelled without a word
  EXPECT_EQ(transport.calls, 0);

  // Thirty fit one message: no n/m progress either.
  recipients.Cell(1, 31).clear();
  recipients.Cell(0, 31).clear();
  op.splitAnswer = true;
  Send();
  EXPECT_EQ(U(op.verdicts[1].text), "分割件数以下のため分割無しで送信します。");
  EXPECT_EQ(run.go, "ON");
  EXPECT_EQ(BccSizes(), std::vector<size_t>{30});
  EXPECT_TRUE(op.script.messages.empty());
}

// ---- After sending -----------------------------------------------------------------

TEST_F(SendRunTest, SuccessAdvancesTheCounterAndWritesTheLogs) {
  page.appendNames = true;
  Row("山田", "yamada@example.jp");
  Row("佐藤", "");
  Row("鈴木", "suzuki@example.jp");
  Send();
  EXPECT_TRUE(op.script.messages.size() == 1u);  // the question only
  EXPECT_EQ(page.mailNoBox, "1000");
  EXPECT_EQ(settings.lastMailNo, "1000");
  EXPECT_EQ(StoredLastMailNo(), "1000");
  const Lines sent = {S("本日"), " ", "SEND:2012/05/01 09:30:00", " ", S("≪本メールの同報伝達者≫"),
                      S("山田"), S("佐藤"), S("鈴木")};
  EXPECT_EQ(page.body, sent);  // the box shows the text as sent
  EXPECT_EQ(Log("2_"), sent);
  EXPECT_EQ(Log("1_"), (Lines{S("氏名,メールアドレス,電話番号,返信時間"), S("山田,yamada@example.jp,"),
                                   S("鈴木,suzuki@example.jp,")}));
  const Lines files = LogFiles();
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0], "0_20120501 093001_MailNo1000_会議");  // the stamp is taken after sending
  // 佐藤 has no address: told afterwards, in the list, with the main window hidden.
  ASSERT_EQ(op.unregistered.size(), 1u);
  ASSERT_EQ(op.unregistered[0].size(), 1u);
  EXPECT_EQ(U(op.unregistered[0][0].name), "佐藤");
  EXPECT_EQ(op.events.back(), "ended");
  EXPECT_EQ(std::find(op.events.begin(), op.events.end(), "window closed") + 1,
            std::find(op.events.begin(), op.events.end(), "unregistered"));
}

TEST_F(SendRunTest, LaterBatchFailingKeepsWhatWentOut) {
  Addressed(65);
  Row("未登録", "");
  SetSplitSend(settings, true);
  transport.failAt = 2;
  Send();
  EXPECT_EQ(transport.batches.size(), 1u);
  EXPECT_EQ(op.script.Texts().back(), "伝達の送信に失敗しました");
  // The progress window goes before the warning shows.
  const auto warning = std::find(op.events.begin(), op.events.end(), "message 伝達の送信に失敗しました");
  ASSERT_NE(warning, op.events.end());
  EXPECT_EQ(*(warning - 1), "window closed");
  EXPECT_EQ(std::count(op.events.begin(), op.events.end(), "window closed"), 1);
  EXPECT_TRUE(run.sent);
  EXPECT_EQ(settings.lastMailNo, "1000");
  EXPECT_EQ(StoredLastMailNo(), "1000");
  EXPECT_EQ(page.body, Lines{S("本日")});  // the operator's text
  EXPECT_EQ(Log("2_"), Lines{S("本日")});
  EXPECT_EQ(Log("1_").size(), 66u);  // header and every addressed row, sent or not
  EXPECT_EQ(op.unregistered.size(), 1u);
}

TEST_F(SendRunTest, FirstBatchFailingStoresNothing) {
  Addressed(3);
  Row("未登録", "");
  transport.failAt = 1;
  Send();
  EXPECT_EQ(op.script.Texts().back(), "伝達の送信に失敗しました");
  EXPECT_FALSE(run.sent);
  EXPECT_EQ(page.mailNoBox, "1000");  // the number that was tried
  EXPECT_EQ(settings.lastMailNo, "999");
  EXPECT_FALSE(fs::exists(folder.SettingsFile()));
  EXPECT_TRUE(LogFiles().empty());
  EXPECT_TRUE(op.unregistered.empty());
  EXPECT_FALSE(run.running);

  // The next run tries the same number again.
  transport.failAt = 0;
  Send();
  EXPECT_EQ(SubjectOf(transport.batches.at(0).data), S("MailNo1000_会議"));
}

TEST_F(SendRunTest, PortThatIsNoNumberFailsTheSend) {
  Addressed(1);
  settings.smtpPort = "25a";
  Send();
  EXPECT_EQ(op.script.Texts().back(), "伝達の送信に失敗しました");
  EXPECT_EQ(transport.calls, 0);
}

TEST_F(SendRunTest, MailNo9999ThenWrapsTo1000) {
  Addressed(1);
  settings.lastMailNo = "9998";
  Send();
  EXPECT_EQ(SubjectOf(transport.batches.at(0).data), S("MailNo9999_会議"));
  EXPECT_EQ(LogFiles().at(0), "0_20120501 093001_MailNo9999_会議");
  EXPECT_EQ(page.mailNoBox, "1000");
  EXPECT_EQ(settings.lastMailNo, "999");
  EXPECT_EQ(StoredLastMailNo(), "999");
  page.body = {S("本日")};
  Send();
  EXPECT_EQ(SubjectOf(transport.batches.at(1).data), S("MailNo1000_会議"));
}

TEST_F(SendRunTest, UnwritableSettingsDoNotHandOutTheSameNumberTwice) {
  Addressed(1);
  fs::create_directory(folder.SettingsFile());  // cannot be replaced by a file
  Send();
  Send();
  ASSERT_EQ(transport.batches.size(), 2u);
  EXPECT_EQ(SubjectOf(transport.batches[0].data), S("MailNo1000_会議"));
  EXPECT_EQ(SubjectOf(transport.batches[1].data), S("MailNo1001_会議"));
  EXPECT_EQ(op.script.Texts().size(), 2u);  // the two questions; the write failure is silent
}

TEST_F(SendRunTest, LogFailureIsReportedAfterTheNoticeWentOut) {
  Addressed(1);
  fs::remove_all(dir.path() / "LOG");
  Send();
  EXPECT_EQ(transport.batches.size(), 1u);
  EXPECT_EQ(op.script.Texts().back(), "ログの出力に失敗しました");
  EXPECT_EQ(settings.lastMailNo, "1000");
}

TEST_F(SendRunTest, SecondRunWhileOneIsUnderWayDoesNothing) {
  Addressed(2);
  HeldRunner held;
  Send(held);
  EXPECT_TRUE(run.running);
  ASSERT_EQ(held.pending.size(), 1u);  // the first session is under way
  const Lines before = op.events;
  Send(held);
  EXPECT_EQ(op.events, before);
  EXPECT_EQ(held.pending.size(), 1u);
  held.ReleaseAll();
  EXPECT_FALSE(run.running);
  EXPECT_EQ(transport.batches.size(), 1u);
  EXPECT_EQ(op.events.back(), "ended");
  EXPECT_EQ(std::count(op.events.begin(), op.events.end(), "started"), 1);
}

TEST_F(SendRunTest, TheSessionRunsOnValuesAloneWhileThePageMayChange) {
  Addressed(2);
  HeldRunner held;
  Send(held);
  // The operator or another run changing the inputs meanwhile does not
  // reach the message that is already on its way, nor the logs.
  settings.smtpHost = "elsewhere";
  page.subject = S("別件");
  recipients.Cell(1, 1) = "changed@example.jp";
  held.ReleaseAll();
  ASSERT_EQ(transport.batches.size(), 1u);
  EXPECT_EQ(transport.batches[0].account.host, "127.0.0.1");
  EXPECT_EQ(transport.batches[0].envelope.recipients.front(), "a0@example.jp");
  EXPECT_EQ(LogFiles().at(0), "0_20120501 093001_MailNo1000_会議");
}

}  // namespace
}  // namespace zentavo
