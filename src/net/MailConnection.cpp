#include "net/MailConnection.h"

#include <Poco/Exception.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/Timespan.h>
#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <optional>

#include "base/DiagnosticLog.h"
#include "net/SaslOAuth.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

Poco::Timespan Millis(int ms) { return Poco::Timespan(static_cast<Poco::Timespan::TimeDiff>(ms) * 1000); }

// OpenSSL writes with plain send(): a server that drops the connection
// would otherwise end the whole program with SIGPIPE instead of failing one
// session.
void IgnoreBrokenPipes() {
  static std::once_flag once;
  std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

std::string OpenSslError() {
  std::string text;
  for (unsigned long code = ERR_get_error(); code != 0; code = ERR_get_error()) {
    char buffer[256];
    ERR_error_string_n(code, buffer, sizeof buffer);
    if (!text.empty()) text += "; ";
    text += buffer;
  }
  return text.empty() ? "no further detail" : text;
}

std::string Fingerprint(X509* certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return {};
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : ":%02X", digest[i]);
    text += hex;
  }
  return text;
}

// The host as an address in its plain form, for every spelling the
// resolver takes for one ("127.1", "2130706433", "0x7f000001" are all
// 127.0.0.1): such a host must be checked against the certificate's
// addresses, never as a name. Nothing for a host name.
std::optional<std::string> AddressOf(const std::string& host) {
  char text[INET6_ADDRSTRLEN] = {};
  in_addr v4{};
  if (::inet_aton(host.c_str(), &v4) == 1) return ::inet_ntop(AF_INET, &v4, text, sizeof text) ? text : host;
  in6_addr v6{};
  if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1) return ::inet_ntop(AF_INET6, &v6, text, sizeof text) ? text : host;
  return std::nullopt;
}

}  // namespace

struct MailConnection::Impl {
  Poco::Net::StreamSocket socket;
  SSL_CTX* context = nullptr;
  SSL* ssl = nullptr;
  bool closed = false;
  ~Impl() {
    if (ssl) SSL_free(ssl);
    if (context) SSL_CTX_free(context);
  }
};

TlsPlan PlanTls(const ConnectionSecurity& security, std::uint16_t port, std::uint16_t implicitPort,
                std::uint16_t submissionPort) {
  switch (security.mode) {
    case Security::None: return TlsPlan::Clear;
    case Security::StartTls: return TlsPlan::Upgrade;
    case Security::Tls: return TlsPlan::Implicit;
    case Security::Automatic: break;
  }
  if (port == implicitPort) return TlsPlan::Implicit;
  if (port == submissionPort || security.tlsSeen) return TlsPlan::Upgrade;
  return TlsPlan::Opportunistic;
}

std::uint16_t ParseServerPort(std::string_view what, const std::string& text) {
  unsigned value = 0;
  bool digits = !text.empty() && text.size() <= 5;
  for (const char c : text) {
    digits = digits && c >= '0' && c <= '9';
    if (digits) value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (!digits || value < 1 || value > 65535) {
    throw MailServerError("invalid " + std::string(what) + " port \"" + text + "\"");
  }
  return static_cast<std::uint16_t>(value);
}

std::uint16_t CheckedServer(std::string_view what, const ServerAccount& account) {
  const std::uint16_t port = ParseServerPort(what, account.port);
  if (account.host.empty()) throw MailServerError("no " + std::string(what) + " server given");
  if (account.tokens && account.security.mode == Security::None)
    throw MailServerError("OAuth 2.0 needs TLS; the settings say none", OAuthNeedsTlsNotice());
  return port;
}

bool HasLineBreak(const std::string& value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

std::string WithoutSecrets(std::string text, std::initializer_list<std::string_view> secrets) {
  for (const std::string_view secret : secrets) {
    if (secret.empty()) continue;
    for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3)) {
      text.replace(at, secret.size(), "***");
    }
  }
  return text;
}

MailConnection::MailConnection(const std::string& host, std::uint16_t port, int connectMs, int replyMs)
    : impl_(std::make_unique<Impl>()), host_(host), server_(host + ":" + std::to_string(port)) {
  IgnoreBrokenPipes();
  try {
    impl_->socket.connect(Poco::Net::SocketAddress(host, port), Millis(connectMs));
    impl_->socket.setReceiveTimeout(Millis(replyMs));
    impl_->socket.setSendTimeout(Millis(replyMs));
    // Each command is one small write awaited by its reply: nothing to
    // gain from holding it back.
    impl_->socket.setNoDelay(true);
  } catch (const Poco::Exception& e) { throw MailServerError("cannot connect to " + server_ + ": " + e.displayText()); }
}

MailConnection::~MailConnection() { Close(); }

