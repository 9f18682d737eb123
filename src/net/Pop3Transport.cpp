// The POP3 session of one operation, over a Poco stream socket.
//
// Poco's own POP3 client is not used: like its SMTP client it writes
// without MSG_NOSIGNAL, so a server that drops the connection could kill
// the whole program by SIGPIPE. The commands are written here and the
// replies and messages are read here from a buffer of our own, with the
// receive time-out bounding every wait and the buffer bounding memory
// whatever the server sends.
#include "net/Pop3Transport.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <deque>
#include <string_view>
#include <utility>
#include <vector>

#include "base/DiagnosticLog.h"
#include "net/SaslOAuth.h"
#include "net/ServerTrust.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace {

constexpr std::uint16_t kPop3sPort = 995;

// Bytes taken from the socket at a time. A reply line may have 512 bytes
// (RFC 1939); one without a line end in many times that is garbage.
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kLongestReply = 8 * 1024;

// The window of a pipeline: at most this many replies to come, whose
// commands (a dozen bytes each) always fit the socket's buffers, so that
// writing them never waits on a server that is busy writing to us.
constexpr std::size_t kMostAhead = 64;
// Messages asked for ahead, by the mean size of those read so far (this
// much each before the first): a stop reads them all before QUIT, so that
// must never take long.
constexpr std::size_t kAheadBytes = 1024 * 1024;
constexpr std::size_t kAssumedSize = 64 * 1024;

// One connection, logged in by Open. `step` names the command in every
// error, and only the name: the PASS line carries the password. Once a step
// has failed the stream may stand anywhere (in the middle of a message,
// whose lines could pass for replies), so every later call fails without a
// word sent.
class Pop3Session final : public Mailbox {
 public:
  Pop3Session(const Pop3Account& account, std::uint16_t port, const Pop3Timeouts& timeouts, std::size_t keep)
      : connection_(account.host, port, timeouts.connectMs, timeouts.replyMs),
        password_(account.password),
        keep_(keep),
        buffer_(kChunk) {}

  ~Pop3Session() override { Close(); }
  Pop3Session(const Pop3Session&) = delete;
  Pop3Session& operator=(const Pop3Session&) = delete;

  void Greeting() { Expect("greeting", Status("greeting")); }

  void StartTls(const std::string& trustedFingerprint) {
    // Whatever came before the handshake would be taken as sent under TLS.
    if (end_ != begin_) Fail("TLS", "the server sent more before the TLS handshake than it should");
    try {
      connection_.StartTls(trustedFingerprint);
    } catch (const MailServerError& e) {
      done_ = true;
      throw Pop3Error(std::string("TLS: ") + e.what(), e.notice, e.certificate);
    }
  }

  // CAPA: the capabilities, each as its first word in upper case with the
  // rest of its line ("SASL" -> "PLAIN XOAUTH2"). A server without CAPA
  // ("-ERR") offers nothing.
  void Capa() {
    capabilities_.clear();
    if (!Positive(Ask("CAPA", "CAPA"))) return;
    const std::string list = ReadMessage();
    for (std::size_t start = 0; start < list.size();) {
      const std::size_t end = std::min(list.find("\r\n", start), list.size());
      const std::string_view line = std::string_view(list).substr(start, end - start);
      std::string word(line.substr(0, line.find(' ')));
      for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      const std::size_t blank = line.find(' ');
      capabilities_[word] = blank == std::string_view::npos ? std::string() : std::string(line.substr(blank + 1));
      start = end + 2;
    }
    capaAnswered_ = true;
  }
  bool Offers(const std::string& capability) const { return capabilities_.contains(capability); }

  // RFC 6856: from now on the server sends messages as they are.
  void Utf8() { Ask("UTF8", "UTF8"); }

  void Stls(const std::string& trustedFingerprint) {
    Expect("STLS", Ask("STLS", "STLS"));
    StartTls(trustedFingerprint);
  }

