// Whole notices against the real stack: the send run over the real SMTP
// transport, Postfix authenticating the office and delivering into the
// maildirs, Dovecot handing the mail back over POP3 to be opened as a mail
// reader would. Only what a real server can tell is checked here; batches,
// the MailNo and the logs are left to the core tests and their doubles.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "e2e/MailStack.h"
#include "send/SendRun.h"
#include "store/DataFolder.h"
#include "support/MailReader.h"
#include "support/SendDoubles.h"
#include "support/TestSupport.h"
#include "text/EncodedWords.h"
#include "text/KanjiCode.h"

namespace zentavo::e2e {
namespace {

using test::S, test::U;

// One notice from the office, two addressed rows to a batch, sent at
// 2026/12/06 09:00:00 as MailNo 1000. Its subject and body carry 髙, 﨑, ①②
// and ㈱ (outside glibc's ISO-2022-JP) and lines starting with "." that must
// neither end the data early nor lose their dot; the marker finds its copies.
struct Notice {
  Notice(const MailStack& stack, const Lines& addresses, bool copyToSelf, const std::string& password) : stack(stack) {
    for (const char* dir : kDataSubdirectories) std::filesystem::create_directory(programFolder / dir);
    settings.smtpHost = stack.smtpHost;
    settings.smtpPort = stack.smtpPort;
    settings.user = settings.senderAddress = stack.office();
    settings.password = password;
    settings.lastMailNo = "999";
    SetSplitSend(settings, true);
    settings.splitSize = 2;
    settings.identifierSetting = settings.identifier = "MailNo";
    SaveSettings(folder.SettingsFile(), settings);
    for (std::size_t r = 0; r < addresses.size(); ++r) recipients.rows[r + 1] = {S("職員"), addresses[r]};
    page.subject = S(subject);
    for (const auto& line : body) page.body.push_back(S(line));
    page.copyToSelf = copyToSelf;
    SendNotice(SendContext{folder, settings, recipients, page, run, op, transport, runner,
                           [] { return LocalDateTime{2026, 12, 6, 9, 0, 0, 540}; }});
  }

  // What the holder of `mailbox` must see in a delivered copy.
  void CheckDelivered(const std::string& raw, const std::string& mailbox) const {
    SCOPED_TRACE("copy in " + mailbox);
    EXPECT_TRUE(std::all_of(raw.begin(), raw.end(), [](unsigned char c) { return c < 0x80; })) << raw;
    // GMime takes the message apart; the bytes are read by the program's own
    // JIS conversions, as Japanese readers do, since glibc's lack 髙, ①, ㈱.
    const test::RawReaderView read = test::OpenRawWithGMime(raw);
    EXPECT_EQ(U(JisWordToSjis(read.subjectBytes)), "MailNo1000_" + subject);
    std::string sent;
    for (const auto& line : body) sent += line + "\r\n";
    EXPECT_EQ(U(ConvertKanjiCode(read.bodyBytes, KanjiTarget::Sjis)), sent + " \r\nSEND:2026/12/06 09:00:00\r\n \r\n");
    EXPECT_EQ(read.to, page.copyToSelf ? stack.office() : "undisclosed-recipients: ;");
    // The program's own Message-ID, not one Postfix made up at mail.<domain>.
    EXPECT_TRUE(test::OpenWithGMime(raw).messageId.ends_with("@" + stack.domain)) << raw;
    // Taken from a client that had logged in.
    EXPECT_NE(raw.find(" with ESMTPA id "), std::string::npos) << raw;
    // Blind copies stay blind: a staff address shows only in the delivery
    // fields of its own mailbox.
    std::string rest = raw;
    for (const std::string field : {"Delivered-To: ", "X-Original-To: "})
      if (const auto at = rest.find(field + mailbox + "\r\n"); at != std::string::npos)
        rest.erase(at, field.size() + mailbox.size() + 2);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(rest.find(stack.staff(i)), std::string::npos) << rest;
  }

  const MailStack& stack;
  const std::string marker = UniqueMarker("notice");
  const std::string subject = "髙橋・﨑①②㈱ 職員会議の日程変更 " + marker;  // UTF-8
  const Lines body = {"職員各位", "会議は髙橋と﨑が①②の順に㈱本社で行います。", ".", ".資料は各自で。",
                      "照合番号 " + marker};
  test::TempFolder programFolder;
  DataFolder folder{programFolder.path()};
  Settings settings;
  Grid recipients{2, 8};
  SendPage page;
  SendRunState run;
  test::RecordingSendOperator op;
  std::shared_ptr<PocoSmtpTransport> transport = std::make_shared<PocoSmtpTransport>(SmtpTimeouts{5000, 15000});
  InlineStepRunner runner;
};

TEST(NoticeE2E, EachMailboxGetsItsCopiesOnceOrPostfixSaysWhyNot) {
  const MailStack stack = MailStack::FromEnvironment();
  if (!stack.unavailable.empty()) GTEST_SKIP() << "no mail stack: " << stack.unavailable;
  const std::string nobody = "nobody@" + stack.domain;
  struct Case {
    const char* what;
    Lines addresses;
    bool copyToSelf;
    std::string password, reason;     // reason: Postfix's words in the failure; empty when all went out
    std::vector<std::size_t> copies;  // the office's, then staff 0 to 4
  };
  const Case cases[] = {
      {"a copy to self with each batch",
       {stack.staff(0), stack.staff(1), stack.staff(2)},
       true,
       stack.password,
       "",
       {2, 1, 1, 1, 0, 0}},
      {"login refused", {stack.staff(0), stack.staff(1)}, true, stack.password + "x", "535 5.7.8", {0, 0, 0, 0, 0, 0}},
      // The recipient accepted before the unknown one must not get the
      // second batch either; the first batch stays delivered.
      {"unknown recipient in the second batch",
       {stack.staff(3), stack.staff(4), stack.staff(2), nobody},
       false,
       stack.password,
       "550 5.1.1 <" + nobody + ">",
       {0, 0, 0, 0, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Notice notice(stack, c.addresses, c.copyToSelf, c.password);
    std::string details;
    for (const auto& message : notice.op.script.messages) details += message.detail;
    if (c.reason.empty()) EXPECT_EQ(details, "");
    EXPECT_NE(details.find(c.reason), std::string::npos) << details;
    // Delivery lags the reply: wait for the copies, then look once more.
    for (std::size_t i = 0; i < 6; ++i)
      for (const std::string& raw : stack.Await(stack.users[i], notice.marker, c.copies[i]))
        notice.CheckDelivered(raw, stack.users[i]);
    for (std::size_t i = 0; i < 6; ++i)
      EXPECT_EQ(stack.Await(stack.users[i], notice.marker, 0, {}).size(), c.copies[i]) << stack.users[i];
  }
}

}  // namespace
}  // namespace zentavo::e2e
