// The SMTP session against the real stack: Postfix authenticates the office
// through Dovecot, delivers into the staff maildirs, and Dovecot hands the
// mail back over POP3.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "e2e/MailStack.h"
#include "send/SmtpSession.h"

namespace zentavo::e2e {
namespace {

class SmtpE2E : public ::testing::Test {
 protected:
  void SetUp() override { stack = MailStack::FromEnvironment(); }

  // A message as the send run hands it over: header and body, CR LF, not
  // dot-stuffed; blind-copy recipients appear in no header.
  std::string Message(const std::string& marker, const std::string& body) const {
    return "From: " + stack.office() + "\r\n" +
           "Subject: MailNo1000_" + marker + "\r\n"
           "Date: Sun, 06 Dec 2026 09:00:00 +0900\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
           "\r\n" + body;
  }

  static auto AtLeastOne() {
    return [](const std::vector<std::string>& found) { return !found.empty(); };
  }

  MailStack stack;
  PocoSmtpTransport transport{SmtpTimeouts{5000, 15000}};
};

TEST_F(SmtpE2E, BlindCopiesReachEachStaffMailboxOnceAndNameNobodyElse) {
  const std::string marker = UniqueMarker("bcc");
  // Lines that a careless client would lose or take for the end of the data.
  const std::string body = "first line\r\n.\r\n.hidden\r\n..two\r\nlast line\r\n";
  const std::vector<std::string> staff = {stack.staff()[0], stack.staff()[1], stack.staff()[2]};

  transport.Send(stack.Account(), {stack.office(), staff}, Message(marker, body));

  for (const auto& user : staff) {
    SCOPED_TRACE(user);
    auto found = stack.Await(user, marker, AtLeastOne());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(BodyOf(found[0]), body);
    const std::string header = HeaderOf(found[0]);
    EXPECT_NE(header.find("Subject: MailNo1000_" + marker + "\r\n"), std::string::npos);
    for (const auto& other : staff)
      if (other != user) {
        EXPECT_EQ(header.find(other), std::string::npos) << other << " named in\n" << header;
      }
    EXPECT_EQ(header.find("Bcc"), std::string::npos) << header;
  }
  // The office was only the sender: no copy came back to it.
  EXPECT_TRUE(stack.Await(stack.office(), marker, AtLeastOne(), std::chrono::milliseconds(0)).empty());
}

TEST_F(SmtpE2E, WrongPasswordIsRefused) {
  SmtpAccount account = stack.Account();
  account.password += "x";
  EXPECT_THROW(transport.Send(account, {stack.office(), {stack.staff()[0]}}, Message(UniqueMarker("pw"), "x\r\n")),
               SmtpError);
}

TEST_F(SmtpE2E, WithoutAUserNameTheServerRefusesToRelay) {
  // The stack accepts mail only from authenticated clients, so a delivery in
  // the other tests shows that AUTH LOGIN really took place.
  SmtpAccount account = stack.Account();
  account.user.clear();
  EXPECT_THROW(transport.Send(account, {stack.office(), {stack.staff()[0]}}, Message(UniqueMarker("anon"), "x\r\n")),
               SmtpError);
}

TEST_F(SmtpE2E, UnknownRecipientStopsTheWholeBatch) {
  const std::string refused = UniqueMarker("refused");
  const std::string user = stack.staff()[3];
  EXPECT_THROW(transport.Send(stack.Account(), {stack.office(), {user, "nobody@" + stack.domain}},
                              Message(refused, "never delivered\r\n")),
               SmtpError);

  // A later message to the same user arrives; the refused one never does.
  const std::string later = UniqueMarker("later");
  transport.Send(stack.Account(), {stack.office(), {user}}, Message(later, "delivered\r\n"));
  ASSERT_EQ(stack.Await(user, later, AtLeastOne()).size(), 1u);
  EXPECT_TRUE(stack.Await(user, refused, AtLeastOne(), std::chrono::milliseconds(0)).empty());
}

}  // namespace
}  // namespace zentavo::e2e
