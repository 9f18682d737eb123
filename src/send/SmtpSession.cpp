// The SMTP session of one batch, over Poco's SMTP client session.
//
// Poco's session owns the connected socket and its line buffer. Its own
// command and reply helpers are not used: in the Poco of this platform the
// reply reader spins for ever when the server closes the connection in the
// middle of a multi-line reply, and its writes can raise SIGPIPE on a
// connection the server has dropped, which would kill the whole program. So
// the lines are written here (with MSG_NOSIGNAL) and the replies are read
// here line by line, with the receive time-out bounding every wait.
#include "send/SmtpSession.h"

#include <Poco/Exception.h>
#include <Poco/Net/DNS.h>
#include <Poco/Net/SMTPClientSession.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/Timespan.h>
#include <sys/socket.h>

#include <cctype>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>

#include "store/Base64.h"

namespace zentavo {
namespace {

class WireSession : public Poco::Net::SMTPClientSession {
 public:
  using SMTPClientSession::SMTPClientSession;
  using SMTPClientSession::socket;
};

struct Reply {
  int code = 0;
  std::vector<std::string> lines;  // the text after each line's code

  std::string Text() const {
    std::string text = std::to_string(code);
    for (const auto& line : lines) text += " " + line;
    return text;
  }
};

Poco::Timespan Millis(int ms) { return Poco::Timespan(static_cast<Poco::Timespan::TimeDiff>(ms) * 1000); }

// The settings hold the port as text; anything but a plain decimal number
// in range is refused here, before a connection is tried.
Poco::UInt16 ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5) throw SmtpError("invalid SMTP port \"" + text + "\"");
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw SmtpError("invalid SMTP port \"" + text + "\"");
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > 65535) throw SmtpError("invalid SMTP port \"" + text + "\"");
  return static_cast<Poco::UInt16>(value);
}

// A CR, LF or NUL in an address would end the command line early and let the
// rest of the address pass as a command of its own.
void CheckCommandArgument(std::string_view what, const std::string& value) {
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
    throw SmtpError(std::string(what) + " holds a line break");
}

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

// An AUTH capability line names LOGIN: "AUTH PLAIN LOGIN", or the older
// "AUTH=LOGIN" form some servers still send.
bool OffersAuthLogin(const Reply& ehlo) {
  for (const auto& line : ehlo.lines) {
    std::string upper;
    for (char c : line) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.size() < 5 || upper.compare(0, 4, "AUTH") != 0 || (upper[4] != ' ' && upper[4] != '='))
      continue;
    std::size_t pos = 5;
    while (pos < upper.size()) {
      std::size_t end = upper.find_first_of(" =", pos);
      if (end == std::string::npos) end = upper.size();
      if (upper.compare(pos, end - pos, "LOGIN") == 0 && end - pos == 5) return true;
      pos = end + 1;
    }
  }
  return false;
}

class Session {
 public:
  Session(const std::string& host, Poco::UInt16 port, const SmtpTimeouts& timeouts) {
    try {
      Poco::Net::StreamSocket socket;
      socket.connect(Poco::Net::SocketAddress(host, port), Millis(timeouts.connectMs));
      socket.setReceiveTimeout(Millis(timeouts.replyMs));
      socket.setSendTimeout(Millis(timeouts.replyMs));
      wire_.emplace(socket);
    } catch (const Poco::Exception& e) {
      throw SmtpError("cannot connect to " + host + ":" + std::to_string(port) + ": " + e.displayText());
    }
  }

