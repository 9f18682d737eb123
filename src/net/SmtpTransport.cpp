// The SMTP session of one batch, over a MailConnection.
//
// Poco's own SMTP client is not used: in the Poco of this platform its reply
// reader spins for ever when the server closes the connection in the middle
// of a multi-line reply, and its writes can raise SIGPIPE on a connection
// the server has dropped, which would kill the whole program. So the lines
// are written here and the replies are read here line by line, with the
// receive time-out bounding every wait.
#include "net/SmtpTransport.h"

#include <Poco/Exception.h>
#include <Poco/Net/DNS.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <set>
#include <string_view>
#include <utility>

#include "base/Base64.h"
#include "base/DiagnosticLog.h"
#include "net/SaslOAuth.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace {

constexpr std::uint16_t kSmtpsPort = 465;
constexpr std::uint16_t kSubmissionPort = 587;
// A reply line may have 512 bytes (RFC 5321); servers write longer ones,
// but a line or a whole reply many times that is garbage.
constexpr std::size_t kLongestLine = 16 * 1024;
constexpr std::size_t kLongestReply = 64 * 1024;
// Postfix cuts command lines at 2,048 bytes: a longer AUTH line with its
// initial response goes in two steps.
constexpr std::size_t kLongestAuthLine = 2000;

// What the server answered to one command.
struct Reply {
  int code = 0;
  std::vector<std::string> lines;  // the text after each line's code

  std::string Text() const {
    std::string text = std::to_string(code);
    for (const auto& line : lines) text += " " + line;
    return text;
  }
};

// Lines of the message that start with "." get a second one, so that no line
// of the text can pass for the end of the data; the data always ends with a
// line end before the closing ".".
std::string DotStuffed(const std::string& data) {
  std::string out;
  out.reserve(data.size() + data.size() / 64 + 8);
  bool lineStart = true;
  for (char c : data) {
    if (lineStart && c == '.') out += '.';
    out += c;
    lineStart = (c == '\n');
  }
  if (!out.empty() && !(out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0)) out += "\r\n";
  out += ".\r\n";
  return out;
}