  SessionSecurity Security() const override { return security_; }
  void NoteOfferedUpgrade() { security_.offeredUpgrade = true; }
  const std::string& Server() const { return connection_.Server(); }
  void TakeTlsFacts() {
    const bool offered = security_.offeredUpgrade;
    security_ = connection_.Security();
    security_.offeredUpgrade = offered;
  }
  void User(const std::string& user) { Expect("USER", Ask("USER", "USER " + user)); }

  // AUTH (RFC 5034) with the access token, the response on a line of its
  // own: POP3 command lines hold at most 255 octets. A refused token gets
  // an error continuation, answered before the final "-ERR".
  void LogInWithToken(const std::string& user, const std::string& token) {
    const std::string sasl = capabilities_.contains("SASL") ? " " + Upper(capabilities_["SASL"]) + " " : " XOAUTH2 ";
    const OAuthMechanism mechanism =
        sasl.find(" XOAUTH2 ") == std::string::npos && sasl.find(" OAUTHBEARER ") != std::string::npos
            ? OAuthMechanism::OAuthBearer
            : OAuthMechanism::XOAuth2;
    const std::string response = OAuthResponse(mechanism, user, token);
    secrets_ = {token, response};
    std::string reply = Ask("AUTH", std::string("AUTH ") + MechanismName(mechanism), true);
    if (reply.starts_with("+ ") || reply == "+") reply = Ask("AUTH response", response, true);
    if (reply.starts_with("+ ") || reply == "+") reply = Ask("AUTH error", ErrorContinuationAnswer(mechanism), true);
    if (reply.starts_with("+OK")) return;
    // A server that could not check the token says so; it is no refusal.
    if (!reply.starts_with("-ERR") || reply.find("[SYS/") != std::string::npos)
      throw Pop3Error("AUTH failed: " + Masked(reply));
    throw TokenRefused("AUTH refused: " + Masked(reply));
  }
  void Pass(const std::string& password) { Expect("PASS", Ask("PASS", "PASS " + password)); }