void MailConnection::StartTls(const std::string& trustedFingerprint) {
  if (HasUnread()) {
    throw MailServerError(server_ + " sent more before the TLS handshake than it should; the session is given up");
  }
  Impl& c = *impl_;
  c.context = SSL_CTX_new(TLS_client_method());
  if (!c.context || SSL_CTX_set_min_proto_version(c.context, TLS1_2_VERSION) != 1 ||
      SSL_CTX_set_default_verify_paths(c.context) != 1) {
    throw MailServerError("TLS cannot be set up: " + OpenSslError());
  }
  // The handshake completes whatever the certificate; whether it is
  // acceptable is decided below, before anything is sent.
  SSL_CTX_set_verify(c.context, SSL_VERIFY_NONE, nullptr);
  c.ssl = SSL_new(c.context);
  if (!c.ssl || SSL_set_fd(c.ssl, c.socket.impl()->sockfd()) != 1) {
    throw MailServerError("TLS cannot be set up: " + OpenSslError());
  }
  // The certificate must name this server: its address for an address, its
  // name for a name. A check that cannot be set up refuses the connection.
  const std::optional<std::string> address = AddressOf(host_);
  const bool identified =
      address ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(c.ssl), address->c_str()) == 1
              : SSL_set_tlsext_host_name(c.ssl, host_.c_str()) == 1 && SSL_set1_host(c.ssl, host_.c_str()) == 1;
  if (!identified) throw MailServerError("the identity of " + server_ + " cannot be checked: " + OpenSslError());
  if (const int done = SSL_connect(c.ssl); done != 1) {
    const int error = SSL_get_error(c.ssl, done);
    const bool late = error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE ||
                      (error == SSL_ERROR_SYSCALL && (errno == EAGAIN || errno == EWOULDBLOCK));
    throw MailServerError("TLS handshake with " + server_ +
                              " failed: " + (late ? std::string("time-out waiting for the server") : OpenSslError()),
                          Sj("サーバ ") + Utf8ToSjis(server_).text + Sj(" と暗号化通信を始められませんでした。"));
  }
  X509* peer = SSL_get1_peer_certificate(c.ssl);
  const std::string fingerprint = peer ? Fingerprint(peer) : std::string();
  if (peer) X509_free(peer);
  const long verified = peer ? SSL_get_verify_result(c.ssl) : X509_V_ERR_UNSPECIFIED;
  if (verified != X509_V_OK && (trustedFingerprint.empty() || fingerprint != trustedFingerprint)) {
    const std::string reason = peer ? X509_verify_cert_error_string(verified) : "the server sent no certificate";
    throw MailServerError("the certificate of " + server_ + " is not accepted: " + reason, {},
                          CertificateProblem{server_, reason, fingerprint});
  }
  security_.tls = true;
  security_.version = SSL_get_version(c.ssl);
  security_.cipher = SSL_get_cipher_name(c.ssl);
  LogDiagnostic("TLS with " + server_ + ": " + security_.version + " " + security_.cipher +
                (verified == X509_V_OK ? "" : ", certificate trusted by the operator (" + fingerprint + ")"));
}

void MailConnection::Send(std::string_view bytes) {
  Impl& c = *impl_;
  try {
    while (!bytes.empty()) {
      const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
      int sent = 0;
      if (c.ssl) {
        sent = SSL_write(c.ssl, bytes.data(), chunk);
        if (sent <= 0) {
          const int error = SSL_get_error(c.ssl, sent);
          if (error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ)
            throw MailServerError("time-out while sending to the server");
          throw MailServerError("sending failed: " + OpenSslError());
        }
      } else {
        sent = c.socket.sendBytes(bytes.data(), chunk, MSG_NOSIGNAL);
        if (sent <= 0) throw MailServerError("connection closed while sending");
      }
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
  } catch (const Poco::TimeoutException&) {
    throw MailServerError("time-out while sending to the server");
  } catch (const Poco::Exception& e) { throw MailServerError("sending failed: " + e.displayText()); }
}

std::size_t MailConnection::Receive(char* buffer, std::size_t size) {
  Impl& c = *impl_;
  const int want = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
  if (c.ssl) {
    const int got = SSL_read(c.ssl, buffer, want);
    if (got > 0) return static_cast<std::size_t>(got);
    switch (SSL_get_error(c.ssl, got)) {
      case SSL_ERROR_ZERO_RETURN: return 0;
      case SSL_ERROR_WANT_READ:
      case SSL_ERROR_WANT_WRITE: throw MailServerError("time-out waiting for the server");
      case SSL_ERROR_SYSCALL:
        if (ERR_peek_error() == 0) return 0;  // closed without a TLS goodbye
        [[fallthrough]];
      default: throw MailServerError("receiving failed: " + OpenSslError());
    }
  }
  try {
    const int got = c.socket.receiveBytes(buffer, want);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
  } catch (const Poco::TimeoutException&) {
    throw MailServerError("time-out waiting for the server");
  } catch (const Poco::Exception& e) { throw MailServerError("receiving failed: " + e.displayText()); }
}

bool MailConnection::ReadLine(std::string& line, std::size_t limit) {
  for (std::size_t scanned = 0;;) {
    if (const std::size_t end = pending_.find("\r\n", scanned ? scanned - 1 : 0); end != std::string::npos) {
      line.assign(pending_, 0, end);
      pending_.erase(0, end + 2);
      return true;
    }
    if (pending_.size() > limit)
      throw MailServerError("malformed reply: no line end in " + std::to_string(limit) + " bytes");
    scanned = pending_.size();
    char chunk[4096];
    const std::size_t got = Receive(chunk, sizeof chunk);
    if (got == 0) return false;
    pending_.append(chunk, got);
  }
}

void MailConnection::Close() {
  if (!impl_ || impl_->closed) return;
  impl_->closed = true;
  if (impl_->ssl) SSL_shutdown(impl_->ssl);
  try {
    impl_->socket.close();
  } catch (const Poco::Exception&) {}
}

}  // namespace zentavo
