// The SMTP session against a scripted server: every line the client sends is
// checked against the transcript, and every failure must end in SmtpError
// within the time-outs, never in a hang or a crash.
#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#include "send/SmtpSession.h"
#include "support/ScriptedSmtpServer.h"

namespace zentavo {
namespace {

using test::ScriptedSmtpServer;
using Script = std::vector<std::string>;

Script Join(std::initializer_list<Script> pieces) {
  Script all;
  for (const auto& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
  return all;
}

const Script kGreeting = {"S: 220 mail.test ESMTP"};

// EHLO answered with 250 and the given capability lines.
Script Ehlo(std::initializer_list<std::string> capabilities) {
  Script s = {"C: EHLO client.test"};
  if (capabilities.size() == 0) {
    s.push_back("S: 250 mail.test");
    return s;
  }
  s.push_back("S: 250-mail.test");
  std::size_t i = 0;
  for (const auto& cap : capabilities) s.push_back((++i < capabilities.size() ? "S: 250-" : "S: 250 ") + cap);
  return s;
}

Script AuthLogin(const std::string& user64, const std::string& password64) {
  return {"C: AUTH LOGIN",  "S: 334 VXNlcm5hbWU6", "C: " + user64,
          "S: 334 UGFzc3dvcmQ6", "C: " + password64, "S: 235 2.7.0 Authentication successful"};
}

Script Envelope(const std::string& from, std::initializer_list<std::string> recipients) {
  Script s = {"C: RSET", "S: 250 2.0.0 Ok", "C: MAIL FROM: <" + from + ">", "S: 250 2.1.0 Ok"};
  for (const auto& to : recipients) {
    s.push_back("C: RCPT TO:<" + to + ">");
    s.push_back("S: 250 2.1.5 Ok");
  }
  return s;
}

// DATA, the message lines as they must arrive, the final "." and its 250.
Script Data(std::initializer_list<std::string> wireLines) {
  Script s = {"C: DATA", "S: 354 End data with <CR><LF>.<CR><LF>"};
  for (const auto& line : wireLines) s.push_back("C: " + line);
  s.push_back("C: .");
  s.push_back("S: 250 2.0.0 Ok: queued as 1A2B3C");
  return s;
}

const Script kQuit = {"C: QUIT", "S: 221 2.0.0 Bye"};

const std::string kMessage = "From: office@example.test\r\nSubject: test\r\n\r\nbody\r\n";
const std::initializer_list<std::string> kMessageLines = {"From: office@example.test", "Subject: test", "",
                                                          "body"};

PocoSmtpTransport Transport(int replyMs = 3000) { return PocoSmtpTransport({3000, replyMs}, "client.test"); }

SmtpAccount Account(const ScriptedSmtpServer& server, std::string user = "", std::string password = "") {
  return {"127.0.0.1", server.port(), std::move(user), std::move(password)};
}

SmtpEnvelope OneRecipient() { return {"office@example.test", {"staff1@example.test"}}; }

#define EXPECT_SCRIPT_KEPT(server)                      \
  do {                                                  \
    auto failures = (server).Finish();                  \
    EXPECT_TRUE(failures.empty()) << failures.front();  \
  } while (0)

// --- greeting and authentication -------------------------------------------

TEST(SmtpGreeting, AuthLoginSendsBase64UserAndPasswordWhenOffered) {
  ScriptedSmtpServer server(Join({kGreeting, Ehlo({"PIPELINING", "AUTH PLAIN LOGIN", "8BITMIME"}),
                                  AuthLogin("c3RhZmYx", "czNjcmV0IQ=="),
                                  Envelope("office@example.test", {"staff1@example.test"}),
                                  Data(kMessageLines), kQuit}));
  Transport().Send(Account(server, "staff1", "s3cret!"), OneRecipient(), kMessage);
  EXPECT_SCRIPT_KEPT(server);
}

TEST(SmtpGreeting, OldStyleAuthEqualsLineCountsAsOffer) {
  ScriptedSmtpServer server(Join({kGreeting, Ehlo({"AUTH=LOGIN"}), AuthLogin("c3RhZmYx", "czNjcmV0IQ=="),
                                  Envelope("office@example.test", {"staff1@example.test"}),
                                  Data(kMessageLines), kQuit}));
  Transport().Send(Account(server, "staff1", "s3cret!"), OneRecipient(), kMessage);
  EXPECT_SCRIPT_KEPT(server);
}

TEST(SmtpGreeting, EhloRefusedFallsBackToHeloWithoutAuth) {
  // Any reply but 250 to EHLO, permanent or temporary, means HELO.
  for (const char* refusal : {"S: 502 5.5.2 Error: command not recognized", "S: 451 4.3.0 try HELO"}) {
    ScriptedSmtpServer server(Join({kGreeting,
                                    {"C: EHLO client.test", refusal, "C: HELO client.test", "S: 250 mail.test"},
                                    Envelope("office@example.test", {"staff1@example.test"}),
                                    Data(kMessageLines), kQuit}));
    Transport().Send(Account(server, "staff1", "s3cret!"), OneRecipient(), kMessage);
    EXPECT_SCRIPT_KEPT(server);
  }
}

TEST(SmtpGreeting, NoAuthLoginOfferedMeansNoAuthentication) {
  // No AUTH at all, AUTH without LOGIN (and a mechanism that merely contains
  // the word), and a user name left empty: each goes on unauthenticated.
  struct Case {
    std::initializer_list<std::string> capabilities;
    std::string user;
  };
  for (const Case& c : {Case{{"SIZE 10240000", "8BITMIME"}, "staff1"},
                        Case{{"AUTH PLAIN CRAM-MD5 XLOGIN", "X-LOGIN"}, "staff1"},
                        Case{{"AUTH PLAIN LOGIN"}, ""}}) {
    ScriptedSmtpServer server(Join({kGreeting, Ehlo(c.capabilities),
                                    Envelope("office@example.test", {"staff1@example.test"}),
                                    Data(kMessageLines), kQuit}));
    Transport().Send(Account(server, c.user, "s3cret!"), OneRecipient(), kMessage);
    EXPECT_SCRIPT_KEPT(server);
  }
}

TEST(SmtpGreeting, RejectedAuthenticationFailsBeforeTheEnvelope) {
  ScriptedSmtpServer server(Join({kGreeting, Ehlo({"AUTH LOGIN"}),
                                  {"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: c3RhZmYx", "S: 334 UGFzc3dvcmQ6",
                                   "C: czNjcmV0IQ==", "S: 535 5.7.8 Error: authentication failed"}}));
  EXPECT_THROW(Transport().Send(Account(server, "staff1", "s3cret!"), OneRecipient(), kMessage), SmtpError);
  EXPECT_SCRIPT_KEPT(server);
}

TEST(SmtpGreeting, RefusedGreetingOrHeloFails) {
  {
    ScriptedSmtpServer server({"S: 554 5.3.2 not accepting mail"});
    EXPECT_THROW(Transport().Send(Account(server), OneRecipient(), kMessage), SmtpError);
    EXPECT_SCRIPT_KEPT(server);
  }
  {
    ScriptedSmtpServer server(Join({kGreeting,
                                    {"C: EHLO client.test", "S: 500 unknown", "C: HELO client.test",
                                     "S: 501 bad name"}}));
    EXPECT_THROW(Transport().Send(Account(server), OneRecipient(), kMessage), SmtpError);
    EXPECT_SCRIPT_KEPT(server);
  }
}

// --- envelope --------------------------------------------------------------

TEST(SmtpEnvelope, RecipientsGoOutInOrderAnd251IsAccepted) {
  // The sender's own copy (To) first, then the batch's Bcc addresses in grid
  // order; 251 "will forward" counts as accepted.
  ScriptedSmtpServer server(Join({kGreeting, Ehlo({}),
                                  {"C: RSET", "S: 250 Ok", "C: MAIL FROM: <office@example.test>", "S: 250 Ok",
                                   "C: RCPT TO:<office@example.test>", "S: 250 Ok",
                                   "C: RCPT TO:<b@example.test>", "S: 251 User not local; will forward",
                                   "C: RCPT TO:<a@example.test>", "S: 250 Ok",
                                   "C: RCPT TO:<c@example.test>", "S: 250 Ok"},
                                  Data(kMessageLines), kQuit}));
  Transport().Send(Account(server),
                   {"office@example.test",
                    {"office@example.test", "b@example.test", "a@example.test", "c@example.test"}},
                   kMessage);
  EXPECT_SCRIPT_KEPT(server);
}

TEST(SmtpEnvelope, OneRefusedRecipientFailsTheBatchAndResets) {
  ScriptedSmtpServer server(Join({kGreeting, Ehlo({}),
                                  {"C: RSET", "S: 250 Ok", "C: MAIL FROM: <office@example.test>", "S: 250 Ok",
                                   "C: RCPT TO:<a@example.test>", "S: 250 Ok",
                                   "C: RCPT TO:<nobody@example.test>", "S: 550 5.1.1 User unknown",
                                   "C: RSET", "S: 250 Ok"}}));
  EXPECT_THROW(Transport().Send(Account(server),
                                {"office@example.test", {"a@example.test", "nobody@example.test", "c@example.test"}},
                                kMessage),
               SmtpError);
  EXPECT_SCRIPT_KEPT(server);  // no third RCPT, no DATA
}

TEST(SmtpEnvelope, RefusedDataOrMessageResets) {
  {
    ScriptedSmtpServer server(Join({kGreeting, Ehlo({}), Envelope("office@example.test", {"staff1@example.test"}),
                                    {"C: DATA", "S: 554 5.5.1 Error: no valid recipients", "C: RSET",
                                     "S: 250 Ok"}}));
    EXPECT_THROW(Transport().Send(Account(server), OneRecipient(), kMessage), SmtpError);
    EXPECT_SCRIPT_KEPT(server);
  }
  {
    Script script = Join({kGreeting, Ehlo({}), Envelope("office@example.test", {"staff1@example.test"}),
                          Data(kMessageLines)});
    script.back() = "S: 552 5.3.4 Message too big";
    script.push_back("C: RSET");
    script.push_back("S: 250 Ok");
    ScriptedSmtpServer server(script);
    EXPECT_THROW(Transport().Send(Account(server), OneRecipient(), kMessage), SmtpError);
    EXPECT_SCRIPT_KEPT(server);
  }
}

TEST(SmtpEnvelope, RefusedSenderFailsWithoutReset) {
  // Nothing was begun that a reset would undo: the transaction starts with
  // an accepted MAIL FROM.
  ScriptedSmtpServer server(Join({kGreeting, Ehlo({}),
                                  {"C: RSET", "S: 250 Ok", "C: MAIL FROM: <office@example.test>",
                                   "S: 553 5.7.1 Sender address rejected"}}));
  EXPECT_THROW(Transport().Send(Account(server), OneRecipient(), kMessage), SmtpError);
  EXPECT_SCRIPT_KEPT(server);
}

TEST(SmtpEnvelope, FailingQuitDoesNotUndoADeliveredMessage) {
  for (const Script& quit : {Script{"C: QUIT", "S: 500 5.5.2 what?"}, Script{"C: QUIT", "CLOSE"}}) {
    ScriptedSmtpServer server(Join({kGreeting, Ehlo({}), Envelope("office@example.test", {"staff1@example.test"}),
                                    Data(kMessageLines), quit}));
    EXPECT_NO_THROW(Transport().Send(Account(server), OneRecipient(), kMessage));
    EXPECT_SCRIPT_KEPT(server);
  }
}

TEST(SmtpEnvelope, LineBreakInAnAddressIsRefusedBeforeConnecting) {
  Poco::Net::ServerSocket listener(Poco::Net::SocketAddress("127.0.0.1", 0));
  SmtpAccount account{"127.0.0.1", std::to_string(listener.address().port()), "", ""};
  EXPECT_THROW(Transport().Send(account, {"office@example.test\r\nRCPT TO:<x@evil.test>", {"a@example.test"}},
                                kMessage),
               SmtpError);
  EXPECT_THROW(Transport().Send(account, {"office@example.test", {"a@example.test", "b@example.test\nDATA"}},
                                kMessage),
               SmtpError);
  EXPECT_FALSE(listener.poll(Poco::Timespan(0, 100 * 1000), Poco::Net::Socket::SELECT_READ));
}

// --- message data ----------------------------------------------------------

TEST(SmtpData, LinesStartingWithADotAreDoubled) {
  ScriptedSmtpServer server(Join({kGreeting, Ehlo({}), Envelope("office@example.test", {"staff1@example.test"}),
                                  Data({"..top", "Subject: dots", "", "..", "..x", "end.", "...", " .", "last"}),
                                  kQuit}));
  Transport().Send(Account(server), OneRecipient(), ".top\r\nSubject: dots\r\n\r\n.\r\n.x\r\nend.\r\n..\r\n .\r\nlast\r\n");
  EXPECT_SCRIPT_KEPT(server);
}

TEST(SmtpData, MissingLineEndIsAddedBeforeTheFinalDot) {
  ScriptedSmtpServer server(Join({kGreeting, Ehlo({}), Envelope("office@example.test", {"staff1@example.test"}),
                                  Data({"a", "..b"}), kQuit}));
  Transport().Send(Account(server), OneRecipient(), "a\r\n.b");
  EXPECT_SCRIPT_KEPT(server);
}

// --- broken connections and bad settings -----------------------------------

TEST(SmtpFailure, ConnectionDroppedDuringDataFails) {
  // A small message fits the socket buffers and fails on the missing reply;
  // a large one fails while it is written (without killing the process by
  // SIGPIPE).
  for (std::size_t bodyLines : {std::size_t{1}, std::size_t{40000}}) {
    std::string message = "Subject: big\r\n\r\n";
    for (std::size_t i = 0; i < bodyLines; ++i) message += "0123456789012345678901234567890123456789012345678901234567\r\n";
    ScriptedSmtpServer server(Join({kGreeting, Ehlo({}), Envelope("office@example.test", {"staff1@example.test"}),
                                    {"C: DATA", "S: 354 go ahead", "C: Subject: big", "CLOSE"}}));
    EXPECT_THROW(Transport().Send(Account(server), OneRecipient(), message), SmtpError) << bodyLines;
    EXPECT_SCRIPT_KEPT(server);
  }
}

TEST(SmtpFailure, ConnectionDroppedInsideAMultiLineReplyFails) {
  ScriptedSmtpServer server(Join({kGreeting, {"C: EHLO client.test", "S: 250-mail.test", "S: 250-PIPELINING", "CLOSE"}}));
  EXPECT_THROW(Transport().Send(Account(server), OneRecipient(), kMessage), SmtpError);
  EXPECT_SCRIPT_KEPT(server);
}

TEST(SmtpFailure, SilentServerEndsInTheReplyTimeOut) {
  using Clock = std::chrono::steady_clock;
  {
    ScriptedSmtpServer server(Join({kGreeting, {"C: EHLO client.test", "STALL"}}));
    auto start = Clock::now();
    EXPECT_THROW(Transport(300).Send(Account(server), OneRecipient(), kMessage), SmtpError);
    auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(250));
    EXPECT_LT(elapsed, std::chrono::seconds(5));
    EXPECT_SCRIPT_KEPT(server);
  }
  {
    // Silence after the data: the client gives up without a RSET that
    // nobody would answer.
    ScriptedSmtpServer server(Join({kGreeting, Ehlo({}), Envelope("office@example.test", {"staff1@example.test"}),
                                    {"C: DATA", "S: 354 go ahead"}, {"STALL"}}));
    auto start = Clock::now();
    EXPECT_THROW(Transport(300).Send(Account(server), OneRecipient(), kMessage), SmtpError);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_SCRIPT_KEPT(server);
    ASSERT_FALSE(server.received().empty());
    EXPECT_EQ(server.received().back(), ".");
  }
}

TEST(SmtpFailure, RefusedConnectionFails) {
  std::string port;
  {
    Poco::Net::ServerSocket probe(Poco::Net::SocketAddress("127.0.0.1", 0));
    port = std::to_string(probe.address().port());
  }
  EXPECT_THROW(Transport().Send({"127.0.0.1", port, "", ""}, OneRecipient(), kMessage), SmtpError);
}

TEST(SmtpFailure, PortTextMustBeADecimalNumberInRange) {
  for (const char* port : {"", "0", "65536", "99999", "25a", " 25", "-25", "+25", "0x19", "123456"})
    EXPECT_THROW(Transport().Send({"127.0.0.1", port, "", ""}, OneRecipient(), kMessage), SmtpError) << port;
}

TEST(SmtpFailure, NextSendConnectsAfreshAfterAFailure) {
  ScriptedSmtpServer server(Join({{"S: 421 4.3.2 try again later", "ACCEPT"}, kGreeting, Ehlo({}),
                                  Envelope("office@example.test", {"staff1@example.test"}), Data(kMessageLines),
                                  kQuit}));
  PocoSmtpTransport transport = Transport();
  EXPECT_THROW(transport.Send(Account(server), OneRecipient(), kMessage), SmtpError);
  EXPECT_NO_THROW(transport.Send(Account(server), OneRecipient(), kMessage));
  EXPECT_SCRIPT_KEPT(server);
  EXPECT_EQ(server.connections(), 2);
}

}  // namespace
}  // namespace zentavo
