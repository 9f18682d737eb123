// The POP3 session of one operation, over a Poco stream socket.
//
// Poco's own POP3 client is not used: like its SMTP client it writes
// without MSG_NOSIGNAL, so a server that drops the connection could kill
// the whole program by SIGPIPE. The commands are written here and the
// replies and messages are read here from a buffer of our own, with the
// receive time-out bounding every wait and the buffer bounding memory
// whatever the server sends.
#include "receive/Pop3Session.h"

#include <Poco/Exception.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/Timespan.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace zentavo {
namespace {

// Bytes taken from the socket at a time. A reply line may have 512 bytes
// (RFC 1939); one without a line end in many times that is garbage.
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kLongestReply = 8 * 1024;

Poco::Timespan Millis(int ms) { return Poco::Timespan(static_cast<Poco::Timespan::TimeDiff>(ms) * 1000); }

// The settings hold the port as text; anything but a plain decimal number
// in range is refused here, before a connection is tried.
Poco::UInt16 ParsePort(const std::string& text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text.size() > 5 || text[0] < '0' || text[0] > '9' || error != std::errc() ||
      end != text.data() + text.size() || value < 1 || value > 65535)
    throw Pop3Error("invalid POP port \"" + text + "\"");
  return static_cast<Poco::UInt16>(value);
}

// A CR, LF or NUL in the user name or password would end the command line
// early and let the rest pass as a command of its own.
void CheckCommandArgument(std::string_view what, const std::string& value) {
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
    throw Pop3Error(std::string(what) + " holds a line break");
}

// The one place a connection is made: TLS, when it comes, is a secure
// socket made here in place of the plain one; the session above only reads
// and writes a stream socket.
Poco::Net::StreamSocket Connect(const std::string& host, Poco::UInt16 port, const Pop3Timeouts& timeouts) {
  try {
    Poco::Net::StreamSocket socket;
    socket.connect(Poco::Net::SocketAddress(host, port), Millis(timeouts.connectMs));
    socket.setReceiveTimeout(Millis(timeouts.replyMs));
    socket.setSendTimeout(Millis(timeouts.replyMs));
    // Each command is one small write awaited by its reply: nothing to
    // gain from holding it back.
    socket.setNoDelay(true);
    return socket;
  } catch (const Poco::Exception& e) {
    throw Pop3Error("cannot connect to " + host + ":" + std::to_string(port) + ": " + e.displayText());
  }
}

// One connection, logged in by Open. `step` names the command in every
// error, and only the name: the PASS line carries the password. Once a step
// has failed the stream may stand anywhere (in the middle of a message,
// whose lines could pass for replies), so every later call fails without a
// word sent.
class Pop3Session final : public Mailbox {
 public:
  Pop3Session(const Pop3Account& account, Poco::UInt16 port, const Pop3Timeouts& timeouts, std::size_t keep)
      : socket_(Connect(account.host, port, timeouts)), password_(account.password), keep_(keep), buffer_(kChunk) {}

  ~Pop3Session() override { Close(); }
  Pop3Session(const Pop3Session&) = delete;
  Pop3Session& operator=(const Pop3Session&) = delete;

  void Greeting() { Expect("greeting", Status("greeting")); }
  void User(const std::string& user) { Expect("USER", Ask("USER", "USER " + user)); }
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

  std::optional<std::string> Retrieve(int number) override {
    if (!Positive(Ask("RETR", "RETR " + std::to_string(number)))) return std::nullopt;
    return ReadMessage();
  }

  bool Delete(int number) override { return Positive(Ask("DELE", "DELE " + std::to_string(number))); }

  // "-ERR" to QUIT means the server could not make the deletions final.
  void Quit() override {
    Expect("QUIT", Ask("QUIT", "QUIT"));
    Close();
    done_ = true;
  }

