// The SMTP session against a scripted server: every line the client sends is
// checked against the transcript, and every failure must end in SmtpError
// within the time-outs, never in a hang or a crash.
#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "net/SmtpTransport.h"
#include "support/ScriptedServer.h"

namespace zentavo {
namespace {

using test::Script;
using test::ScriptedServer;
using test::operator+;

const Script kGreeting = {"S: 220 mail.test ESMTP"};
const Script kEhlo = {"C: EHLO client.test", "S: 250 mail.test"};
const Script kEhloAuth = {"C: EHLO client.test", "S: 250-mail.test", "S: 250-PIPELINING", "S: 250 AUTH PLAIN LOGIN"};
// "staff1" and "s3cret!" in Base64.
const Script kAuthUser = {"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: c3RhZmYx", "S: 334 UGFzc3dvcmQ6"};
const Script kAuth = kAuthUser + Script{"C: czNjcmV0IQ==", "S: 235 2.7.0 Authentication successful"};
const Script kMailFrom = {"C: RSET", "S: 250 2.0.0 Ok", "C: MAIL FROM:<office@example.test>", "S: 250 2.1.0 Ok"};
const Script kEnvelope = kMailFrom + Script{"C: RCPT TO:<staff1@example.test>", "S: 250 2.1.5 Ok",
                                            "C: RCPT TO:<staff2@example.test>", "S: 250 2.1.5 Ok"};
const Script kData = {"C: DATA", "S: 354 End data with <CR><LF>.<CR><LF>"};
const Script kText = {"C: Subject: test", "C: ", "C: body", "C: ."};  // kMessage on the wire
const Script kQueued = {"S: 250 2.0.0 Ok: queued as 1A2B3C"};
const Script kQuit = {"C: QUIT", "S: 221 2.0.0 Bye"};
const Script kDelivery = kEnvelope + kData + kText + kQueued + kQuit;
const Script kReset = {"C: RSET", "S: 250 2.0.0 Ok"};
// Where the server offers PIPELINING the envelope goes out in one write and
// its replies come after it.
const Script kGroup = {"C: RSET",
                       "C: MAIL FROM:<office@example.test>",
                       "C: RCPT TO:<staff1@example.test>",
                       "C: RCPT TO:<staff2@example.test>",
                       "S: 250 2.0.0 Ok",
                       "S: 250 2.1.0 Ok"};
const Script kPipelined = kGroup + Script{"S: 250 2.1.5 Ok", "S: 250 2.1.5 Ok"} + kData + kText + kQueued + kQuit;
const std::string kRefused1 = "550 5.1.1 <staff1@example.test>: Recipient address rejected: User unknown";

const std::string kMessage = "Subject: test\r\n\r\nbody\r\n";
const SmtpEnvelope kTwoStaff = {"office@example.test", {"staff1@example.test", "staff2@example.test"}};

PocoSmtpTransport Transport(int replyMs = 3000) { return PocoSmtpTransport({3000, replyMs}, "client.test"); }

SmtpAccount Account(const ScriptedServer& server, const std::string& user = "staff1") {
  return {"127.0.0.1", server.port(), user, "s3cret!", {}};
}

const std::vector<std::string> kKept;  // what Finish() reports of a client that kept to the script

// Every line the client sends is the transcript's, and a failure ends in the
// step with the server's reply and whether the message was handed over.
TEST(SmtpSession, KeepsToTheTranscriptAndFailsWithTheServersReply) {
  std::string big = "Subject: big\r\n\r\n";
  for (int i = 0; i < 200000; ++i) big += "0123456789012345678901234567890123456789012345678901234567\r\n";
  struct Case {
    const char* name;
    Script script;
    std::string inError = "";  // none when the send goes through
    bool handedOver = false;
    std::string data = kMessage, user = "";
    SmtpEnvelope envelope = kTwoStaff;
    ConnectionSecurity security = {};
    bool offered = false;  // the server offered STARTTLS before it failed: held to it
  };
  const Script helo = {"C: HELO client.test", "S: 250 mail.test"};
  std::string endless;  // "250-" lines of 100 kB in all, sent at once
  for (int i = 0; i < 1000; ++i) endless += "250-" + std::string(96, 'x') + (i < 999 ? "\r\n" : "");
  const Script upToText = kGreeting + kEhlo + kEnvelope + kData + kText;
  const auto passwordAnswered = [](const std::string& reply) {
    return kGreeting + kEhloAuth + kAuthUser + Script{"C: czNjcmV0IQ==", "S: " + reply};
  };
  // clang-format off
  const Case cases[] = {
      // In clear AUTH LOGIN when offered (also in the old AUTH= form), else
      // AUTH PLAIN; none without a user name, nor where the server offers
      // no AUTH (it relays by address); a server that offers only what this
      // program cannot use is told before it could refuse the recipients.
      {.name = "login where offered", .script = kGreeting + kEhloAuth + kAuth + kPipelined, .user = "staff1"},
      {.name = "login in the old AUTH= form",
       .script = kGreeting + Script{"C: EHLO client.test", "S: 250 AUTH=LOGIN"} + kAuth + kDelivery, .user = "staff1"},
      {.name = "no AUTH offered: relayed by address", .script = kGreeting + kEhlo + kDelivery, .user = "staff1"},
      {.name = "only logins it cannot use",
       .script = kGreeting + Script{"C: EHLO client.test", "S: 250-mail.test", "S: 250 AUTH CRAM-MD5"},
       .inError = "offers no login this program can use", .user = "staff1"},
      {.name = "AUTH PLAIN without LOGIN",
       .script = kGreeting + Script{"C: EHLO client.test", "S: 250-mail.test", "S: 250-AUTH PLAIN CRAM-MD5 XLOGIN",
                                    "S: 250 X-LOGIN", "C: AUTH PLAIN AHN0YWZmMQBzM2NyZXQh",
                                    "S: 235 2.7.0 Ok"} + kDelivery,
       .user = "staff1"},
      {.name = "no user name: no login", .script = kGreeting + kEhloAuth + kPipelined},
      // Where TLS is wanted nothing of the login crosses before it: a server
      // that does not offer STARTTLS (or no longer does) is left, and one
      // that refuses it is not logged in to in clear.
      {.name = "STARTTLS wanted, not offered", .script = kGreeting + kEhloAuth, .inError = "does not offer STARTTLS",
       .user = "staff1",
       .security = {Security::StartTls, false, ""}},
      {.name = "held to STARTTLS, not offered", .script = kGreeting + kEhloAuth, .inError = "does not offer STARTTLS",
       .user = "staff1",
       .security = {Security::Automatic, true, ""}},
      {.name = "STARTTLS refused",
       .script = kGreeting + Script{"C: EHLO client.test", "S: 250-mail.test", "S: 250-STARTTLS", "S: 250 AUTH LOGIN",
                                    "C: STARTTLS", "S: 454 4.7.0 TLS not available"},
       .inError = "STARTTLS refused: 454", .user = "staff1", .offered = true},
      {.name = "EHLO refused where TLS is wanted",
       .script = kGreeting + Script{"C: EHLO client.test", "S: 451 4.3.0 try HELO"},
       .inError = "does not offer STARTTLS",
       .user = "staff1", .security = {Security::StartTls, false, ""}},
      // EHLO refused for now: HELO, and no login (refused for good: the HELO
      // row below).
      {.name = "EHLO refused for now: HELO",
       .script = kGreeting + Script{"C: EHLO client.test", "S: 451 4.3.0 try HELO"} + helo + kDelivery,
       .user = "staff1"},
      // A reply is bounded in all, however it is cut into lines.
      {.name = "endless reply",
       .script = kGreeting + Script{"C: EHLO client.test", "S: 250-mail.test", "S: " + endless},
       .inError = "EHLO: reply longer than"},
      // Bytes after the answer to STARTTLS are no part of the handshake.
      {.name = "bytes after the STARTTLS answer",
       .script = kGreeting + Script{"C: EHLO client.test", "S: 250 STARTTLS", "C: STARTTLS",
                                    "S: 220 go ahead\r\n250 AUTH PLAIN"},
       .inError = "sent more before the TLS handshake", .offered = true},
      // To before the blind copies; 251 accepted.
      {.name = "To before the blind copies, 251",
       .script = kGreeting + kEhlo + kMailFrom + Script{"C: RCPT TO:<office@example.test>", "S: 250 Ok",
                 "C: RCPT TO:<b@example.test>", "S: 251 User not local; will forward", "C: RCPT TO:<a@example.test>",
                 "S: 250 Ok"} + kData + kText + kQueued + kQuit,
       .envelope = {"office@example.test", {"office@example.test", "b@example.test", "a@example.test"}}},
      // Lines starting with a dot doubled, a missing line end added.
      {.name = "dots doubled, line end added",
       .script = kGreeting + kEhlo + kEnvelope + kData + Script{"C: ..top", "C: Subject: dots", "C: ", "C: ..",
                 "C: ..x", "C: end.", "C: ...", "C:  .", "C: last", "C: ."} + kQueued + kQuit,
       .data = ".top\r\nSubject: dots\r\n\r\n.\r\n.x\r\nend.\r\n..\r\n .\r\nlast"},
      // QUIT refused or unanswered after delivery: delivered all the same.
      {"QUIT refused after delivery", upToText + kQueued + Script{"C: QUIT", "S: 500 5.5.2 what?"}},
      {"QUIT unanswered after delivery", upToText + kQueued + Script{"C: QUIT", "CLOSE"}},
      {"greeting refused", {"S: 554 5.3.2 not accepting mail"}, "greeting refused: 554 5.3.2 not accepting mail"},
      {"closed after EHLO", kGreeting + Script{"C: EHLO client.test", "S: 250-mail.test", "S: 250-PIPELINING", "CLOSE"},
       "EHLO: connection closed by the server"},
      {"EHLO time-out", kGreeting + Script{"C: EHLO client.test", "STALL"}, "EHLO: time-out"},
      {"HELO refused",
       kGreeting + Script{"C: EHLO client.test", "S: 500 unknown", "C: HELO client.test", "S: 501 5.5.2 bad name"},
       "HELO refused: 501 5.5.2 bad name"},
      {.name = "AUTH LOGIN refused", .script = kGreeting + kEhloAuth + Script{"C: AUTH LOGIN", "S: 504 5.5.4 not now"},
       .inError = "AUTH LOGIN refused: 504 5.5.4", .user = "staff1"},
      {.name = "password refused", .script = passwordAnswered("535 5.7.8 Error: authentication failed"),
       .inError = "535 5.7.8 Error: authentication failed", .user = "staff1"},
      // No error carries the credentials, not even where the server quotes them.
      {.name = "user name quoted back",
       .script = kGreeting + kEhloAuth + Script{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: c3RhZmYx",
                                                "S: 535 5.7.8 unknown user c3RhZmYx"},
       .inError = "535 5.7.8", .user = "staff1"},
      {.name = "password quoted back", .script = passwordAnswered("535 5.7.8 czNjcmV0IQ== (s3cret!) is wrong"),
       .inError = "535 5.7.8", .user = "staff1"},
      {.name = "password glued to the code", .script = passwordAnswered("535czNjcmV0IQ=="), .inError = "535",
       .user = "staff1"},
      // Nothing begun that a reset would undo.
      {"sender refused", kGreeting + kEhlo + Script{"C: RSET", "S: 250 Ok", "C: MAIL FROM:<office@example.test>",
                                  "S: 553 5.7.1 Sender address rejected"},
       "MAIL FROM refused: 553 5.7.1 Sender address rejected"},
      // The first refused recipient stops the batch: no second RCPT, no DATA.
      {"recipient refused", kGreeting + kEhlo + kMailFrom + Script{"C: RCPT TO:<staff1@example.test>",
           "S: 550 5.1.1 <staff1@example.test>: Recipient address rejected: User unknown"} + kReset,
       "RCPT TO refused: 550 5.1.1 <staff1@example.test>: Recipient address rejected: User unknown"},
      // In a pipeline too the first refusal fails the batch, once the
      // replies written after it are read; a broken connection hears no RSET.
      {"pipelined recipient refused",
       kGreeting + kEhloAuth + kGroup + Script{"S: " + kRefused1, "S: 450 4.2.0 <staff2@example.test>: busy"} + kReset,
       "RCPT TO refused: " + kRefused1},
      {"pipelined refusal, then closed", kGreeting + kEhloAuth + kGroup + Script{"S: " + kRefused1, "CLOSE"},
       "RCPT TO refused: " + kRefused1},
      {"pipelined sender refused",
       kGreeting + kEhloAuth + Script(kGroup.begin(),
       kGroup.end() - 1) + Script{"S: 553 5.7.1 Sender address rejected"},
       "MAIL FROM refused: 553 5.7.1"},
      {"no valid recipients",
       kGreeting + kEhlo + kEnvelope + Script{"C: DATA", "S: 554 5.5.1 Error: no valid recipients"} + kReset,
       "DATA refused: 554 5.5.1 Error: no valid recipients"},
      // Too large for the socket buffers (loopback's grow to a few MB): it
      // fails while it is written, without killing the process by SIGPIPE.
      {"too big for the socket", kGreeting + kEhlo + kEnvelope + kData + Script{"C: Subject: big", "CLOSE"},
       "message: ", false, big},
      {"message refused", upToText + Script{"S: 552 5.3.4 Message too big"} + kReset,
       "message refused: 552 5.3.4 Message too big",
       true},
      {"closed during the message", upToText + Script{"CLOSE"}, "message: connection closed by the server", true},
      // Nobody would answer a RSET now.
      {"time-out after the message", upToText + Script{"STALL"}, "message: time-out", true},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server(c.script);
    const auto start = std::chrono::steady_clock::now();
    std::optional<SmtpError> error;
    SmtpAccount account = Account(server, c.user);
    account.security = c.security;
    try {
      Transport(1000).Send(account, c.envelope, c.data);
    } catch (const SmtpError& e) { error = e; }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(server.Finish(), kKept);
    const std::string what = error ? error->what() : "went through";
    EXPECT_EQ(error.has_value(), !c.inError.empty()) << what;
    if (!error) continue;
    EXPECT_NE(what.find(c.inError), std::string::npos) << what;
    EXPECT_EQ(error->messageHandedOver, c.handedOver) << what;
    EXPECT_EQ(error->offeredUpgrade, c.offered) << what;
    // What the operator can act on is said in their words too.
    EXPECT_EQ(error->notice.empty(), c.inError.find("offer") == std::string::npos) << what;
    for (const char* secret : {"s3cret!", "czNjcmV0IQ==", "c3RhZmYx"})
      EXPECT_EQ(what.find(secret), std::string::npos) << what;
  }
}

// Only the closed port is tried; the listener hears nobody.
TEST(SmtpSession, ClosedPortBadPortOrLineBreakInAnAddressFails) {
  Poco::Net::ServerSocket listener(Poco::Net::SocketAddress("127.0.0.1", 0));
  const std::string port = std::to_string(listener.address().port());
  const std::string closed =  // a port that was free a moment ago and is closed again
      std::to_string(Poco::Net::ServerSocket(Poco::Net::SocketAddress("127.0.0.1", 0)).address().port());
  // clang-format off
  const struct { std::string port; SmtpEnvelope envelope = kTwoStaff; } cases[] = {
      {""}, {"0"}, {"65536"}, {"25a"}, {" 25"}, {"+25"}, {"0x19"}, {"123456"}, {closed},
      {port, {"office@example.test\r\nRCPT TO:<x@evil.test>", {"a@example.test"}}},
      {port, {"office@example.test", {"a@example.test", "b@example.test\nDATA"}}},
  };
  // clang-format on
  for (const auto& [portText, envelope] : cases)
    EXPECT_THROW(Transport().Send({"127.0.0.1", portText, "", "", {}}, envelope, kMessage), SmtpError) << portText;
  EXPECT_FALSE(listener.poll(Poco::Timespan(0, 100 * 1000), Poco::Net::Socket::SELECT_READ));
}

TEST(SmtpSession, NextSendConnectsAfreshAfterAFailure) {
  ScriptedServer server(Script{"S: 421 4.3.2 try again later", "ACCEPT"} + kGreeting + kEhlo + kDelivery);
  PocoSmtpTransport transport = Transport();
  EXPECT_THROW(transport.Send(Account(server, ""), kTwoStaff, kMessage), SmtpError);
  EXPECT_NO_THROW(transport.Send(Account(server, ""), kTwoStaff, kMessage));
  EXPECT_EQ(server.Finish(), kKept);  // a second connection, the script's ACCEPT
}

}  // namespace
}  // namespace zentavo
