// The operator's mailbox over POP3 (RFC 1939): log in with USER and PASS,
// count with STAT, fetch with RETR, mark with DELE, and QUIT, which makes
// the deletions final. One session per operation (a reception, a deletion),
// used step by step from worker threads, one step at a time.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "net/MailConnection.h"
#include "store/Settings.h"

namespace zentavo {

using Pop3Account = ServerAccount;

// The POP3 account from the settings, with its security.
Pop3Account Pop3AccountFor(const Settings& settings);

using Pop3Timeouts = ServerTimeouts;

// What went wrong, with the server's reply when there was one (never the
// password or a line of the login).
struct Pop3Error : MailServerError {
  using MailServerError::MailServerError;
};

// A logged-in session. Every call throws Pop3Error when the connection
// fails or the server answers in a way POP3 does not allow; after that the
// session is of no further use.
class Mailbox {
 public:
  virtual ~Mailbox() = default;
  // STAT: the number of messages.
  virtual int Count() = 0;
  // RETR n: the whole message as the server holds it (dot-unstuffing undone,
  // lines ended by CR LF). nullopt when the server answers "-ERR" (no such
  // message): a negative answer is no failure of the session.
  std::optional<std::string> Retrieve(int number) { return Retrieve(number, {}); }
  // The same, where the caller means to ask for the messages `next` after
  // this one, in that order: a server that takes commands in a pipeline
  // (CAPA PIPELINING, RFC 2449) is asked for some of them already, a window
  // ahead of the message being read, so that it sends on while the caller
  // deals with this one. Whatever the caller does next (asks for another
  // message, counts, quits), the replies asked for ahead and not wanted any
  // more are read and dropped first: a run that stops early reads what was
  // asked for and still ends with QUIT.
  virtual std::optional<std::string> Retrieve(int number, std::span<const int> next) = 0;
  // DELE n: false when the server answers "-ERR".
  bool Delete(int number) { return Delete(number, {}); }
  // The same with `next` asked for ahead as above. A DELE asked for marks
  // its message whether or not the caller reads its reply, so `next` holds
  // only messages that go in any case.
  virtual bool Delete(int number, std::span<const int> next) = 0;
  // UIDL: the unique id of every message by its number (RFC 1939), so
  // that a later session finds the very message again whatever another
  // client did meanwhile. nullopt when the server keeps no such ids.
  virtual std::optional<std::map<int, std::string>> UniqueIds() = 0;
  // LIST: the size in octets of every message by its number.
  virtual std::map<int, long long> Sizes() = 0;
  // QUIT, then the connection is closed. A session dropped without it (the
  // destructor) closes the connection and the server forgets the deletions.
  virtual void Quit() = 0;
  // How secure the session is, for the caller to keep.
  virtual SessionSecurity Security() const { return {}; }
};

// How the runs reach the server; tests put a fake in its place.
class Pop3Transport {
 public:
  virtual ~Pop3Transport() = default;
  // Connects and logs in. Throws Pop3Error. Called on a worker thread: it
  // must use nothing but its arguments.
  virtual std::unique_ptr<Mailbox> Open(const Pop3Account& account) = 0;
};

// The real transport: one connection per Open, so that several worker
// threads may share one transport object, which never changes.
//
// The exchange: TLS first on the implicit port (995 when automatic);
// greeting "+OK"; "CAPA" in every mode (a server without it answers
// "-ERR" and offers nothing); where the plan wants an upgrade and CAPA
// lists STLS, "STLS", the TLS handshake and "CAPA" again (a server that
// must upgrade and does not offer it ends the session before the login);
// "UTF8" when CAPA lists it (RFC 6856: such a server may otherwise hide a
// message with raw UTF-8 headers behind a notice of its own); "USER name"
// and "PASS password", or with an access token (only ever under TLS)
// "AUTH XOAUTH2" (or OAUTHBEARER when only that is listed) and the response
// after "+ ", once more with a fresh token when it is refused; then the
// mailbox's calls, one command each, RETR and DELE a window ahead where
// CAPA lists PIPELINING. Any reply that starts with neither "+OK" nor
// "-ERR" is malformed and fails the session. Every wait is bounded by
// `timeouts`.
class PocoPop3Transport final : public Pop3Transport {
 public:
  // A message larger than `messageLimit` bytes is read to its end (the
  // session goes on) but kept only up to the limit: no reply in a mailbox
  // can exhaust memory, and the reader of received mail copes with a
  // message cut short.
  static constexpr std::size_t kMessageLimit = 64 * 1024 * 1024;

  explicit PocoPop3Transport(Pop3Timeouts timeouts = {}, std::size_t messageLimit = kMessageLimit);

  std::unique_ptr<Mailbox> Open(const Pop3Account& account) override;

 private:
  // One session; `refresh` asks for a fresh access token.
  std::unique_ptr<Mailbox> OpenOnce(const Pop3Account& account, bool refresh);
  Pop3Timeouts timeouts_;
  std::size_t messageLimit_;
};

}  // namespace zentavo
