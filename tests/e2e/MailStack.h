// The running mail stack of tests/mailstack (Postfix and Dovecot on
// 127.0.0.1), as the end-to-end tests see it: its accounts and ports, read
// from the env file that mailstack.sh wrote, and its mailboxes, read over
// POP3.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "send/SmtpSession.h"

namespace zentavo::e2e {

struct MailStack {
  std::string dir;
  std::string smtpHost;
  std::string smtpPort;
  std::string pop3Host;
  std::string pop3Port;
  std::string domain;
  std::vector<std::string> users;  // full addresses, the office first
  std::string password;            // the same for every user

  // The stack whose folder the environment variable ZENTAVO_MAILSTACK names
  // (ctest sets it). Throws std::runtime_error when there is none.
  static MailStack FromEnvironment();

  const std::string& office() const { return users.at(0); }
  std::vector<std::string> staff() const { return {users.begin() + 1, users.end()}; }

  // The office's settings as the program would hold them.
  SmtpAccount Account() const { return {smtpHost, smtpPort, office(), password}; }

  // Every message in the user's mailbox, as raw text (header, blank line,
  // body; CR LF line ends, dots already unstuffed by the POP3 client).
  std::vector<std::string> Fetch(const std::string& user) const;

  // The user's messages that contain `marker`, once `done` accepts them or
  // `limit` has passed (delivery lags the SMTP 250 by a few milliseconds, so
  // the mailbox is polled, not slept on).
  std::vector<std::string> Await(const std::string& user, const std::string& marker,
                                 const std::function<bool(const std::vector<std::string>&)>& done,
                                 std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
};

// A text no other test or run uses, to find one test's messages among all.
std::string UniqueMarker(const std::string& label);

// The header part of a raw message (up to the first empty line).
std::string HeaderOf(const std::string& message);
// The body part of a raw message (after the first empty line).
std::string BodyOf(const std::string& message);

}  // namespace zentavo::e2e
