// A notice sent by the program and the replies staff send back from all
// kinds of mail programs, through the real Postfix and Dovecot: the
// reception run lists each with its sender's name and the notice's MailNo,
// and the replies land in the notice's recipient log.
#include <gtest/gtest.h>

#include "base/Base64.h"
#include "e2e/MailStack.h"
#include "history/DeliveryRecord.h"
#include "history/RefreshHistoryList.h"
#include "history/ReplyLogs.h"
#include "history/ShowReplyResults.h"
#include "program/Lifecycle.h"
#include "receive/ReceivedList.h"
#include "send/SendRun.h"
#include "support/ReceiveDoubles.h"
#include "support/SendDoubles.h"
#include "text/SjisToMailJis.h"

namespace zentavo::e2e {
namespace {

// The notice goes to five staff and to a sixth whose mailbox is gone;
// replies come back in every encoding, one only tied by its thread, and
// Postfix's report of the dead mailbox: the run records each reply once and
// marks the sixth "不達".
TEST(ReceptionE2E, RepliesInEveryEncodingByThreadAndTheBounceAreTiedToTheirNotice) {
  const MailStack stack = MailStack::FromEnvironment();
  if (!stack.unavailable.empty()) GTEST_SKIP() << "no mail stack: " << stack.unavailable;
  test::TempFolder dir;
  DataFolder folder(dir.path());
  CreateDataDirectories(folder);
  Settings settings;
  settings.smtpHost = settings.popHost = stack.smtpHost;
  settings.smtpPort = stack.smtpPort;
  settings.popPort = stack.pop3Port;
  settings.user = settings.senderAddress = stack.desk();
  settings.password = stack.password;
  settings.lastMailNo = "999";
  settings.identifier = "MailNo";
  Grid staff(3, 30);
  const char* names[] = {"山田", "鈴木", "佐藤", "高橋", "田中", "伊藤"};
  for (int i = 0; i < 6; ++i)
    staff.Cell(0, i + 1) = S(names[i]), staff.Cell(1, i + 1) = i < 5 ? stack.staff(i) : stack.deadAddress;

  // The notice, with a copy to the office itself.
  const std::string marker = UniqueMarker("reply");
  SendPage page{.subject = S("会議"), .body = {S("明日の会議"), marker}, .copyToSelf = true};
  SendRunState run;
  test::RecordingSendOperator sendOp;
  InlineStepRunner runner;
  SendNotice({folder, settings, staff, page, run, sendOp, std::make_shared<PocoSmtpTransport>(), runner});
  ASSERT_TRUE(run.sent) << ::testing::PrintToString(sendOp.script.Texts());
  const std::string key = RefreshHistoryList(folder).at(0).key;
  DeliveryRecord record;
  LoadDeliveryRecord(DeliveryRecordPath(folder, key), record);
  ASSERT_EQ(record.messageIds.size(), 1u);

  const std::string subject = S("Re: MailNo1000_会議");
  const std::string subjects[] = {
      "=?ISO-2022-JP?B?" + EncodeBase64(SjisToMailJis(subject)) + "?=",
      "=?UTF-8?Q?Re:_MailNo10?=\r\n =?UTF-8?Q?00_=E4=BC=9A=E8=AD=B0?=",  // the number split between two words
      "Re: MailNo1000_会議",                                             // raw 8-bit UTF-8
      "=?Shift_JIS?B?" + EncodeBase64(subject) + "?=",
      "=?UTF-8?B?" + EncodeBase64("自動応答: 会議") + "?=",
      "=?UTF-8?B?" + EncodeBase64("了解です") + "?="};  // retyped: only the thread says which notice
  std::vector<std::string> repliesSent;
  for (int i = 0; i < 6; ++i) {
    const int from = std::min(i, 4);
    const std::string data = std::string(i == 4 ? "Auto-Submitted: auto-replied\r\n" : "") +
                             "From: " + stack.staff(from) + "\r\nTo: " + stack.desk() + "\r\nSubject: " + subjects[i] +
                             (i == 5 ? "\r\nIn-Reply-To: " + record.messageIds[0] : "") +
                             "\r\nDate: Sun, 06 Dec 2026 09:0" + std::to_string(i) + ":00 +0900\r\n\r\n" + marker +
                             "\r\n";
    PocoSmtpTransport().Send({stack.smtpHost, stack.smtpPort, stack.staff(from), stack.password, {}},
                             {stack.staff(from), {stack.desk()}}, data);
    repliesSent.push_back(data);
  }
  // The copy to self, six replies and the report, which returns the notice.
  ASSERT_EQ(stack.Await(stack.desk(), marker, 8).size(), 8u);

  ReceptionState state;
  test::RecordingReceptionOperator op;
  RunReception({folder,
                settings,
                staff,
                {.listOthers = true},
                state,
                op,
                std::make_shared<PocoPop3Transport>(Pop3Timeouts{5000, 15000}),
                runner});
  std::multiset<std::string> rows;
  for (int r = 1; r < state.received.RowCount() && !state.received.RowEmpty(r); ++r)
    rows.insert(U(state.received.Cell(kSenderColumn, r) + "|" + state.received.Cell(kStaffColumn, r) + "|" +
                  state.received.Cell(kMailNoColumn, r)));
  EXPECT_EQ(rows, (std::multiset<std::string>{"Zentavo -COPY-|○|1000", "山田|○|1000", "鈴木|○|1000", "佐藤|○|1000",
                                              "高橋|○|1000", "田中|○|", "田中|○|1000",
                                              "Mail Delivery System <MAILER-DAEMON@staff.test>||1000"}))
      << ::testing::PrintToString(op.script.Texts());
  EXPECT_EQ(settings.lastSeenCount, 8);

  // Recorded by the run: the five replies, not the automatic one; the dead
  // mailbox is "不達".
  EXPECT_EQ(state.recorded.recorded, 5);
  EXPECT_EQ(state.recorded.undelivered, 1);
  const std::vector<std::string> log = test::Deciphered(dir.path() / "LOG" / ("1_" + U(key)));
  ASSERT_EQ(log.size(), 7u);
  for (int i = 1; i <= 5; ++i) {
    const std::string& reply = repliesSent[i == 5 ? 5 : i - 1];
    EXPECT_EQ(log[i], std::string(names[i - 1]) + "," + stack.staff(i - 1) + ",," +
                          FormatDisplayTime(*ReadReceivedMail(reply).date) + " ");
  }
  Grid results(kResultColumns, 2);
  ShowReplyResults(folder, key, results);
  EXPECT_EQ(U(results.Cell(kResultStatus, 6) + "|" + results.Cell(kResultReason, 6)),
            "不達|5.1.1 x-unix; user unknown");
  EXPECT_EQ(U(ShowReplyStatus(key, results).countLine), "返信確認　　返信あり：5件　　返信なし：0件　　不達：1件");
}

}  // namespace
}  // namespace zentavo::e2e
