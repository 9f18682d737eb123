// The sessions under TLS against the stack's Postfix and Dovecot, through a
// relay that records what crossed the wire: every mode delivers and
// receives with the password never in clear, certificates that cannot be
// verified are refused unless the operator trusted that very one, and a
// server stripped of STARTTLS or STLS on the way is left before the login.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "base/Base64.h"
#include "e2e/MailStack.h"
#include "net/Pop3Transport.h"
#include "net/SmtpTransport.h"
#include "support/RecordingRelay.h"

namespace zentavo::e2e {
namespace {

using test::RecordingRelay;

// No form of the password crossed in clear: as typed, in Base64 alone
// (AUTH LOGIN) or with the user name (AUTH PLAIN).
void ExpectNoPasswordIn(const std::string& wire, const MailStack& stack, const std::string& user) {
  for (const std::string& secret : {stack.password, EncodeBase64(stack.password),
                                    EncodeBase64(std::string(1, '\0') + user + '\0' + stack.password)})
    EXPECT_EQ(wire.find(secret), std::string::npos) << secret;
}

class TlsE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    stack = MailStack::FromEnvironment();
    if (!stack.unavailable.empty()) GTEST_SKIP() << "no mail stack: " << stack.unavailable;
  }
  SessionSecurity Send(const std::string& port, ConnectionSecurity security, const std::string& subject,
                       const std::string& to, const std::string& host = "127.0.0.1") {
    const std::string message = "From: " + stack.office() + "\r\nTo: " + to + "\r\nSubject: " + subject +
                                "\r\nMessage-ID: <" + subject + "@" + stack.domain + ">\r\n\r\nbody\r\n";
    return PocoSmtpTransport({5000, 15000})
        .Send({host, port, stack.office(), stack.password, security}, {stack.office(), {to}}, message);
  }
  MailStack stack;
};

TEST_F(TlsE2E, EveryModeDeliversAndReceivesWithThePasswordNeverInClear) {
  const std::string marker = UniqueMarker("tls");
  struct Mode {
    std::string port;
    ConnectionSecurity security;
  };
  const Mode smtp[] = {{stack.smtpStartTlsPort, {}},
                       {stack.smtpStartTlsPort, {Security::StartTls, false, ""}},
                       {stack.smtpsPort, {Security::Tls, false, ""}}};
  for (const auto& s : smtp) {
    RecordingRelay relay("127.0.0.1", s.port);
    const SessionSecurity used = Send(relay.port(), s.security, marker, stack.staff(0));
    EXPECT_TRUE(used.tls) << s.port;
    EXPECT_TRUE(used.version.starts_with("TLSv1.")) << used.version;
    ExpectNoPasswordIn(relay.FromClients(), stack, stack.office());
  }
  ASSERT_EQ(stack.Await(stack.staff(0), marker, 3).size(), 3u);

  const Mode pop3[] = {{stack.pop3Port, {}},
                       {stack.pop3Port, {Security::StartTls, false, ""}},
                       {stack.pop3sPort, {Security::Tls, false, ""}}};
  for (const auto& p : pop3) {
    RecordingRelay relay("127.0.0.1", p.port);
    std::unique_ptr<Mailbox> box =
        PocoPop3Transport({5000, 15000}).Open({"127.0.0.1", relay.port(), stack.staff(0), stack.password, p.security});
    EXPECT_GE(box->Count(), 3);
    EXPECT_TRUE(box->Security().tls) << p.port;
    EXPECT_EQ(box->Security().offeredUpgrade, p.port == stack.pop3Port);
    box->Quit();
    ExpectNoPasswordIn(relay.FromClients(), stack, stack.staff(0));
  }
}

