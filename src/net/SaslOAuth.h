// Logging in with an OAuth 2.0 access token: the SASL mechanisms mail
// servers offer for it, XOAUTH2 (Microsoft's and Google's) and OAUTHBEARER
// (RFC 7628), as SMTP AUTH and POP3 AUTH (RFC 5034) carry them.
#pragma once

#include <set>
#include <stdexcept>
#include <string>

#include "net/MailConnection.h"

namespace zentavo {

enum class OAuthMechanism { XOAuth2, OAuthBearer };

// "XOAUTH2" or "OAUTHBEARER".
const char* MechanismName(OAuthMechanism mechanism);

// XOAUTH2 where the server offers it, else OAUTHBEARER; nothing when it
// offers neither. `offered` holds the mechanism names in upper case.
std::optional<OAuthMechanism> ChooseOAuthMechanism(const std::set<std::string>& offered);

// The client's response, in Base64.
std::string OAuthResponse(OAuthMechanism mechanism, const std::string& user, const std::string& token);

// What the client answers to the server's error continuation (a challenge
// carrying a JSON status after a refused token) before the server gives its
// final failure: an empty line for XOAUTH2, %x01 in Base64 for OAUTHBEARER.
const char* ErrorContinuationAnswer(OAuthMechanism mechanism);

// The server refused the access token. The session that gets it asks for a
// fresh token and tries once more before it reports.
struct TokenRefused : MailServerError {
  using MailServerError::MailServerError;
};

// What the operator hears when even a fresh token was refused (Shift_JIS).
std::string TokenRefusedNotice();

// A session that logs in with OAuth must be under TLS: a token in clear is
// as good as a password in clear. The notice for settings that say "なし".
std::string OAuthNeedsTlsNotice();

}  // namespace zentavo