  ~Session() { Close(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // True once the connection failed (time-out, closed, garbled reply): then
  // nothing more can be said to the server.
  bool broken() const { return broken_; }

  Reply Command(const std::string& line) {
    Write(line + "\r\n");
    return Read();
  }

  void Write(const std::string& bytes) {
    try {
      const char* p = bytes.data();
      std::size_t left = bytes.size();
      while (left > 0) {
        int chunk = static_cast<int>(std::min<std::size_t>(left, 1 << 20));
        int sent = wire_->socket().sendBytes(p, chunk, MSG_NOSIGNAL);
        if (sent <= 0) throw SmtpError("connection closed while sending");
        p += sent;
        left -= static_cast<std::size_t>(sent);
      }
    } catch (const Poco::TimeoutException&) {
      Fail("time-out while sending to the server");
    } catch (const Poco::Exception& e) {
      Fail("sending failed: " + e.displayText());
    } catch (const SmtpError& e) {
      Fail(e.what());
    }
  }

  // One reply: lines "ddd-text" continued up to the line "ddd text".
  Reply Read() {
    Reply reply;
    try {
      for (;;) {
        std::string line;
        if (!wire_->socket().receiveMessage(line)) Fail("connection closed by the server");
        if (line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[0])) ||
            !std::isdigit(static_cast<unsigned char>(line[1])) ||
            !std::isdigit(static_cast<unsigned char>(line[2])) || (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
          Fail("malformed reply \"" + line + "\"");
        reply.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        reply.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
        if (line.size() == 3 || line[3] == ' ') return reply;
      }
    } catch (const Poco::TimeoutException&) {
      Fail("time-out waiting for the server's reply");
    } catch (const Poco::Exception& e) {
      Fail("receiving failed: " + e.displayText());
    }
  }

  void Close() {
    if (!wire_) return;
    try {
      wire_->socket().close();
    } catch (...) {
    }
    wire_.reset();
  }

 private:
  [[noreturn]] void Fail(const std::string& message) {
    broken_ = true;
    throw SmtpError(message);
  }

  std::optional<WireSession> wire_;
  bool broken_ = false;
};

void Expect(const Reply& reply, std::initializer_list<int> codes, const char* step) {
  for (int code : codes)
    if (reply.code == code) return;
  throw SmtpError(std::string(step) + " refused: " + reply.Text());
}

}  // namespace

PocoSmtpTransport::PocoSmtpTransport(SmtpTimeouts timeouts, std::string helloName)
    : timeouts_(timeouts), helloName_(std::move(helloName)) {
  if (helloName_.empty()) {
    try {
      helloName_ = Poco::Net::DNS::hostName();
    } catch (const Poco::Exception&) {
    }
    if (helloName_.empty()) helloName_ = "localhost";
  }
}

void PocoSmtpTransport::Send(const SmtpAccount& account, const SmtpEnvelope& envelope,
                             const std::string& data) {
  const Poco::UInt16 port = ParsePort(account.port);
  if (account.host.empty()) throw SmtpError("no SMTP server given");
  if (envelope.recipients.empty()) throw SmtpError("no recipients");
  CheckCommandArgument("the sender address", envelope.from);
  for (const auto& to : envelope.recipients) CheckCommandArgument("a recipient address", to);

  Session session(account.host, port, timeouts_);

  Expect(session.Read(), {220}, "greeting");
  Reply hello = session.Command("EHLO " + helloName_);
  bool extended = hello.code == 250;
  if (!extended) Expect(session.Command("HELO " + helloName_), {250}, "HELO");

  if (extended && !account.user.empty() && OffersAuthLogin(hello)) {
    Expect(session.Command("AUTH LOGIN"), {334}, "AUTH LOGIN");
    Expect(session.Command(EncodeBase64(account.user)), {334}, "user name");
    Expect(session.Command(EncodeBase64(account.password)), {235}, "authentication");
  }

  session.Command("RSET");
  Expect(session.Command("MAIL FROM: <" + envelope.from + ">"), {250}, "MAIL FROM");
  try {
    for (const auto& to : envelope.recipients)
      Expect(session.Command("RCPT TO:<" + to + ">"), {250, 251}, "RCPT TO");
    Expect(session.Command("DATA"), {354}, "DATA");
    session.Write(DotStuffed(data));
    Expect(session.Read(), {250}, "message");
  } catch (const SmtpError&) {
    // A live server is told to drop the transaction; after a broken
    // connection there is nobody to tell, and waiting for a reply to RSET
    // would only double the time-out.
    if (!session.broken()) {
      try {
        session.Command("RSET");
      } catch (const SmtpError&) {
      }
    }
    throw;
  }

  // The message is delivered: whatever QUIT gets back cannot undo that.
  try {
    session.Command("QUIT");
  } catch (const SmtpError&) {
  }
}

}  // namespace zentavo
