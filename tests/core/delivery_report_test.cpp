#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "receive/DeliveryReport.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {

// "" for no report; else the returned message's id and subject, then one
// line per failed recipient: address [status] reason.
std::string Shown(const std::optional<DeliveryReport>& report) {
  if (!report) return "";
  std::string shown = report->originalMessageId + " " + U(report->originalSubject);
  for (const FailedDelivery& f : report->failed) shown += "\n" + f.address + " [" + f.status + "] " + U(f.reason);
  return shown;
}

// Reports and bounces as mail servers write them, and mail that only looks
// like one (tests/data/mail/bounces/).
TEST(DeliveryReport, MessagesTable) {
  struct Row {
    const char *name, *shown;
  };
  const Row rows[] = {
      {"postfix_headers",  // Diagnostic-Code folded with blanks
       "<1335832200000001.1.00c0ffee12345678@example.jp> MailNo1234_来週の会議について\n"
       "tanaka@example.co.jp [5.1.1] smtp; 550 5.1.1 <tanaka@example.co.jp>: Recipient address rejected: "
       "User unknown in local recipient table"},
      {"postfix_message",  // the address as sent, not the one an alias led to
       "<1335832260000002.1.00c0ffee87654321@example.jp> MailNo1235_健康診断のお知らせ\n"
       "Suzuki@example.co.jp [5.1.1] X-Postfix; unknown user: \"s.suzuki\""},
      {"mixed_recipients",  // the delayed one left out; odd case and blanks; folded with tabs
       "<1335832290000003.1.00c0ffee0badf00d@example.jp> MailNo1234_来週の会議について\n"
       "Ito@example.net [5.2.2] SMTP; 552-5.2.2 The email account that you tried to reach is over quota.  "
       "Please direct the recipient to https://support.example.net/quota 552 5.2.2 Mailbox full"},
      {"global",
       "<1335832320000004.1.00c0ffee00000004@example.jp> MailNo1236_避難訓練\n"
       "kimura+notice@example.ne.jp [5.1.1] smtp; 550 5.1.1 宛先のメールボックスは存在しません"},
      {"qmail",
       "<1335832340000005.1.00c0ffee00000005@example.jp> MailNo1236_避難訓練\n"
       "yamamoto@example.net [5.1.1] Sorry, no mailbox here by that name. (#5.1.1)\n"
       "Hayashi@remote.example.org [5.1.1] 198.51.100.7 does not like recipient. Remote host said: 550 5.1.1 "
       "<Hayashi@remote.example.org>... User unknown Giving up on 198.51.100.7."},
      {"exim",
       "<1335832380000006.1.00c0ffee00000006@example.jp> MailNo1234_来週の会議について\n"
       "mori@example.org [5.1.1] SMTP error from remote mail server after RCPT TO:<mori@example.org>: "
       "host mail.example.org [203.0.113.5]: 550 5.1.1 <mori@example.org>: Recipient address rejected: User unknown\n"
       "oda@example.org [] Unrouteable address"},
      {"sendmail_mixed",  // not from MAILER-DAEMON, but automatic with a bounce's subject; the message attached
       "<1335832440000007.1.00c0ffee00000007@example.jp> MailNo1235_健康診断のお知らせ\n"
       "nishida@example.com [5.1.1] 550 5.1.1 <nishida@example.com>... User unknown"},
      {"read_receipt", ""},
      {"out_of_office", ""},         // quotes the notice and names an address, but is no bounce
      {"reply_quoting_bounce", ""},  // a staff member's forward of a bounce
      {"delay_only", ""},
      {"untied", ""},  // a bounce without the returned message: which notice?
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string raw = test::ReadFile(std::string(ZENTAVO_TEST_DATA "/mail/bounces/") + row.name + ".eml");
    EXPECT_EQ(Shown(ReadDeliveryReport(raw)), row.shown);
  }
}

// A report or a bounce naming 150 failed recipients gives the first 100.
TEST(DeliveryReport, FailedRecipientsAreBoundedTable) {
  std::string report =
      "From: MAILER-DAEMON@mx.example.org\r\nContent-Type: multipart/report; boundary=b\r\n\r\n"
      "--b\r\nContent-Type: message/delivery-status\r\n\r\nReporting-MTA: dns; mx\r\n";
  std::string exim = "From: MAILER-DAEMON@mx.example.org\r\n\r\nThe following address(es) failed:\r\n\r\n";
  for (int i = 1; i <= 150; ++i) {
    report += "\r\nFinal-Recipient: rfc822; r" + std::to_string(i) + "@example.org\r\nAction: failed\r\n";
    exim += "  r" + std::to_string(i) + "@example.org\r\n    Unrouteable address\r\n";
  }
  report += "--b--\r\n";
  exim += "\r\n------ This is a copy of the message's headers. ------\r\n\r\nSubject: MailNo1234\r\n";
  const std::pair<const char*, std::string> rows[] = {{"report", report}, {"exim", exim}};
  for (const auto& [name, raw] : rows) {
    SCOPED_TRACE(name);
    const std::optional<DeliveryReport> read = ReadDeliveryReport(raw);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->failed.size(), 100u);
    EXPECT_EQ(read->failed.back().address, "r100@example.org");
  }
}

}  // namespace
}  // namespace zentavo