  // STAT: "+OK count size".
  int Count() override {
    const std::string reply = Expect("STAT", Ask("STAT", "STAT"));
    std::string_view rest = std::string_view(reply).substr(3);
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    int count = -1;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), count);
    if (error != std::errc() || count < 0 || (end != rest.data() + rest.size() && *end != ' '))
      Fail("STAT", "malformed reply \"" + reply + "\"");
    return count;
  }

  std::optional<std::string> Retrieve(int number, std::span<const int> next) override {
    Pipeline(Command::Retr, number, next);
    if (!Positive(Status("RETR"))) return std::nullopt;
    std::string message = ReadMessage();
    ++retrieved_;
    retrievedBytes_ += message.size();
    return message;
  }

  bool Delete(int number, std::span<const int> next) override {
    Pipeline(Command::Dele, number, next);
    return Positive(Status("DELE"));
  }

  std::optional<std::map<int, std::string>> UniqueIds() override {
    // A server whose CAPA answered without UIDL has none; one without CAPA
    // may still have it (RFC 1939 lists it as optional).
    if ((capaAnswered_ && !Offers("UIDL")) || !Positive(Ask("UIDL", "UIDL"))) return std::nullopt;
    std::map<int, std::string> ids;
    ForEachListed("UIDL", [&](int number, std::string_view rest) { ids[number] = std::string(rest); });
    return ids;
  }

  std::map<int, long long> Sizes() override {
    Expect("LIST", Ask("LIST", "LIST"));
    std::map<int, long long> sizes;
    ForEachListed("LIST", [&](int number, std::string_view rest) {
      long long size = -1;
      std::from_chars(rest.data(), rest.data() + rest.size(), size);
      sizes[number] = size;
    });
    return sizes;
  }

  // "-ERR" to QUIT means the server could not make the deletions final.
  void Quit() override {
    Expect("QUIT", Ask("QUIT", "QUIT"));
    Close();
    done_ = true;
  }

 private:
  // The message up to the line ".": a line that starts with "." loses that
  // dot, and lines end at CR LF alone, so any other byte (8-bit, NUL, a
  // bare CR or LF) is part of its line. Only the first `keep` bytes are
  // kept; the rest is read and dropped so that the session can go on, and
  // the reader of the message copes with one cut short. The buffer never
  // holds more than a chunk, however long a line is.
  std::string ReadMessage() { return ReadMessage(keep_); }
  std::string ReadMessage(std::size_t keep) {
    std::string message;
    for (bool lineStart = true;;) {
      if (lineStart && Unread("RETR", 1)[0] == '.') {
        if (Unread("RETR", 3).starts_with(".\r\n")) {
          Consume(3);
          return message;
        }
        Consume(1);
      }
      // Every line ends in CR LF, so two bytes are always to come; a CR
      // that ends the buffer waits for the next chunk to show its LF.
      const std::string_view data = Unread("RETR", 2);
      const std::size_t end = data.find("\r\n");
      const std::size_t take = end != std::string_view::npos ? end + 2 : data.size() - (data.back() == '\r');
      message.append(data.data(), std::min(take, keep - std::min(keep, message.size())));
      Consume(take);
      lineStart = end != std::string_view::npos;
    }
  }

  // The lines "number rest" of a multi-line answer (UIDL, LIST).
  template <class Each>
  void ForEachListed(std::string_view step, Each each) {
    const std::string list = ReadMessage();
    for (std::size_t start = 0; start < list.size();) {
      const std::size_t end = std::min(list.find("\r\n", start), list.size());
      const std::string_view line = std::string_view(list).substr(start, end - start);
      int number = 0;
      const auto [after, error] = std::from_chars(line.data(), line.data() + line.size(), number);
      if (error != std::errc() || number < 1 || after == line.data() + line.size() || *after != ' ')
        Fail(step, "malformed line \"" + std::string(line) + "\"");
      each(number, line.substr(static_cast<std::size_t>(after - line.data()) + 1));
      start = end + 2;
    }
  }

  // `continuation`: a SASL exchange, where "+ text" is a reply too.
  std::string Ask(std::string_view step, const std::string& line, bool continuation = false) {
    while (!asked_.empty()) DropReply();
    Write(step, line + "\r\n");
    return Status(step, continuation);
  }

  enum class Command { Retr, Dele };
  static const char* Name(Command command) { return command == Command::Retr ? "RETR" : "DELE"; }

  // How many replies may be on their way: without PIPELINING one; for
  // DELE, whose replies are a line each, the most; for RETR what fits
  // kAheadBytes, but at least one.
  std::size_t Window(Command command) const {
    if (!Offers("PIPELINING")) return 1;
    if (command == Command::Dele) return kMostAhead;
    const std::size_t mean = retrieved_ > 0 ? std::max<std::size_t>(retrievedBytes_ / retrieved_, 1) : kAssumedSize;
    return std::clamp<std::size_t>(kAheadBytes / mean, 1, kMostAhead);
  }

  // Makes the reply to `command` for `number` the next to come: replies
  // asked for ahead of something else are read and dropped first. Its
  // command goes out unless it did already, with those for `next` up to
  // the window, in one write. The commands already on their way after it
  // are taken for the first of `next`.
  void Pipeline(Command command, int number, std::span<const int> next) {
    if (done_) Fail(Name(command), "the session has already ended or failed");
    const Asked wanted{command, number};
    while (!asked_.empty() && asked_.front() != wanted) DropReply();
    std::string lines;
    const auto ask = [&](int n) {
      lines += std::string(Name(command)) + " " + std::to_string(n) + "\r\n";
      asked_.push_back({command, n});
    };
    if (asked_.empty()) ask(number);
    for (std::size_t i = asked_.size() - 1; i < next.size() && asked_.size() < Window(command); ++i) ask(next[i]);
    if (!lines.empty()) Write(Name(command), lines);
    asked_.pop_front();
  }

  // Reads the reply to the oldest command asked for ahead, which nobody
  // wants any more, with its message (kept nowhere).
  void DropReply() {
    const Asked dropped = asked_.front();
    asked_.pop_front();
    if (done_) Fail(Name(dropped.command), "the session has already ended or failed");
    if (Positive(Status(Name(dropped.command))) && dropped.command == Command::Retr) ReadMessage(0);
  }

  static std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  }

  void Write(std::string_view step, const std::string& bytes) {
    if (done_) Fail(step, "the session has already ended or failed");
    try {
      connection_.Send(bytes);
    } catch (const MailServerError& e) { Fail(step, e.what()); }
  }

  // One status line, without its CR LF: "+OK ..." or "-ERR ..." (or, in a
  // SASL exchange, "+ ...").
  std::string Status(std::string_view step, bool continuation = false) {
    for (std::size_t scanned = 0;;) {
      const std::string_view data = Unread(step, scanned + 1);
      if (const std::size_t end = data.find("\r\n", scanned ? scanned - 1 : 0); end != std::string_view::npos) {
        std::string line(data.substr(0, end));
        Consume(end + 2);
        const bool challenge = continuation && (line == "+" || line.starts_with("+ "));
        if (!challenge && !line.starts_with("+OK") && !line.starts_with("-ERR"))
          Fail(step, "malformed reply \"" + Masked(line) + "\"");
        return line;
      }
      if (data.size() > kLongestReply)
        Fail(step, "malformed reply: no line end in " + std::to_string(data.size()) + " bytes");
      scanned = data.size();
    }
  }

  static bool Positive(const std::string& reply) { return reply.starts_with("+OK"); }

  // A reply that must be positive; returns it. A negative one leaves the
  // connection in step, but the caller gives the session up all the same.
  std::string Expect(std::string_view step, const std::string& reply) {
    if (!Positive(reply)) throw Pop3Error(std::string(step) + " refused: " + Masked(reply));
    return reply;
  }

  // At least `n` bytes not yet consumed (more when the socket had them).
  std::string_view Unread(std::string_view step, std::size_t n) {
    while (end_ - begin_ < n) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
      std::size_t got = 0;
      try {
        got = connection_.Receive(buffer_.data() + end_, buffer_.size() - end_);
      } catch (const MailServerError& e) { Fail(step, e.what()); }
      if (got == 0) Fail(step, "connection closed by the server");
      end_ += got;
    }
    return {buffer_.data() + begin_, end_ - begin_};
  }

  void Consume(std::size_t n) { begin_ += n; }

  void Close() { connection_.Close(); }

  [[noreturn]] void Fail(std::string_view step, const std::string& what) {
    done_ = true;
    throw Pop3Error(std::string(step) + ": " + Masked(what));
  }

  // The client never puts the password into an error text itself, but a
  // server may quote the line it refused, and the text goes on to the
  // operator and the diagnostic log.
  std::string Masked(std::string text) const {
    text = WithoutSecrets(std::move(text), {password_});
    for (const auto& secret : secrets_) text = WithoutSecrets(std::move(text), {secret});
    return text;
  }

  MailConnection connection_;
  SessionSecurity security_;
  const std::string password_;
  const std::size_t keep_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0, end_ = 0;                  // the bytes received and not yet consumed
  bool done_ = false;                                // failed or ended: nothing more can be said to the server
  std::map<std::string, std::string> capabilities_;  // what the latest CAPA listed
  std::vector<std::string> secrets_;                 // the token and its response, once logging in
  bool capaAnswered_ = false;
  struct Asked {
    Command command;
    int number;
    bool operator==(const Asked&) const = default;
  };
  std::deque<Asked> asked_;                         // written ahead, their replies still to come, oldest first
  std::size_t retrieved_ = 0, retrievedBytes_ = 0;  // the messages read so far
};

}  // namespace