 private:
  // The message up to the line ".": a line that starts with "." loses that
  // dot, and lines end at CR LF alone, so any other byte (8-bit, NUL, a
  // bare CR or LF) is part of its line. Only the first `keep_` bytes are
  // kept; the rest is read and dropped so that the session can go on, and
  // the reader of the message copes with one cut short. The buffer never
  // holds more than a chunk, however long a line is.
  std::string ReadMessage() {
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
      message.append(data.data(), std::min(take, keep_ - std::min(keep_, message.size())));
      Consume(take);
      lineStart = end != std::string_view::npos;
    }
  }

  std::string Ask(std::string_view step, const std::string& line) {
    Write(step, line + "\r\n");
    return Status(step);
  }

  void Write(std::string_view step, const std::string& bytes) {
    if (done_) Fail(step, "the session has already ended or failed");
    try {
      for (std::size_t sent = 0; sent < bytes.size();) {
        const int n = socket_.sendBytes(bytes.data() + sent, static_cast<int>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0) Fail(step, "connection closed while sending");
        sent += static_cast<std::size_t>(n);
      }
    } catch (const Poco::TimeoutException&) {
      Fail(step, "time-out while sending to the server");
    } catch (const Poco::Exception& e) {
      Fail(step, "sending failed: " + e.displayText());
    }
  }

  // One status line, without its CR LF: "+OK ..." or "-ERR ...".
  std::string Status(std::string_view step) {
    for (std::size_t scanned = 0;;) {
      const std::string_view data = Unread(step, scanned + 1);
      if (const std::size_t end = data.find("\r\n", scanned ? scanned - 1 : 0); end != std::string_view::npos) {
        std::string line(data.substr(0, end));
        Consume(end + 2);
        if (!line.starts_with("+OK") && !line.starts_with("-ERR")) Fail(step, "malformed reply \"" + line + "\"");
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
      int got = 0;
      try {
        got = socket_.receiveBytes(buffer_.data() + end_, static_cast<int>(buffer_.size() - end_));
      } catch (const Poco::TimeoutException&) {
        Fail(step, "time-out waiting for the server");
      } catch (const Poco::Exception& e) {
        Fail(step, "receiving failed: " + e.displayText());
      }
      if (got <= 0) Fail(step, "connection closed by the server");
      end_ += static_cast<std::size_t>(got);
    }
    return {buffer_.data() + begin_, end_ - begin_};
  }

  void Consume(std::size_t n) { begin_ += n; }

  void Close() {
    try {
      socket_.close();
    } catch (const Poco::Exception&) {
    }
  }

  [[noreturn]] void Fail(std::string_view step, const std::string& what) {
    done_ = true;
    throw Pop3Error(std::string(step) + ": " + Masked(what));
  }

  // The client never puts the password into an error text itself, but a
  // server may quote the line it refused, and the text goes on to the
  // operator and the diagnostic log.
  std::string Masked(std::string text) const {
    if (!password_.empty())
      for (std::size_t at = text.find(password_); at != std::string::npos; at = text.find(password_, at + 3))
        text.replace(at, password_.size(), "***");
    return text;
  }

  Poco::Net::StreamSocket socket_;
  const std::string password_;
  const std::size_t keep_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0, end_ = 0;  // the bytes received and not yet consumed
  bool done_ = false;  // failed or ended: nothing more can be said to the server
};

}  // namespace

Pop3Account Pop3AccountFor(const Settings& settings) {
  return {settings.popHost, settings.popPort, settings.user, settings.password};
}

PocoPop3Transport::PocoPop3Transport(Pop3Timeouts timeouts, std::size_t messageLimit)
    : timeouts_(timeouts), messageLimit_(messageLimit) {}

std::unique_ptr<Mailbox> PocoPop3Transport::Open(const Pop3Account& account) {
  const Poco::UInt16 port = ParsePort(account.port);
  if (account.host.empty()) throw Pop3Error("no POP server given");
  CheckCommandArgument("the user name", account.user);
  CheckCommandArgument("the password", account.password);
  auto session = std::make_unique<Pop3Session>(account, port, timeouts_, messageLimit_);
  session->Greeting();
  session->User(account.user);
  session->Pass(account.password);
  return session;
}

}  // namespace zentavo