std::string Upper(std::string_view s) {
  std::string upper;
  for (char c : s) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// The words of the EHLO reply's lines: "STARTTLS", "PIPELINING", and the
// mechanisms of an AUTH line ("AUTH PLAIN LOGIN", or the older "AUTH=LOGIN"
// form some servers still send) as "AUTH PLAIN", "AUTH LOGIN".
std::set<std::string> Capabilities(const Reply& ehlo) {
  std::set<std::string> offered;
  for (const auto& line : ehlo.lines) {
    const std::string upper = Upper(line);
    if (upper == "STARTTLS" || upper == "PIPELINING") offered.insert(upper);
    if (upper.size() < 5 || upper.compare(0, 4, "AUTH") != 0 || (upper[4] != ' ' && upper[4] != '=')) continue;
    for (std::size_t pos = 5; pos < upper.size();) {
      const std::size_t end = std::min(upper.find_first_of(" =", pos), upper.size());
      if (end > pos) offered.insert("AUTH " + upper.substr(pos, end - pos));
      pos = end + 1;
    }
  }
  return offered;
}

std::string Named(const std::string& server) { return Utf8ToSjis(server).text; }

// One connection to the server. `step` names the command in every error, and
// only the name: the line itself may carry the credentials.
class Session {
 public:
  Session(const std::string& host, std::uint16_t port, const SmtpTimeouts& timeouts)
      : connection_(host, port, timeouts.connectMs, timeouts.replyMs) {}

  // True once the connection failed (time-out, closed, garbled reply): then
  // nothing more can be said to the server.
  bool broken() const { return broken_; }
  const MailConnection& connection() const { return connection_; }

  // Sends one command line and returns the reply, which must carry one of
  // `accepted` (any reply will do when it is empty).
  Reply Ask(std::string_view step, const std::string& line, std::initializer_list<int> accepted = {}) {
    Write(step, line + "\r\n");
    return Await(step, accepted);
  }

  void Write(std::string_view step, const std::string& bytes) {
    try {
      connection_.Send(bytes);
    } catch (const MailServerError& e) { Fail(step, e.what()); }
  }

  // One reply: lines "ddd-text" continued up to the line "ddd text". A
  // reply is bounded in all, not only line by line: a server sending
  // "250-" lines without end must not grow memory without limit.
  Reply Await(std::string_view step, std::initializer_list<int> accepted) {
    Reply reply;
    for (std::size_t total = 0;;) {
      std::string line;
      try {
        if (!connection_.ReadLine(line, kLongestLine)) Fail(step, "connection closed by the server");
      } catch (const MailServerError& e) { Fail(step, e.what()); }
      total += line.size() + 2;
      if (total > kLongestReply) Fail(step, "reply longer than " + std::to_string(kLongestReply) + " bytes");
      if (line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[0])) ||
          !std::isdigit(static_cast<unsigned char>(line[1])) || !std::isdigit(static_cast<unsigned char>(line[2])) ||
          (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
        Fail(step, "malformed reply \"" + line + "\"");
      reply.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
      reply.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
      if (line.size() == 3 || line[3] == ' ') break;
    }
    if (accepted.size() > 0 && std::find(accepted.begin(), accepted.end(), reply.code) == accepted.end())
      throw SmtpError(std::string(step) + " refused: " + reply.Text());
    return reply;
  }

  void StartTls(const std::string& trustedFingerprint) {
    try {
      connection_.StartTls(trustedFingerprint);
    } catch (const MailServerError& e) {
      broken_ = true;
      throw SmtpError(std::string("TLS: ") + e.what(), e);
    }
  }

 private:
  [[noreturn]] void Fail(std::string_view step, const std::string& what) {
    broken_ = true;
    throw SmtpError(std::string(step) + ": " + what);
  }

  MailConnection connection_;
  bool broken_ = false;
};

// Refuses to go on in clear where TLS is wanted: nothing of the login may
// cross before it.
[[noreturn]] void NoUpgrade(const Session& session, const SmtpAccount& account) {
  const std::string& server = session.connection().Server();
  throw SmtpError(server + " does not offer STARTTLS; the session ends before the login",
                  MailServerError({}, Sj("サーバ ") + Named(server) +
                                          (account.security.tlsSeen && account.security.mode == Security::Automatic
                                               ? Sj(" は以前はSTARTTLSに対応していましたが、今回は対応していません。")
                                               : Sj(" はSTARTTLSに対応していません。")) +
                                          Sj("\r暗号化せずには接続しません。サーバ設定の暗号化を確認してください。")));
}

// The mechanisms of the AUTH lines ("PLAIN", "XOAUTH2").
std::set<std::string> Mechanisms(const std::set<std::string>& offered) {
  std::set<std::string> mechanisms;
  for (const auto& word : offered)
    if (word.starts_with("AUTH ")) mechanisms.insert(word.substr(5));
  return mechanisms;
}

// SASL with the access token. A refused token gets an error continuation
// (334 and a JSON status), which is answered before the final refusal.
void LogInWithToken(Session& session, const SmtpAccount& account, const std::set<std::string>& mechanisms,
                    bool refresh) {
  const std::optional<OAuthMechanism> mechanism = ChooseOAuthMechanism(mechanisms);
  const std::string& server = session.connection().Server();
  if (!mechanism)
    throw SmtpError(
        server + " offers no OAuth 2.0 login (XOAUTH2 or OAUTHBEARER)",
        MailServerError({}, Sj("サーバ ") + Named(server) + Sj(" は OAuth 2.0 のログインを提供していません。")));
  const std::string response = OAuthResponse(*mechanism, account.user, account.tokens->AccessToken(refresh));
  const std::string command = std::string("AUTH ") + MechanismName(*mechanism);
  Reply reply;
  if (command.size() + 1 + response.size() > kLongestAuthLine) {
    session.Ask("AUTH", command, {334});
    reply = session.Ask("AUTH response", response);
  } else {
    reply = session.Ask("AUTH", command + " " + response);
  }
  if (reply.code == 334) reply = session.Ask("AUTH error", ErrorContinuationAnswer(*mechanism));
  if (reply.code == 235) return;
  if (reply.code / 100 == 5 && reply.code != 504) throw TokenRefused("AUTH refused: " + reply.Text());
  throw SmtpError("AUTH refused: " + reply.Text());
}

void LogIn(Session& session, const SmtpAccount& account, const std::set<std::string>& offered, bool tls, bool refresh) {
  const std::set<std::string> mechanisms = Mechanisms(offered);
  if (account.tokens) return LogInWithToken(session, account, mechanisms, refresh);
  // A server of the office's own that relays by address, or after a POP3
  // login, offers no AUTH at all: it is sent to without one.
  if (mechanisms.empty()) {
    LogDiagnostic(session.connection().Server() + ": no AUTH offered; sent without login");
    return;
  }
  const bool plain = mechanisms.contains("PLAIN");
  const bool login = mechanisms.contains("LOGIN");
  if (plain && (tls || !login)) {
    std::string credentials(1, '\0');
    credentials += account.user + '\0' + account.password;
    session.Ask("AUTH PLAIN", "AUTH PLAIN " + EncodeBase64(credentials), {235});
  } else if (login) {
    session.Ask("AUTH LOGIN", "AUTH LOGIN", {334});
    session.Ask("AUTH LOGIN user name", EncodeBase64(account.user), {334});
    session.Ask("AUTH LOGIN password", EncodeBase64(account.password), {235});
  } else {
    const std::string& server = session.connection().Server();
    throw SmtpError(
        server + " offers no login this program can use (AUTH PLAIN or LOGIN)",
        MailServerError({},
                        Sj("サーバ ") + Named(server) +
                            Sj(" は、このプログラムが使えるログイン方式（PLAIN、LOGIN）を提供していません。") +
                            (tls ? "" : Sj("\r暗号化（STARTTLS、SSL/TLS）を選ぶとログインできる場合があります。"))));
  }
}

}  // namespace