Pop3Account Pop3AccountFor(const Settings& settings) {
  return {
      settings.popHost,   settings.popPort, settings.user, settings.password, SecurityFor(settings, MailServer::Pop3),
      TokensFor(settings)};
}

PocoPop3Transport::PocoPop3Transport(Pop3Timeouts timeouts, std::size_t messageLimit)
    : timeouts_(timeouts), messageLimit_(messageLimit) {}

namespace {

[[noreturn]] void NoStls(const Pop3Session& session, const Pop3Account& account) {
  // Nothing of the login may cross in clear where TLS is wanted.
  const std::string& server = session.Server();
  throw Pop3Error(server + " does not offer STLS; the session ends before the login",
                  Sj("サーバ ") + Utf8ToSjis(server).text +
                      (account.security.tlsSeen && account.security.mode == Security::Automatic
                           ? Sj(" は以前は暗号化(STLS)に対応していましたが、今回は対応していません。")
                           : Sj(" は暗号化(STLS)に対応していません。")) +
                      Sj("\r暗号化せずには接続しません。サーバ設定の暗号化を確認してください。"));
}

// Greeting, CAPA, the upgrade to TLS where the plan wants it, UTF8.
void Prepare(Pop3Session& session, const Pop3Account& account, TlsPlan plan) {
  if (plan == TlsPlan::Implicit) session.StartTls(account.security.trustedFingerprint);
  session.Greeting();
  session.Capa();
  if ((plan == TlsPlan::Upgrade || plan == TlsPlan::Opportunistic) && session.Offers("STLS")) {
    session.NoteOfferedUpgrade();  // held to it from now on, even if this session fails
    session.Stls(account.security.trustedFingerprint);
    session.Capa();  // what the server said in clear no longer counts
  } else if (plan == TlsPlan::Upgrade) {
    NoStls(session, account);
  }
  session.TakeTlsFacts();
  // A token is as good as a password: never in clear.
  if (account.tokens && !session.Security().tls) NoStls(session, account);
  if (session.Offers("UTF8")) session.Utf8();
}

}  // namespace

