// The connection to a mail server that the SMTP and POP3 sessions share: a
// TCP socket whose every wait is bounded, under TLS from the first byte or
// upgraded to it by the session (STARTTLS, STLS), and what both sessions
// check of what they send (the port, line breaks in arguments) and of what
// they report (no credential in an error text).
//
// TLS uses the system's OpenSSL directly: the program decides for itself,
// per connection, whether a certificate is acceptable (verified against the
// system's CA store with the host name, or the very certificate the
// operator trusted for this server), which a process-wide certificate
// handler could not do for sessions running side by side.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "store/ServerSecurity.h"

namespace zentavo {

// What a session needs to know of the server's security.
struct ConnectionSecurity {
  Security mode = Security::Automatic;
  bool tlsSeen = false;            // the server offered TLS before
  std::string trustedFingerprint;  // a certificate the operator trusted, "" when none
};

// Where a session gets the OAuth 2.0 access token it logs in with (SASL
// XOAUTH2 or OAUTHBEARER). Called on worker threads, so it must be safe to
// call from several at once.
class AccessTokenSource {
 public:
  virtual ~AccessTokenSource() = default;
  // A token good for at least the next minute: the one held, or a fresh one
  // when it is about to expire or when `refresh` says the server refused
  // it. Throws MailServerError, whose notice tells the operator what to do,
  // when none can be had (not signed in, the sign-in revoked, the token
  // server out of reach).
  virtual std::string AccessToken(bool refresh) = 0;
};

// A mail server's account as the settings give it: SMTP and POP3 share one
// user name and password, or one OAuth 2.0 sign-in.
struct ServerAccount {
  std::string host;
  std::string port;  // decimal text
  std::string user;
  std::string password;
  ConnectionSecurity security;
  std::shared_ptr<AccessTokenSource> tokens = nullptr;  // OAuth 2.0; nullptr: the password
};

// Every wait of a session is bounded.
struct ServerTimeouts {
  int connectMs = 30000;
  int replyMs = 60000;
};

// How a session goes about TLS.
enum class TlsPlan {
  Clear,          // never
  Opportunistic,  // upgrade when the server offers it
  Upgrade,        // upgrade, or no session at all
  Implicit,       // TLS from the first byte
};

// The plan for a connection to `port`: "自動" takes `implicitPort` (465,
// 995) to mean TLS from the start and `submissionPort` (587; 0 for none) to
// mean a required upgrade; any other port upgrades when offered, and a
// server that offered it once must always offer it.
TlsPlan PlanTls(const ConnectionSecurity& security, std::uint16_t port, std::uint16_t implicitPort,
                std::uint16_t submissionPort);

// A certificate that could not be verified, for the operator to judge.
struct CertificateProblem {
  std::string server;       // "host:port"
  std::string reason;       // OpenSSL's, in English
  std::string fingerprint;  // SHA-256, "AB:CD:..."
};

// A failure talking to a mail server. `what()` is the detail for the
// diagnostic log (never a credential). `notice` (Shift_JIS, may be empty)
// tells the operator what the failure means when it is about the
// connection's security; `certificate` is set when the server's certificate
// was not accepted.
struct MailServerError : std::runtime_error {
  explicit MailServerError(const std::string& what, std::string notice = {},
                           std::optional<CertificateProblem> certificate = std::nullopt)
      : std::runtime_error(what), notice(std::move(notice)), certificate(std::move(certificate)) {}
  std::string notice;
  std::optional<CertificateProblem> certificate;
  bool offeredUpgrade = false;  // the server offered STARTTLS/STLS before the failure
};

// What one session learned of the server's security, for the caller to keep
// and the diagnostic log to show.
struct SessionSecurity {
  bool tls = false;
  bool offeredUpgrade = false;  // the server offered STARTTLS or STLS
  std::string version, cipher;
};

// The port from the settings' text: a decimal number from 1 to 65535, or
// MailServerError naming `what` ("SMTP", "POP").
std::uint16_t ParseServerPort(std::string_view what, const std::string& text);

// What a session checks of its account before it connects: the port (as
// ParseServerPort), a host, and no OAuth 2.0 login where TLS is switched
// off (a token is as good as a password). Throws MailServerError.
std::uint16_t CheckedServer(std::string_view what, const ServerAccount& account);

// A CR, LF or NUL in a value sent as part of a command line would end the
// line early and let the rest pass as a command of its own.
bool HasLineBreak(const std::string& value);

// `text` with every occurrence of each secret replaced by "***".
std::string WithoutSecrets(std::string text, std::initializer_list<std::string_view> secrets);

class MailConnection {
 public:
  // Connects; every later wait is bounded by `replyMs`. Throws
  // MailServerError.
  MailConnection(const std::string& host, std::uint16_t port, int connectMs, int replyMs);
  ~MailConnection();
  MailConnection(const MailConnection&) = delete;
  MailConnection& operator=(const MailConnection&) = delete;

  // The TLS handshake, then the certificate check: it must verify against
  // the system's CA store for this host name, or be the very certificate
  // the operator trusted. Nothing is sent before that. Bytes the server
  // sent before the handshake that the session has not read yet would be
  // taken as coming under TLS, so they fail the session. Throws
  // MailServerError (with `certificate` when that is the problem).
  void StartTls(const std::string& trustedFingerprint);

  // Sends every byte. Throws MailServerError.
  void Send(std::string_view bytes);
  // Up to `size` bytes, at least one; 0 when the server closed the
  // connection. Throws MailServerError on a time-out or failure.
  std::size_t Receive(char* buffer, std::size_t size);
  // One line without its CR LF; false when the connection closed first.
  // Throws MailServerError when a line grows beyond `limit`. (A session
  // reads either with ReadLine or with Receive, never both.)
  bool ReadLine(std::string& line, std::size_t limit = 64 * 1024);
  // True when ReadLine holds bytes not yet returned.
  bool HasUnread() const { return !pending_.empty(); }

  const SessionSecurity& Security() const { return security_; }
  const std::string& Server() const { return server_; }
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string host_;
  std::string server_;   // "host:port"
  std::string pending_;  // received, not yet returned by ReadLine
  SessionSecurity security_;
};

}  // namespace zentavo