PocoSmtpTransport::PocoSmtpTransport(SmtpTimeouts timeouts, std::string helloName)
    : timeouts_(timeouts), helloName_(std::move(helloName)) {
  if (helloName_.empty()) {
    try {
      helloName_ = Poco::Net::DNS::hostName();
    } catch (const Poco::Exception&) {}
    if (helloName_.empty()) helloName_ = "localhost";
  }
}

namespace {

// Checks what goes into command lines before anything is sent.
std::uint16_t CheckedPort(const SmtpAccount& account, const SmtpEnvelope* envelope) {
  std::uint16_t port = 0;
  try {
    port = CheckedServer("SMTP", account);
  } catch (const MailServerError& e) { throw SmtpError(e.what(), e); }
  if (envelope && envelope->recipients.empty()) throw SmtpError("no recipients");
  if (envelope && HasLineBreak(envelope->from)) throw SmtpError("the sender address holds a line break");
  for (const auto& to : envelope ? envelope->recipients : std::vector<std::string>{})
    if (HasLineBreak(to)) throw SmtpError("a recipient address holds a line break");
  return port;
}

// Greets, upgrades to TLS when the plan says so, and returns what the
// server offers. `offeredUpgrade` is set as soon as STARTTLS is seen, so
// that the server is held to it even when this session fails.
std::set<std::string> Greet(Session& session, const SmtpAccount& account, TlsPlan plan, const std::string& hello,
                            bool& offeredUpgrade) {
  if (plan == TlsPlan::Implicit) session.StartTls(account.security.trustedFingerprint);
  session.Await("greeting", {220});
  Reply ehlo = session.Ask("EHLO", "EHLO " + hello);
  const bool extended = ehlo.code == 250;
  if (!extended && plan == TlsPlan::Upgrade) NoUpgrade(session, account);
  if (!extended) session.Ask("HELO", "HELO " + hello, {250});
  std::set<std::string> offered = extended ? Capabilities(ehlo) : std::set<std::string>{};
  offeredUpgrade = offered.contains("STARTTLS");
  if (plan == TlsPlan::Upgrade && !offeredUpgrade) NoUpgrade(session, account);
  if ((plan == TlsPlan::Upgrade || plan == TlsPlan::Opportunistic) && offeredUpgrade) {
    session.Ask("STARTTLS", "STARTTLS", {220});
    session.StartTls(account.security.trustedFingerprint);
    // What the server offered in clear no longer counts.
    offered = Capabilities(session.Ask("EHLO", "EHLO " + hello, {250}));
  }
  // A token is as good as a password: never in clear.
  if (account.tokens && !session.connection().Security().tls) NoUpgrade(session, account);
  return offered;
}

// Reads and drops `count` replies still to come, so that the session is in
// step again; a connection that breaks meanwhile is left broken.
void SkipReplies(Session& session, std::size_t count) {
  try {
    while (count-- > 0) session.Await("RCPT TO", {});
  } catch (const SmtpError&) {}
}

// The envelope and the message; `handedOver` is set once the final "." is
// out. A server that takes commands in a pipeline (RFC 2920) gets RSET,
// MAIL FROM and every RCPT TO in one write, and its replies are read in the
// same order after it: a batch of 30 recipients costs one round trip
// instead of 32. DATA waits for those replies, so that the message never
// goes to a server that refused a recipient.
void Transfer(Session& session, const SmtpEnvelope& envelope, const std::string& data, bool pipelining,
              bool& handedOver) {
  std::vector<std::string> lines = {"RSET", "MAIL FROM:<" + envelope.from + ">"};
  for (const auto& to : envelope.recipients) lines.push_back("RCPT TO:<" + to + ">");
  if (pipelining) {
    std::string group;
    for (const auto& line : lines) group += line + "\r\n";
    session.Write("RSET", group);
  }
  std::size_t next = 0;  // the line whose reply comes next
  const auto step = [&](std::string_view name, std::initializer_list<int> accepted) {
    const std::string& line = lines[next++];
    return pipelining ? session.Await(name, accepted) : session.Ask(name, line, accepted);
  };
  step("RSET", {});
  step("MAIL FROM", {250});
  try {
    try {
      while (next < lines.size()) step("RCPT TO", {250, 251});
    } catch (const SmtpError&) {
      // The first refusal fails the batch; the replies to the recipients
      // written after it come first.
      if (pipelining && !session.broken()) SkipReplies(session, lines.size() - next);
      throw;
    }
    session.Ask("DATA", "DATA", {354});
    session.Write("message", DotStuffed(data));
    handedOver = true;
    session.Await("message", {250});
  } catch (const SmtpError&) {
    // A live server is told to drop the transaction; after a broken
    // connection there is nobody to tell, and waiting for a reply to RSET
    // would only double the time-out.
    if (!session.broken()) {
      try {
        session.Ask("RSET", "RSET");
      } catch (const SmtpError&) {}
    }
    throw;
  }
}

}  // namespace

