// The SMTP session of one batch, over a Poco dialog socket.
//
// Poco's own SMTP client is not used: in the Poco of this platform its reply
// reader spins for ever when the server closes the connection in the middle
// of a multi-line reply, and its writes can raise SIGPIPE on a connection
// the server has dropped, which would kill the whole program. So the lines
// are written here (with MSG_NOSIGNAL) and the replies are read here line by
// line, with the receive time-out bounding every wait.
#include "send/SmtpSession.h"

#include <Poco/Exception.h>
#include <Poco/Net/DNS.h>
#include <Poco/Net/DialogSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/Timespan.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "store/Base64.h"

namespace zentavo {
namespace {

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

// Replaces every trace of the credentials in an error text by "***". The
// client never puts them there itself, but a server may quote the line it
// refused, and the text goes on to the operator and the diagnostic log.
std::string WithoutCredentials(std::string text, const SmtpAccount& account) {
  for (const std::string& secret :
       {EncodeBase64(account.password), EncodeBase64(account.user), account.password}) {
    if (secret.empty()) continue;
    for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
      text.replace(at, secret.size(), "***");
  }
  return text;
}

Poco::Net::StreamSocket Connect(const std::string& host, Poco::UInt16 port, const SmtpTimeouts& timeouts) {
  try {
    Poco::Net::StreamSocket socket;
    socket.connect(Poco::Net::SocketAddress(host, port), Millis(timeouts.connectMs));
    socket.setReceiveTimeout(Millis(timeouts.replyMs));
    socket.setSendTimeout(Millis(timeouts.replyMs));
    return socket;
  } catch (const Poco::Exception& e) {
    throw SmtpError("cannot connect to " + host + ":" + std::to_string(port) + ": " + e.displayText());
  }
}

// One connection to the server. `step` names the command in every error, and
// only the name: the line itself may carry the credentials.
class Session {
 public:
  Session(const std::string& host, Poco::UInt16 port, const SmtpTimeouts& timeouts)
      : socket_(Connect(host, port, timeouts)) {}

  ~Session() {
    try {
      socket_.close();
    } catch (const Poco::Exception&) {
    }
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // True once the connection failed (time-out, closed, garbled reply): then
  // nothing more can be said to the server.
  bool broken() const { return broken_; }

  // Sends one command line and returns the reply, which must carry one of
  // `accepted` (any reply will do when it is empty).
  Reply Ask(std::string_view step, const std::string& line, std::initializer_list<int> accepted = {}) {
    Write(step, line + "\r\n");
    return Await(step, accepted);
  }

  void Write(std::string_view step, const std::string& bytes) {
    try {
      const char* p = bytes.data();
      std::size_t left = bytes.size();
      while (left > 0) {
        int chunk = static_cast<int>(std::min<std::size_t>(left, 1 << 20));
        int sent = socket_.sendBytes(p, chunk, MSG_NOSIGNAL);
        if (sent <= 0) Fail(step, "connection closed while sending");
        p += sent;
        left -= static_cast<std::size_t>(sent);
      }
    } catch (const Poco::TimeoutException&) {
      Fail(step, "time-out while sending to the server");
    } catch (const Poco::Exception& e) {
      Fail(step, "sending failed: " + e.displayText());
    }
  }

  // One reply: lines "ddd-text" continued up to the line "ddd text".
  Reply Await(std::string_view step, std::initializer_list<int> accepted) {
    Reply reply;
    try {
      for (;;) {
        std::string line;
        if (!socket_.receiveMessage(line)) Fail(step, "connection closed by the server");
        if (line.size() < 3 || !std::isdigit(static_cast<unsigned char>(line[0])) ||
            !std::isdigit(static_cast<unsigned char>(line[1])) ||
            !std::isdigit(static_cast<unsigned char>(line[2])) || (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
          Fail(step, "malformed reply \"" + line + "\"");
        reply.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        reply.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
        if (line.size() == 3 || line[3] == ' ') break;
      }
    } catch (const Poco::TimeoutException&) {
      Fail(step, "time-out waiting for the server's reply");
    } catch (const Poco::Exception& e) {
      Fail(step, "receiving failed: " + e.displayText());
    }
    if (accepted.size() > 0 && std::find(accepted.begin(), accepted.end(), reply.code) == accepted.end())
      throw SmtpError(std::string(step) + " refused: " + reply.Text());
    return reply;
  }

 private:
  [[noreturn]] void Fail(std::string_view step, const std::string& what) {
    broken_ = true;
    throw SmtpError(std::string(step) + ": " + what);
  }

  Poco::Net::DialogSocket socket_;
  bool broken_ = false;
};

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

  // Set once the final "." is out: from then on the server may deliver the
  // message whatever becomes of the session.
  bool handedOver = false;
  try {
    Session session(account.host, port, timeouts_);
    session.Await("greeting", {220});
    const Reply hello = session.Ask("EHLO", "EHLO " + helloName_);
    const bool extended = hello.code == 250;
    if (!extended) session.Ask("HELO", "HELO " + helloName_, {250});

    if (extended && !account.user.empty() && OffersAuthLogin(hello)) {
      session.Ask("AUTH LOGIN", "AUTH LOGIN", {334});
      session.Ask("AUTH LOGIN user name", EncodeBase64(account.user), {334});
      session.Ask("AUTH LOGIN password", EncodeBase64(account.password), {235});
    }

    session.Ask("RSET", "RSET");
    session.Ask("MAIL FROM", "MAIL FROM: <" + envelope.from + ">", {250});
    try {
      for (const auto& to : envelope.recipients) session.Ask("RCPT TO", "RCPT TO:<" + to + ">", {250, 251});
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
        } catch (const SmtpError&) {
        }
      }
      throw;
    }

    // The message is delivered: whatever QUIT gets back cannot undo that.
    try {
      session.Ask("QUIT", "QUIT");
    } catch (const SmtpError&) {
    }
  } catch (const SmtpError& e) {
    throw SmtpError(WithoutCredentials(e.what(), account), handedOver);
  }
}

}  // namespace zentavo
