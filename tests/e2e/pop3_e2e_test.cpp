// The POP3 session against the stack's Dovecot, with the mail delivered by
// its Postfix: every message comes back as it was sent, and the server
// numbers what is left afresh after QUIT, and only after QUIT.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/MailStack.h"
#include "net/Pop3Transport.h"
#include "net/SmtpTransport.h"

namespace zentavo::e2e {
namespace {

TEST(Pop3E2E, RetrievesWhatWasDeliveredAndDeletesOnlyOnQuit) {
  const MailStack stack = MailStack::FromEnvironment();
  if (!stack.unavailable.empty()) GTEST_SKIP() << "no mail stack: " << stack.unavailable;
  PocoPop3Transport pop3({5000, 15000});
  const Pop3Account account{stack.pop3Host, stack.pop3Port, stack.reader(), stack.password, {}};
  std::unique_ptr<Mailbox> box = pop3.Open(account);  // what an earlier run left goes first
  for (int n = box->Count(); n > 0; --n) EXPECT_TRUE(box->Delete(n));
  box->Quit();

  // Lines of only "." and "..", dot-stuffed twice on the way, and 8-bit text.
  const std::string marker = UniqueMarker("pop3");
  std::vector<std::string> sent;
  for (const std::string n : {"1", "2", "3", "4"}) {
    sent.push_back("From: " + stack.office() + "\r\nTo: " + stack.reader() + "\r\nSubject: " + marker + " " + n +
                   "\r\nDate: Sun, 06 Dec 2026 09:00:00 +0900\r\nMessage-ID: <" + marker + "." + n + "@" +
                   stack.domain + ">\r\n\r\n.\r\n..\r\n.x\r\n\x8a\xbf\x8e\x9a " + n + "\r\n");
    PocoSmtpTransport().Send({stack.smtpHost, stack.smtpPort, stack.office(), stack.password, {}},
                             {stack.office(), {stack.reader()}}, sent.back());
  }
  ASSERT_EQ(stack.Await(stack.reader(), marker, 4).size(), 4u);

  box = pop3.Open(account);
  ASSERT_EQ(box->Count(), 4);
  std::vector<std::string> held;  // the server's messages 1 to 4, in its order
  for (int n = 1; n <= 4; ++n) held.push_back(box->Retrieve(n).value_or("none"));
  EXPECT_EQ(box->Retrieve(5), std::nullopt);
  // Each one exactly as sent, below the trace fields Postfix put on top.
  for (const std::string& message : sent)
    EXPECT_EQ(std::count_if(held.begin(), held.end(), [&](auto& h) { return h.ends_with("\r\n" + message); }), 1)
        << message;
  EXPECT_TRUE(box->Delete(1));
  box.reset();  // dropped without QUIT: the deletion is forgotten

  box = pop3.Open(account);
  EXPECT_EQ(box->Count(), 4);
  EXPECT_TRUE(box->Delete(2));
  EXPECT_TRUE(box->Delete(3));
  box->Quit();

  box = pop3.Open(account);
  EXPECT_EQ(box->Count(), 2);
  EXPECT_EQ(box->Retrieve(1), held[0]);
  EXPECT_EQ(box->Retrieve(2), held[3]);
  box->Quit();
}

}  // namespace
}  // namespace zentavo::e2e
