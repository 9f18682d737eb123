// Whole notices against the real stack: the send run with its batches and
// records, the real SMTP transport, Postfix authenticating the office and
// delivering into the maildirs, and Dovecot handing the mail back over POP3
// to be opened as a mail reader would open it. What the core tests check
// with doubles is not repeated here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "e2e/MailStack.h"
#include "send/SendRun.h"
#include "store/Base64.h"
#include "store/DataFolder.h"
#include "store/TextFile.h"
#include "support/MailReader.h"
#include "support/SendDoubles.h"
#include "support/TestSupport.h"
#include "text/EncodedWords.h"
#include "text/KanjiCode.h"

namespace zentavo::e2e {
namespace {

using test::S;
using test::U;
using Lines = std::vector<std::string>;

Lines S(const Lines& utf8) {
  Lines sjis;
  for (const auto& line : utf8) sjis.push_back(S(line));
  return sjis;
}

// The queue id Postfix gave the transaction that brought a message in; all
// copies of one batch share it. "ESMTPA" tells that the client had logged in.
std::string QueueId(const std::string& raw) {
  const std::string header = HeaderOf(raw), with = "with ESMTPA id ";
  const auto at = header.find(with);
  if (at == std::string::npos) return "";
  return header.substr(at + with.size(), header.find_first_of(" ;\r", at + with.size()) - at - with.size());
}

std::string JoinCrLf(const Lines& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
}

const LocalDateTime kSendTime{2026, 12, 6, 9, 0, 0, 540};
const std::string kAskSplit = "分割送信の準備が完了しました\r送信を実行してよろしいですか？";
const std::string kFailed = "伝達の送信に失敗しました";
const std::chrono::milliseconds kNow{0};

class NoticeE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    stack = MailStack::FromEnvironment();
    if (!stack.unavailable.empty()) GTEST_SKIP() << "no mail stack: " << stack.unavailable;
    for (const char* dir : kDataSubdirectories) std::filesystem::create_directory(programFolder / dir);
    // The subject travels as encoded words, so the mailboxes are searched
    // for the marker's copy in the body. The lines starting with "." must
    // not end the data early or lose their dot.
    marker = UniqueMarker("notice");
    subject = "髙橋・﨑①②㈱ 職員会議の日程変更 " + marker;
    bodyLines = {"職員各位", "会議は髙橋と﨑が①②の順に㈱本社で行います。", ".", ".資料は各自で。", "照合番号 " + marker};

    settings.smtpHost = stack.smtpHost;
    settings.smtpPort = stack.smtpPort;
    settings.user = stack.office();
    settings.password = stack.password;
    settings.senderName = S("総務課");
    settings.senderAddress = stack.office();
    settings.lastMailNo = "999";
    SetSplitSend(settings, true);
    settings.splitSize = 2;
    settings.confirmSplit = false;
    settings.identifierSetting = settings.identifier = "MailNo";
    SaveSettings(folder.SettingsFile(), settings);

    // Batches of two addressed rows; the name-only row is passed over.
    recipients.SetHeader({S("氏名"), S("メールアドレス"), S("電話番号")});
    Row(1, "山田 太郎", stack.staff(0), "");
    Row(2, "鈴木 花子", "", "090-1111-2222");
    Row(3, "佐藤 次郎", stack.staff(1), "03-3333-4444");
    Row(4, "髙橋 三郎", stack.staff(2), "");
    page.group = S("総務");
    page.subject = S(subject);
    page.body = S(bodyLines);
    page.copyToSelf = page.appendNames = page.appendGroup = true;
  }

  void Row(int r, const std::string& name, const std::string& address, const std::string& phone) {
    recipients.Cell(0, r) = S(name);
    recipients.Cell(1, r) = address;
    recipients.Cell(2, r) = phone;
  }

  void Send() {
    SendNotice(SendContext{folder, settings, recipients, page, run, op, transport, runner, [] { return kSendTime; }});
  }

  // The body as composed at kSendTime (UTF-8).
  Lines Composed() const {
    Lines lines = bodyLines;
    lines.insert(lines.end(), {" ", "SEND:2026/12/06 09:00:00", " ", "≪本メールの同報伝達者≫"});
    for (int r = 1; !recipients.Cell(0, r).empty(); ++r) lines.push_back(U(recipients.Cell(0, r)));
    lines.insert(lines.end(), {"≪本メールの伝達グループ名≫", "総務"});
    return lines;
  }

