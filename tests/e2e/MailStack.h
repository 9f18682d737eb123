// The mail stack of tests/mailstack (Postfix and Dovecot on 127.0.0.1) as
// the end-to-end tests see it: its accounts and ports, read from the folder
// that mailstack.sh set up, and its mailboxes, read over POP3.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace zentavo::e2e {

struct MailStack {
  // Why no stack runs on this machine (mailstack.sh's note), or empty; when
  // it is set, nothing else is.
  std::string unavailable;
  std::string smtpHost, smtpPort, pop3Host, pop3Port, domain;
  std::vector<std::string> users;  // full addresses, the office first
  std::string password;            // the same for every user
  // The TLS ports (on smtpHost and pop3Host): STARTTLS required before AUTH,
  // implicit TLS, implicit TLS under a certificate for wrong.test only, and
  // POP3 in implicit TLS (the plain POP3 port offers STLS besides).
  std::string smtpStartTlsPort, smtpsPort, smtpsWrongNamePort, pop3sPort;
  // The CA that signed the servers' certificates (ctest points SSL_CERT_FILE
  // at it), and one that signed nothing of the stack's, to make it
  // untrusted. PEM files.
  std::string caFile, otherCaFile;
  // An address taken at RCPT time whose delivery then fails: Postfix
  // returns a delivery status notification to the sender.
  std::string deadAddress;
  // The test authorization server (tests/oauth/authserver.py): its
  // endpoints (HTTPS under caFile), its controls and its record of
  // requests, the same server in plain HTTP, a public client, one with a
  // secret, the scope the mail servers ask for, and whom a token is for
  // when the sign-in names no account.
  std::string oauthAuthorizeUrl, oauthTokenUrl, oauthControlUrl, oauthLogUrl, oauthHttpBaseUrl;
  std::string oauthClientId, oauthSecretClientId, oauthClientSecret, oauthScope, oauthDefaultUser;

  // The stack whose folder the environment variable ZENTAVO_MAILSTACK names
  // (ctest sets it). Throws std::runtime_error when there is none.
  static MailStack FromEnvironment();

  const std::string& office() const { return users.at(0); }
  const std::string& staff(std::size_t i) const { return users.at(i + 1); }
  // A mailbox no notice goes to, for the tests of reading and deleting.
  const std::string& reader() const { return users.at(6); }
  // The office of the reception test, which reads and empties its mailbox.
  const std::string& desk() const { return users.at(7); }

  // The user's messages that contain `marker`, raw (header, blank line, body,
  // CR LF), once there are at least `count` or `limit` has passed: delivery
  // lags the SMTP reply by a few milliseconds, so the mailbox is polled.
  std::vector<std::string> Await(const std::string& user, const std::string& marker, std::size_t count,
                                 std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

  // Sends the controls (a JSON object) to the authorization server and
  // returns its settings; the server's record of requests to one endpoint
  // ("token", "authorize") as JSON. Both throw std::runtime_error unless
  // the answer is 200.
  std::string ControlOAuth(const std::string& json) const;
  std::string OAuthLog(const std::string& endpoint) const;
};

// A text no other test or run uses, to find one test's messages among all.
std::string UniqueMarker(const std::string& label);

}  // namespace zentavo::e2e
