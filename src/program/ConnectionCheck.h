// "接続確認": the SMTP and POP3 servers tried with the settings as they stand
// (connection, TLS, login), without sending or fetching any mail, so that
// the operator learns before the first notice whether the settings work,
// and can trust a server's own certificate then rather than mid-send.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/Operator.h"
#include "base/Steps.h"
#include "net/Pop3Transport.h"
#include "net/SmtpTransport.h"
#include "store/DataFolder.h"
#include "store/Settings.h"

namespace zentavo {

struct ConnectionCheckContext {
  const DataFolder& folder;
  Settings& settings;
  Operator& op;
  std::shared_ptr<SmtpTransport> smtp;
  std::shared_ptr<Pop3Transport> pop3;
  StepRunner& runner;
  bool& running;  // shared with the other runs of the settings page: one at a time
  std::function<void()> finished = [] {};
};

// What one server said (Shift_JIS), for the summary: its name and port,
// then the TLS in use or none, then the login accepted or the reason.
std::string DescribeCheck(std::string_view role, const std::string& server, const SessionSecurity* security,
                          const std::string& failure);

// Tries both servers, one after the other, on the runner's worker; then
// shows one summary ("接続確認の結果"). A certificate that could not be
// verified is put to the operator to trust, as a failed send would.
RunTask CheckConnections(ConnectionCheckContext c);

}  // namespace zentavo