  // Everything one delivered copy must show to the holder of `mailbox`;
  // returns the queue id of the batch that brought it.
  std::string CheckDelivered(const std::string& raw, const std::string& mailbox) const {
    SCOPED_TRACE("copy in " + mailbox);
    // Sent as seven-bit ISO-2022-JP, subject and body read back as composed.
    // GMime takes the message apart, but its conversion (glibc's) lacks the
    // JIS rows of ①, ㈱ and 髙, so the bytes are read by the program's own
    // conversions, the ones that read the replies, as Japanese readers do.
    const std::string expected = JoinCrLf(Composed());
    const std::string body = BodyOf(raw);
    EXPECT_TRUE(std::all_of(body.begin(), body.end(), [](unsigned char c) { return c < 0x80; })) << body;
    const test::RawReaderView read = test::OpenRawWithGMime(raw);
    EXPECT_EQ(U(JisWordToSjis(read.subjectBytes)), "MailNo1000_" + subject);
    EXPECT_EQ(U(ConvertKanjiCode(read.bodyBytes, kCodeSjis)), expected);
    EXPECT_EQ(read.to, page.copyToSelf ? stack.office() : "undisclosed-recipients: ;");
    const test::ReaderView view = test::OpenWithGMime(raw);
    EXPECT_FALSE(view.messageId.empty()) << HeaderOf(raw);
    EXPECT_FALSE(view.hasBcc);
    // Blind copies stay blind: a staff address shows only in the delivery
    // fields of its own mailbox.
    std::string rest = HeaderOf(raw);
    for (const std::string field : {"Delivered-To: ", "X-Original-To: "})
      if (const auto at = rest.find(field + mailbox + "\r\n"); at != std::string::npos)
        rest.erase(at, field.size() + mailbox.size() + 2);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(rest.find(stack.staff(i)), std::string::npos) << rest;
    const std::string queueId = QueueId(raw);
    EXPECT_FALSE(queueId.empty()) << "not received from a logged-in client\n" << HeaderOf(raw);
    return queueId;
  }

  // The MailNo moved on and the three logs of the notice list `addressed`
  // (name,address,phone) and hold `text`.
  void CheckRecords(const Lines& addressed, const Lines& text) const {
    EXPECT_EQ(page.mailNoBox, "1000");
    EXPECT_EQ(settings.lastMailNo, "1000");
    EXPECT_EQ(test::Deciphered(folder.SettingsFile()).at(9), "1000");
    const std::string key = "20261206 090000_MailNo1000_" + subject;
    const auto log = programFolder / "LOG";
    EXPECT_EQ(test::FileNames(log), (Lines{"0_" + key, "1_" + key, "2_" + key}));
    EXPECT_EQ(U(DecodeBase64(ReadTextLines(log / ("0_" + key)).at(0))), subject);
    Lines recipientLog = {"氏名,メールアドレス,電話番号,返信時間"};
    recipientLog.insert(recipientLog.end(), addressed.begin(), addressed.end());
    EXPECT_EQ(test::Deciphered(log / ("1_" + key)), recipientLog);
    EXPECT_EQ(test::Deciphered(log / ("2_" + key)), text);
  }

  MailStack stack;
  std::string marker;
  std::string subject;  // UTF-8
  Lines bodyLines;      // UTF-8
  test::TempFolder programFolder;
  DataFolder folder{programFolder.path()};
  Settings settings;
  Grid recipients{3, 8};
  SendPage page;
  SendRunState run;
  test::RecordingSendOperator op;
  std::shared_ptr<PocoSmtpTransport> transport = std::make_shared<PocoSmtpTransport>(SmtpTimeouts{5000, 15000});
  InlineStepRunner runner;
};