std::unique_ptr<Mailbox> PocoPop3Transport::OpenOnce(const Pop3Account& account, bool refresh) {
  std::uint16_t port = 0;
  try {
    port = CheckedServer("POP", account);
  } catch (const MailServerError& e) { throw Pop3Error(e.what(), e.notice); }
  if (HasLineBreak(account.user)) throw Pop3Error("the user name holds a line break");
  if (HasLineBreak(account.password)) throw Pop3Error("the password holds a line break");
  std::unique_ptr<Pop3Session> session;
  try {
    session = std::make_unique<Pop3Session>(account, port, timeouts_, messageLimit_);
  } catch (const MailServerError& e) { throw Pop3Error(e.what()); }
  try {
    Prepare(*session, account, PlanTls(account.security, port, kPop3sPort, 0));
    if (account.tokens) {
      session->LogInWithToken(account.user, account.tokens->AccessToken(refresh));
    } else {
      session->User(account.user);
      session->Pass(account.password);
    }
  } catch (MailServerError& e) {
    e.offeredUpgrade = e.offeredUpgrade || session->Security().offeredUpgrade;
    throw;
  }
  return session;
}

std::unique_ptr<Mailbox> PocoPop3Transport::Open(const Pop3Account& account) {
  try {
    return OpenOnce(account, false);
  } catch (const TokenRefused& e) {
    // Revoked or expired early: once more with a fresh token.
    LogDiagnostic(std::string("the access token was refused; trying a fresh one: ") + e.what());
  }
  try {
    return OpenOnce(account, true);
  } catch (const TokenRefused& e) {
    Pop3Error error(e.what(), TokenRefusedNotice());
    error.offeredUpgrade = e.offeredUpgrade;
    throw error;
  }
}

}  // namespace zentavo