SessionSecurity PocoSmtpTransport::SendOnce(const SmtpAccount& account, const SmtpEnvelope* envelope,
                                            const std::string& data, bool refresh) {
  const std::uint16_t port = CheckedPort(account, envelope);
  bool handedOver = false;
  bool offeredUpgrade = false;
  try {
    std::optional<Session> opened;
    try {
      opened.emplace(account.host, port, timeouts_);
    } catch (const MailServerError& e) { throw SmtpError(e.what()); }
    Session& session = *opened;
    const TlsPlan plan = PlanTls(account.security, port, kSmtpsPort, kSubmissionPort);
    const std::set<std::string> offered = Greet(session, account, plan, helloName_, offeredUpgrade);
    if (!account.user.empty()) LogIn(session, account, offered, session.connection().Security().tls, refresh);
    if (envelope) Transfer(session, *envelope, data, offered.contains("PIPELINING"), handedOver);
    // The message is delivered: whatever QUIT gets back cannot undo that.
    try {
      session.Ask("QUIT", "QUIT");
    } catch (const SmtpError&) {}
    SessionSecurity security = session.connection().Security();
    security.offeredUpgrade = offeredUpgrade;
    return security;
  } catch (const TokenRefused& e) {
    TokenRefused refused(e.what(), TokenRefusedNotice());
    refused.offeredUpgrade = offeredUpgrade;
    throw refused;
  } catch (const MailServerError& e) {
    std::string plainCredentials(1, '\0');
    plainCredentials += account.user + '\0' + account.password;
    SmtpError error(WithoutSecrets(e.what(), {EncodeBase64(plainCredentials), EncodeBase64(account.password),
                                              EncodeBase64(account.user), account.password}),
                    e, handedOver);
    error.offeredUpgrade = offeredUpgrade || e.offeredUpgrade;
    throw error;
  }
}

SessionSecurity PocoSmtpTransport::Send(const SmtpAccount& account, const SmtpEnvelope& envelope,
                                        const std::string& data) {
  return Retrying(account, &envelope, data);
}

SessionSecurity PocoSmtpTransport::Check(const SmtpAccount& account) { return Retrying(account, nullptr, {}); }

SessionSecurity PocoSmtpTransport::Retrying(const SmtpAccount& account, const SmtpEnvelope* envelope,
                                            const std::string& data) {
  try {
    return SendOnce(account, envelope, data, false);
  } catch (const TokenRefused& e) {
    // The token may have been revoked or expired early: once more with a
    // fresh one, then the refusal stands.
    LogDiagnostic(std::string("the access token was refused; trying a fresh one: ") + e.what());
  }
  try {
    return SendOnce(account, envelope, data, true);
  } catch (const TokenRefused& e) {
    SmtpError error(e.what(), e);
    error.offeredUpgrade = e.offeredUpgrade;
    throw error;
  }
}

}  // namespace zentavo