TEST_F(NoticeE2E, SplitNoticeReachesEachRecipientOnceAndIsRecorded) {
  Send();
  EXPECT_EQ(op.script.Texts(), Lines{kAskSplit});
  EXPECT_TRUE(run.sent);

  // One copy per staff member, one per batch for the office (copy to self).
  const Lines officeCopies = stack.Await(stack.office(), marker, 2);
  ASSERT_EQ(officeCopies.size(), 2u);
  std::vector<std::string> officeBatches, staffBatch;
  for (const auto& copy : officeCopies) officeBatches.push_back(CheckDelivered(copy, stack.office()));
  for (std::size_t i = 0; i < 3; ++i) {
    const Lines found = stack.Await(stack.staff(i), marker, 1);
    ASSERT_EQ(found.size(), 1u) << stack.staff(i);
    staffBatch.push_back(CheckDelivered(found[0], stack.staff(i)));
  }
  // The first and second staff member in one batch, the third in the other,
  // each batch with its own copy for the office.
  EXPECT_EQ(staffBatch[0], staffBatch[1]);
  EXPECT_NE(staffBatch[1], staffBatch[2]);
  EXPECT_EQ(std::set<std::string>(officeBatches.begin(), officeBatches.end()),
            (std::set<std::string>{staffBatch[0], staffBatch[2]}));
  // All has arrived by now: a second look finds no extra copy anywhere.
  EXPECT_EQ(stack.Await(stack.office(), marker, 0, kNow).size(), 2u);
  for (std::size_t i = 0; i < 5; ++i)
    EXPECT_EQ(stack.Await(stack.staff(i), marker, 0, kNow).size(), i < 3 ? 1u : 0u) << stack.staff(i);

  EXPECT_EQ(page.body, S(Composed()));
  CheckRecords({"山田 太郎," + stack.staff(0) + ",", "佐藤 次郎," + stack.staff(1) + ",03-3333-4444",
                "髙橋 三郎," + stack.staff(2) + ","},
               Composed());
}

TEST_F(NoticeE2E, RefusedLoginSendsNothingAndRecordsNothing) {
  settings.password += "x";
  Send();

  ASSERT_EQ(op.script.Texts(), (Lines{kAskSplit, kFailed}));
  // Postfix's own reason reaches the detail of the warning.
  EXPECT_NE(op.script.messages[1].detail.find("535 5.7.8"), std::string::npos) << op.script.messages[1].detail;
  EXPECT_FALSE(run.sent);
  // The box shows the number tried; the counter stays, so the next run
  // tries 1000 again.
  EXPECT_EQ(page.mailNoBox, "1000");
  EXPECT_EQ(settings.lastMailNo, "999");
  EXPECT_EQ(test::Deciphered(folder.SettingsFile()).at(9), "999");
  EXPECT_EQ(page.body, S(bodyLines));
  EXPECT_TRUE(op.unregistered.empty());
  EXPECT_TRUE(test::FileNames(programFolder / "LOG").empty());
  for (const std::string& user : {stack.office(), stack.staff(0)})
    EXPECT_TRUE(stack.Await(user, marker, 0, kNow).empty()) << user;
}

TEST_F(NoticeE2E, UnknownRecipientStopsItsBatchAfterTheFirstWentOut) {
  // Without a copy to self; the second batch names a user Postfix does not
  // know after one it does.
  page.copyToSelf = false;
  Row(1, "山田 太郎", stack.staff(3), "");
  Row(3, "佐藤 次郎", stack.staff(4), "");
  Row(5, "﨑 四郎", "nobody@" + stack.domain, "");
  Send();

  ASSERT_EQ(op.script.Texts(), (Lines{kAskSplit, kFailed}));
  EXPECT_NE(op.script.messages[1].detail.find("550 5.1.1 <nobody@" + stack.domain + ">"), std::string::npos)
      << op.script.messages[1].detail;
  for (std::size_t i : {3u, 4u}) {
    const Lines found = stack.Await(stack.staff(i), marker, 1);
    ASSERT_EQ(found.size(), 1u) << stack.staff(i);
    CheckDelivered(found[0], stack.staff(i));
  }
  for (const std::string& user : {stack.office(), stack.staff(2)})
    EXPECT_TRUE(stack.Await(user, marker, 0, kNow).empty()) << user;

  // The first batch went out: the number is used and the notice recorded
  // with every addressed recipient, the operator's text as it stood.
  EXPECT_EQ(page.body, S(bodyLines));
  CheckRecords({"山田 太郎," + stack.staff(3) + ",", "佐藤 次郎," + stack.staff(4) + ",",
                "髙橋 三郎," + stack.staff(2) + ",", "﨑 四郎,nobody@" + stack.domain + ","},
               bodyLines);
}

}  // namespace
}  // namespace zentavo::e2e