TEST_F(TlsE2E, UnverifiedCertificatesAreRefusedUnlessTrusted) {
  // Signed by the right CA for another name.
  std::optional<SmtpError> error;
  try {
    Send(stack.smtpsWrongNamePort, {Security::Tls, false, ""}, UniqueMarker("name"), stack.staff(1));
  } catch (const SmtpError& e) { error = e; }
  ASSERT_TRUE(error && error->certificate) << (error ? error->what() : "went through");
  EXPECT_EQ(error->certificate->reason, "IP address mismatch");
  EXPECT_EQ(error->certificate->server, "127.0.0.1:" + stack.smtpsWrongNamePort);
  // The operator trusted exactly this certificate: it goes through.
  EXPECT_TRUE(Send(stack.smtpsWrongNamePort, {Security::Tls, false, error->certificate->fingerprint},
                   UniqueMarker("trusted"), stack.staff(1))
                  .tls);
  EXPECT_THROW(Send(stack.smtpsWrongNamePort, {Security::Tls, false, "00:11"}, UniqueMarker("other"), stack.staff(1)),
               SmtpError);

  // An address in any spelling the resolver takes is checked as an
  // address: the certificate for another name is refused, the one that
  // names 127.0.0.1 is taken.
  for (const char* host : {"127.1", "2130706433", "0x7f000001"}) {
    try {
      Send(stack.smtpsWrongNamePort, {Security::Tls, false, ""}, UniqueMarker("spelling"), stack.staff(1), host);
      ADD_FAILURE() << host << " went through";
    } catch (const SmtpError& e) {
      EXPECT_TRUE(e.certificate && e.certificate->reason == "IP address mismatch") << host << ": " << e.what();
    }
    EXPECT_TRUE(Send(stack.smtpsPort, {Security::Tls, false, ""}, UniqueMarker("spelling"), stack.staff(1), host).tls);
  }

  // A CA the machine does not trust, for SMTP and POP3 alike.
  const std::string trusted = std::getenv("SSL_CERT_FILE") ? std::getenv("SSL_CERT_FILE") : "";
  setenv("SSL_CERT_FILE", stack.otherCaFile.c_str(), 1);
  std::string reasons;
  try {
    Send(stack.smtpsPort, {Security::Tls, false, ""}, UniqueMarker("ca"), stack.staff(1));
  } catch (const SmtpError& e) { reasons += e.certificate ? e.certificate->reason : e.what(); }
  try {
    PocoPop3Transport().Open(
        {"127.0.0.1", stack.pop3sPort, stack.staff(1), stack.password, {Security::Tls, false, ""}});
  } catch (const Pop3Error& e) { reasons += std::string("|") + (e.certificate ? e.certificate->reason : e.what()); }
  setenv("SSL_CERT_FILE", trusted.c_str(), 1);
  EXPECT_EQ(reasons, "unable to get local issuer certificate|unable to get local issuer certificate");
}

TEST_F(TlsE2E, AStrippedUpgradeEndsTheSessionBeforeTheLogin) {
  // Someone on the path drops STARTTLS (STLS) from the server's offer, to a
  // client that was told to upgrade or has seen the server offer it.
  for (const ConnectionSecurity& security :
       {ConnectionSecurity{Security::StartTls, false, ""}, ConnectionSecurity{Security::Automatic, true, ""}}) {
    RecordingRelay smtp("127.0.0.1", stack.smtpStartTlsPort, RecordingRelay::DropLine("250-STARTTLS"));
    try {
      Send(smtp.port(), security, UniqueMarker("strip"), stack.staff(2));
      ADD_FAILURE() << "went through";
    } catch (const SmtpError& e) { EXPECT_FALSE(e.notice.empty()) << e.what(); }
    EXPECT_EQ(smtp.FromClients().find("AUTH"), std::string::npos) << smtp.FromClients();

    RecordingRelay pop3("127.0.0.1", stack.pop3Port, RecordingRelay::DropLine("STLS"));
    EXPECT_THROW(PocoPop3Transport().Open({"127.0.0.1", pop3.port(), stack.staff(2), stack.password, security}),
                 Pop3Error);
    EXPECT_EQ(pop3.FromClients().find("PASS"), std::string::npos) << pop3.FromClients();
  }
}

}  // namespace
}  // namespace zentavo::e2e
