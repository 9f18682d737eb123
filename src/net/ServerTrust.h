// What the runs do with what a session learned of a server's security: a
// server that offered TLS is never spoken to in clear again, and a
// certificate that could not be verified is put to the operator, who may
// trust it for that server from then on (its fingerprint is kept and must
// match next time). Both are kept in the security file at once.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "base/Operator.h"
#include "net/MailConnection.h"
#include "store/DataFolder.h"
#include "store/Settings.h"

namespace zentavo {

enum class MailServer { Smtp, Pop3 };

// The connection security the settings give for the configured server.
ConnectionSecurity SecurityFor(const Settings& settings, MailServer server);

// Where the sessions get an access token: with an OAuth 2.0 sign-in, the
// program's (or, before there is one, a source that says to sign in);
// nullptr for a password login.
std::shared_ptr<AccessTokenSource> TokensFor(const Settings& settings);

// Why a session failed: the detail for the log, whether the message may
// have reached the server all the same (then it may have been delivered),
// and what the operator should hear about the connection's security.
struct ServerFailure {
  bool failed = false;
  bool handedOver = false;
  std::string detail;
  std::string notice;  // Shift_JIS
  std::optional<CertificateProblem> certificate;
  bool offeredUpgrade = false;  // the server offered STARTTLS or STLS before it failed
};
ServerFailure FailureOf(const std::exception& e);

// After a session that went through: remembers a server that offered TLS.
void KeepSessionSecurity(Settings& settings, const DataFolder& folder, MailServer server,
                         const SessionSecurity& security);

// After a session that failed: a server that offered TLS is held to it
// all the same, from the moment the offer was seen.
void KeepFailureSecurity(Settings& settings, const DataFolder& folder, MailServer server, const ServerFailure& failure);

// The operator hears of a failure: `message` with the security notice
// under it, the detail behind it; for a certificate that was not accepted,
// the question whether to trust it for this server from now on. (The
// server is held to TLS first, as KeepFailureSecurity does.)
void ReportServerFailure(Operator& op, std::string_view message, const ServerFailure& failure, Settings& settings,
                         const DataFolder& folder, MailServer server);

}  // namespace zentavo
