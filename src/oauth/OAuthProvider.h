// Where and how the program signs in by OAuth 2.0: the endpoints, the
// scopes and the rules about the client secret of each provider, from what
// the operator chose and typed on the settings page.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/ServerSecurity.h"

namespace zentavo {

struct OAuthEndpoints {
  std::string authorizeUrl, tokenUrl, scope;
  // Added to the authorization request after the standard parameters.
  std::vector<std::pair<std::string, std::string>> extraAuthorizeParams;
  // Whether the token requests carry client_secret. A public client must
  // never send one, not even empty: the server takes any secret as a claim
  // to be a confidential client and refuses it.
  bool sendsSecret = false;
};

// The office's registration of the program at one provider: everything a
// sign-in and a refresh send besides the tokens.
struct OAuthClient {
  OAuthEndpoints endpoints;
  std::string clientId;
  std::string clientSecret;  // sent only when endpoints.sendsSecret
};

// What is missing or wrong in the settings for a sign-in, as the operator's
// message (Shift_JIS); empty when they will do. The endpoints must be
// https: the code and the tokens cross them.
std::string OAuthSettingsProblem(const OAuthSettings& settings);

// The client for settings that OAuthSettingsProblem passed.
OAuthClient ClientFor(const OAuthSettings& settings);

}  // namespace zentavo
