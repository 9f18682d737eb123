// One SMTP session: connect (under TLS from the start, or upgraded by
// STARTTLS), greet (EHLO, HELO as the fallback where TLS is not wanted), log
// in with AUTH PLAIN or LOGIN, RSET, the envelope, DATA, QUIT. Each batch of
// a notice goes out in a session of its own.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "net/MailConnection.h"

namespace zentavo {

using SmtpAccount = ServerAccount;

struct SmtpEnvelope {
  std::string from;                     // MAIL FROM
  std::vector<std::string> recipients;  // RCPT TO, in order: To, then Cc, then Bcc
};

using SmtpTimeouts = ServerTimeouts;

// What went wrong: the step and the server's reply when there was one, never
// the password or a line the client sent while authenticating.
// `messageHandedOver` is true when the failure came after the whole message
// had gone to the server (the final "." was sent and its reply was refused
// or never came): the server may have delivered it all the same. Every
// failure before that point leaves it false, so the caller knows nothing
// went out.
struct SmtpError : MailServerError {
  explicit SmtpError(const std::string& what, bool handedOver = false)
      : MailServerError(what), messageHandedOver(handedOver) {}
  SmtpError(const std::string& what, const MailServerError& cause, bool handedOver = false)
      : MailServerError(what, cause.notice, cause.certificate), messageHandedOver(handedOver) {}
  bool messageHandedOver = false;
};

// How the send runs reach the server; tests put a fake in its place.
class SmtpTransport {
 public:
  virtual ~SmtpTransport() = default;
  // Delivers `data` (the message's header and body, lines ended by CR LF,
  // not yet dot-stuffed) in one session and says how secure it was. Throws
  // SmtpError (or another std::exception) when the message was not
  // accepted. Called on a worker thread: it must use nothing but its
  // arguments.
  virtual SessionSecurity Send(const SmtpAccount& account, const SmtpEnvelope& envelope, const std::string& data) = 0;
  // The same session up to the login, then QUIT: nothing is sent. For
  // "接続確認".
  virtual SessionSecurity Check(const SmtpAccount& account) = 0;
};

// The real transport: one session (and one connection) per Send, so that a
// failed batch never leaves a half-used connection behind and several
// worker threads may share one transport object.
//
// The exchange: TLS first on the implicit port (465 when automatic);
// greeting 220; "EHLO name" (on any reply but 250, "HELO name", unless TLS
// is wanted); "STARTTLS" and "EHLO name" again when the plan says so (a
// server that must upgrade and does not offer it ends the session before a
// word of the login); with a user name: with an access token, AUTH XOAUTH2
// (or OAUTHBEARER), in two steps when the line would be too long, and once
// more with a fresh token when the server refuses it; else AUTH PLAIN
// (preferred under TLS) or AUTH LOGIN, whichever the server offers, a clear
// failure when it offers neither, and no login at all when it offers no
// AUTH (servers that relay by address rely on that); "RSET";
// "MAIL FROM:<from>"; "RCPT TO:<to>" for each recipient in order (in one
// write where the server offers PIPELINING, the replies read after it);
// "DATA"; the dot-stuffed message; "."; "QUIT".
// When a recipient, DATA or the message is refused, "RSET" tells a server
// that is still listening to drop the transaction. Every wait is bounded by `timeouts`.
// Failures come back as SmtpError; a failing QUIT after the message was
// accepted is not a failure.
class PocoSmtpTransport final : public SmtpTransport {
 public:
  // `helloName` is the name given in EHLO/HELO; empty means this machine's
  // host name.
  explicit PocoSmtpTransport(SmtpTimeouts timeouts = {}, std::string helloName = {});

  SessionSecurity Send(const SmtpAccount& account, const SmtpEnvelope& envelope, const std::string& data) override;
  SessionSecurity Check(const SmtpAccount& account) override;

 private:
  // One session (without `envelope`, none beyond the login); `refresh`
  // asks for a fresh access token.
  SessionSecurity SendOnce(const SmtpAccount& account, const SmtpEnvelope* envelope, const std::string& data,
                           bool refresh);
  SessionSecurity Retrying(const SmtpAccount& account, const SmtpEnvelope* envelope, const std::string& data);
  SmtpTimeouts timeouts_;
  std::string helloName_;
};

}  // namespace zentavo
