// The token endpoint (RFC 6749 sections 4.1.3, 5 and 6): a grant goes in as
// a form, tokens or an error come back as JSON. The sign-in exchanges its
// code here, and the sessions' access tokens are renewed here.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "oauth/HttpsPost.h"
#include "oauth/OAuthProvider.h"

namespace zentavo {

struct TokenGrant {
  std::string accessToken;
  std::string refreshToken;  // empty when none came (a refresh that keeps the old one)
  std::chrono::seconds expiresIn{0};
};

// The endpoint's answer, read. Either `grant`, or `error` (the OAuth error
// code, "invalid_grant" and the like; empty when the answer was not one)
// with `detail`. The detail is for the diagnostic log and never holds a
// token: nothing of an answer that might carry one is copied into it.
struct TokenReply {
  std::optional<TokenGrant> grant;
  std::string error;
  std::string detail;
};

// An access token is sent in a SASL line, so it must be printable ASCII
// without blanks; a lifetime not given is taken as an hour, the usual one.
TokenReply ReadTokenReply(const HttpResponse& response);

// Sends `grant` (grant_type and its parameters) with the client's id, and
// its secret when the provider takes one, and reads the answer. Throws
// MailServerError when the endpoint cannot be reached or does not answer
// in HTTP.
TokenReply RequestTokens(const OAuthClient& client, FormFields grant, const HttpOptions& http);

// The operator's message (Shift_JIS) when the client's token endpoint could
// not be reached or its certificate did not verify.
std::string TokenServerUnreachable(const OAuthClient& client);

}  // namespace zentavo
