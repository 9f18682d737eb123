// The POP3 session against a scripted server: every line the client sends is
// checked against the transcript, and every failure must end in Pop3Error
// within the time-outs, never in a hang, a crash or a password in the text.
#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <numeric>
#include <span>
#include <string>
#include <vector>

#include "net/Pop3Transport.h"
#include "support/ScriptedServer.h"

namespace zentavo {
namespace {

using test::Script, test::ScriptedServer, test::operator+;
using namespace std::string_literals;

const Script kGreeting = {"S: +OK Dovecot ready."};
// The client asks whether it could upgrade to TLS before it logs in.
const Script kCapa = {"C: CAPA", "S: +OK", "S: TOP", "S: USER", "S: ."};
const Script kLogin = kGreeting + kCapa + Script{"C: USER staff1", "S: +OK", "C: PASS s3cret!", "S: +OK Logged in."};
const Script kQuit = {"C: QUIT", "S: +OK Logging out."};
const Script kRetr = {"C: RETR 1", "S: +OK 120 octets"};

// What the calls of a row gave, as text: a count, a message or "none", or
// "deleted" and "kept".
using Calls = std::function<std::string(Mailbox&)>;
const Calls kStat = [](Mailbox& m) { return std::to_string(m.Count()); };
const Calls kRetr1 = [](Mailbox& m) { return m.Retrieve(1).value_or("none"); };
const Calls kDele2 = [](Mailbox& m) { return m.Delete(2) ? "deleted"s : "kept"s; };
// UIDL (or "none"), then LIST: "1=a 2=b|1=120".
const Calls kListing = [](Mailbox& m) {
  std::string text;
  const auto ids = m.UniqueIds();
  for (const auto& [n, id] : ids.value_or(std::map<int, std::string>{})) text += std::to_string(n) + "=" + id + " ";
  if (!ids) text = "none ";
  for (const auto& [n, size] : m.Sizes()) text += "|" + std::to_string(n) + "=" + std::to_string(size);
  return text;
};

// RETR of messages 1 to `count` in turn, each asking ahead for those after
// it, the first `reads` read: the messages (or "none") each ended by "|".
Calls RetrEach(int count, int reads = 1000) {
  return [count, reads](Mailbox& m) {
    std::vector<int> numbers(static_cast<std::size_t>(count));
    std::iota(numbers.begin(), numbers.end(), 1);
    std::string text;
    for (std::size_t i = 0; i < numbers.size() && static_cast<int>(i) < reads; ++i)
      text += m.Retrieve(numbers[i], std::span(numbers).subspan(i + 1)).value_or("none") + "|";
    return text;
  };
}

// A server that takes commands in a pipeline; 70 one-line messages asked
// for in a window, which grows from 16 to 64 once a message shows how
// small they are: RETR 17 to 65 go out after the first one is read, then
// one more after each.
const Script kPipelining = kGreeting + Script{"C: CAPA",        "S: +OK", "S: USER",         "S: PIPELINING",    "S: .",
                                              "C: USER staff1", "S: +OK", "C: PASS s3cret!", "S: +OK Logged in."};
Script Window() {
  Script script = kPipelining;
  const auto ask = [&](int from, int to) {
    for (int n = from; n <= to; ++n) script.push_back("C: RETR " + std::to_string(n));
  };
  ask(1, 16);
  for (int n = 1; n <= 70; ++n) {
    script = script + Script{"S: +OK", "S: x", "S: ."};
    ask(n == 1 ? 17 : n + 64, std::min(n + 64, 70));
  }
  return script + kQuit;
}

const std::vector<std::string> kKept;

struct FixedToken : AccessTokenSource {
  std::string AccessToken(bool) override { return "t0ken"; }
};  // what Finish() reports of a client that kept to the script

// A row whose calls go through ends with QUIT; a failure drops the session
// there, and the server must hear nothing more.
TEST(Pop3Session, KeepsToTheTranscriptAndFailsWithTheServersReply) {
  const std::string crs(150000, '\r');  // bare CRs across many reads, a CR ending each
  struct Case {
    const char* name;
    Script script;
    Calls calls;
    std::string result;  // or the start of the error
    std::size_t limit = PocoPop3Transport::kMessageLimit;
    ConnectionSecurity security = {};
    bool token = false;  // log in with an access token
  };
  const auto limit = PocoPop3Transport::kMessageLimit;
  const ConnectionSecurity startTls = {Security::StartTls, false, ""}, seen = {Security::Automatic, true, ""};
  // clang-format off
  const Case cases[] = {
      {"STAT counts", kLogin + Script{"C: STAT", "S: +OK 2 320"} + kQuit, kStat, "2"},
      {"STAT empty", kLogin + Script{"C: STAT", "S: +OK 0 0"} + kQuit, kStat, "0"},
      {"RETR keeps raw bytes",
       kLogin + kRetr + Script{"S: Subject: \x8a\xbf\x8e\x9a", "S: ", "S: nul\0in a line"s, "S: bare\rCR, bare\nLF",
                               "S: " + crs, "S: ."} + kQuit,
       kRetr1, "Subject: \x8a\xbf\x8e\x9a\r\n\r\nnul\0in a line\r\nbare\rCR, bare\nLF\r\n"s + crs + "\r\n"},
      {"RETR undoes doubled dots",
       kLogin + kRetr + Script{"S: ..top", "S: ..", "S: ...", "S: end.", "S:  .", "S: ."} + kQuit, kRetr1,
       ".top\r\n.\r\n..\r\nend.\r\n .\r\n"},
      {"RETR empty message", kLogin + kRetr + Script{"S: ."} + kQuit, kRetr1, ""},
      // Line ends and the final line arriving in pieces.
      {"RETR in pieces", kLogin + kRetr + Script{"R: a\r", "R: \n..b\r", "R: \n.", "R: \r", "R: \n"} + kQuit, kRetr1,
       "a\r\n.b\r\n"},
      // Too large: kept up to the limit, read to its end (or QUIT would
      // read the rest as its reply).
      {"RETR over the limit", kLogin + kRetr + Script{"S: 0123456789", "S: more", "S: ."} + kQuit, kRetr1, "01234567",
       8},
      {"RETR refused", kLogin + Script{"C: RETR 1", "S: -ERR There's no message 1."} + kQuit, kRetr1, "none"},
      {"DELE", kLogin + Script{"C: DELE 2", "S: +OK Marked to be deleted."} + kQuit, kDele2, "deleted"},
      {"DELE refused", kLogin + Script{"C: DELE 2", "S: -ERR Message is already deleted."} + kQuit, kDele2, "kept"},
      {"QUIT refused", kLogin + Script{"C: QUIT", "S: -ERR Some deleted messages were not removed"}, nullptr,
       "error: QUIT refused: -ERR Some deleted"},
      {"greeting refused", {"S: -ERR [SYS/TEMP] too many connections"}, nullptr,
       "error: greeting refused: -ERR [SYS/TEMP] too many"},
      {"IMAP greeting", {"S: * OK IMAP4rev1 ready"}, nullptr,
       "error: greeting: malformed reply \"* OK IMAP4rev1 ready\""},
      {"greeting time-out", {"STALL"}, nullptr, "error: greeting: time-out"},
      {"closed after USER", kGreeting + kCapa + Script{"C: USER staff1", "CLOSE"}, nullptr,
       "error: USER: connection closed"},
      {"PASS refused",
       kGreeting + kCapa +
           Script{"C: USER staff1", "S: +OK", "C: PASS s3cret!", "S: -ERR [AUTH] Authentication failed."},
       nullptr, "error: PASS refused: -ERR [AUTH] Authentication failed."},
      // A server quoting the password does not put it into the error.
      {"password quoted back",
       kGreeting + kCapa + Script{"C: USER staff1", "S: +OK", "C: PASS s3cret!", "S: -ERR PASS s3cret! is wrong"},
       nullptr, "error: PASS refused: -ERR PASS *** is wrong"},
      // Without CAPA nothing is offered. Where TLS is wanted the login never
      // crosses in clear: not when STLS is missing (or no longer offered),
      // nor when it is refused.
      {"no CAPA, in clear",
       kGreeting + Script{"C: CAPA", "S: -ERR unknown command", "C: USER staff1", "S: +OK", "C: PASS s3cret!",
                          "S: +OK"} + kQuit, nullptr, ""},
      {"STLS wanted, not offered", kGreeting + kCapa, nullptr, "error: 127.0.0.1:", limit, startTls},
      {"held to STLS, no CAPA", kGreeting + Script{"C: CAPA", "S: -ERR unknown command"}, nullptr,
       "error: 127.0.0.1:", limit, seen},
      {"STLS refused",
       kGreeting + Script{"C: CAPA", "S: +OK", "S: STLS", "S: USER", "S: .", "C: STLS", "S: -ERR not now"}, nullptr,
       "error: STLS refused: -ERR not now"},
      // Bytes after the answer to STLS are no part of the handshake.
      {"bytes after the STLS answer",
       kGreeting + Script{"C: CAPA", "S: +OK", "S: STLS", "S: .", "C: STLS", "S: +OK Begin TLS\r\n+OK injected"},
       nullptr, "error: TLS: the server sent more"},
      // A token never crosses in clear: without STLS the session ends
      // before the login.
      {"token without STLS", kGreeting + kCapa, nullptr, "error: 127.0.0.1:", limit, {}, true},
      // CAPA in every mode; a server that offers UTF8 hears it before the
      // login, so that it never hides raw UTF-8 headers from us.
      {"UTF8 and UIDL",
       kGreeting + Script{"C: CAPA", "S: +OK", "S: UTF8 USER", "S: UIDL", "S: .", "C: UTF8", "S: +OK UTF8 enabled",
                          "C: USER staff1", "S: +OK", "C: PASS s3cret!", "S: +OK", "C: UIDL", "S: +OK",
                          "S: 1 a1", "S: 2 b2", "S: .", "C: LIST", "S: +OK", "S: 1 120", "S: .", "C: QUIT", "S: +OK"},
       kListing, "1=a1 2=b2 |1=120", limit, {Security::None, false, ""}},
      // Without UIDL in CAPA none is asked for.
      {"LIST without UIDL", kLogin + Script{"C: LIST", "S: +OK 2 messages", "S: 1 120", "S: 2 7", "S: ."} + kQuit,
       kListing,
       "none |1=120|2=7"},
      {"LIST malformed", kLogin + Script{"C: LIST", "S: +OK", "S: one 120", "S: ."}, kListing,
       "error: LIST: malformed line"},
      {"STAT without a count", kLogin + Script{"C: STAT", "S: +OK"}, kStat, "error: STAT: malformed reply \"+OK\""},
      {"STAT bad count", kLogin + Script{"C: STAT", "S: +OK 2x 320"}, kStat, "error: STAT: malformed reply"},
      {"STAT refused", kLogin + Script{"C: STAT", "S: -ERR"}, kStat, "error: STAT refused: -ERR"},
      {"DELE malformed", kLogin + Script{"C: DELE 2", "S: 250 Ok"}, kDele2, "error: DELE: malformed reply \"250 Ok\""},
      // With PIPELINING the commands go out ahead of the replies, which
      // still come one by one: "-ERR" answers its own RETR or DELE; a stop
      // reads what was asked for before QUIT; a drop fails the message
      // whose reply it cuts. Without it each command waits for its reply.
      {"pipelined -ERR answers its RETR",
       kPipelining + Script{"C: RETR 1", "C: RETR 2", "C: RETR 3", "S: +OK", "S: a", "S: .", "S: -ERR no such message",
                            "S: +OK", "S: ..c", "S: ."} + kQuit, RetrEach(3), "a\r\n|none|.c\r\n|"},
      {"pipelined stop",
       kPipelining + Script{"C: RETR 1", "C: RETR 2", "C: RETR 3", "S: +OK", "S: a", "S: .", "S: +OK", "S: b", "S: .",
                            "S: +OK", "S: c", "S: ."} + kQuit, RetrEach(3, 1), "a\r\n|"},
      {"pipelined drop",
       kPipelining + Script{"C: RETR 1", "C: RETR 2", "S: +OK", "S: a", "S: .", "S: +OK", "S: cut", "CLOSE"},
       RetrEach(2),
       "error: RETR: connection closed"},
      {"pipelined DELE",
       kPipelining + Script{"C: DELE 1", "C: DELE 2", "S: +OK", "S: -ERR Message is already deleted."} + kQuit,
       [](Mailbox& m) { const int two[] = {2}; return std::to_string(m.Delete(1, two)) + std::to_string(m.Delete(2)); },
       "10"},
      {"window of 70", Window(), RetrEach(70),
       [] { std::string all; for (int n = 0; n < 70; ++n) all += "x\r\n|"; return all; }()},
      {"one by one without PIPELINING",
       kLogin + Script{"C: RETR 1", "S: +OK", "S: a", "S: .", "C: RETR 2", "S: +OK", "S: b", "S: ."} + kQuit,
       RetrEach(2), "a\r\n|b\r\n|"},
      {"RETR closed", kLogin + kRetr + Script{"S: Subject: cut", "S: ", "CLOSE"}, kRetr1,
       "error: RETR: connection closed"},
      {"RETR time-out", kLogin + kRetr + Script{"S: Subject: slow", "STALL"}, kRetr1, "error: RETR: time-out"},
      // After a failure the stream may stand inside a message, whose lines
      // could pass for replies: no command goes out any more.
      {"nothing after a failure", kLogin + kRetr + Script{"S: +OK 5 600", "STALL"},
       [](Mailbox& m) {
         EXPECT_THROW(m.Retrieve(1), Pop3Error);
         return std::to_string(m.Count());
       },
       "error: STAT: "},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server(c.script);
    const auto start = std::chrono::steady_clock::now();
    std::string result;
    try {
      auto mailbox = PocoPop3Transport({3000, 1000}, c.limit)
                         .Open({"127.0.0.1", server.port(), "staff1", "s3cret!", c.security,
                                c.token ? std::make_shared<FixedToken>() : nullptr});
      if (c.calls) result = c.calls(*mailbox);
      mailbox->Quit();
    } catch (const Pop3Error& e) { result = "error: "s + e.what(); }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(server.Finish(), kKept);
    if (c.result.starts_with("error: "))
      EXPECT_TRUE(result.starts_with(c.result)) << result;
    else
      EXPECT_EQ(result, c.result);
    EXPECT_EQ(result.find("s3cret!"), std::string::npos) << result;
  }
}

// Nothing is tried with a bad port or a line break in the login, and an
// unknown host or a closed port fail at once: the listener hears nobody.
TEST(Pop3Session, UnknownHostClosedPortBadPortOrLineBreakInTheLoginFails) {
  Poco::Net::ServerSocket listener(Poco::Net::SocketAddress("127.0.0.1", 0));
  const std::string port = std::to_string(listener.address().port());
  const std::string closed =  // a port that was free a moment ago and is closed again
      std::to_string(Poco::Net::ServerSocket(Poco::Net::SocketAddress("127.0.0.1", 0)).address().port());
  // clang-format off
  const struct {
    std::string port, host = "127.0.0.1", user = "staff1", password = "s3cret!";
    ConnectionSecurity security = {};
    std::shared_ptr<AccessTokenSource> tokens = nullptr;
  } cases[] = {
      {port, "127.0.0.1", "staff1", "", {Security::None, false, ""}, std::make_shared<FixedToken>()},
      {""}, {"0"}, {"65536"}, {"110a"}, {" 110"}, {"+110"}, {closed}, {port, "no-such-host.invalid"}, {port, ""},
      {port, "127.0.0.1", "staff1\r\nDELE 1"}, {port, "127.0.0.1", "staff1", "s3cret!\nDELE 1"},
  };
  // clang-format on
  for (const auto& c : cases)
    EXPECT_THROW(PocoPop3Transport({3000, 1000}).Open({c.host, c.port, c.user, c.password, c.security, c.tokens}),
                 Pop3Error)
        << c.port;
  EXPECT_FALSE(listener.poll(Poco::Timespan(0, 100 * 1000), Poco::Net::Socket::SELECT_READ));
}

}  // namespace
}  // namespace zentavo
