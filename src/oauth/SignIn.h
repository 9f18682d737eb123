// Signing in by OAuth 2.0 as a desktop program does (RFC 8252 with PKCE,
// RFC 7636): the authorization page opens in the user's browser, the
// provider sends the browser back to a listener of this program on
// 127.0.0.1 with a one-time code, and the code, with the PKCE verifier that
// never left this program, is exchanged for the tokens.
//
// The whole sign-in blocks for as long as the user takes in the browser:
// it runs on a worker thread, and only its result comes back.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

#include "oauth/HttpsPost.h"
#include "oauth/OAuthProvider.h"
#include "oauth/TokenEndpoint.h"

namespace zentavo {

// Opens a page in the user's browser; the windows do it through the
// desktop. False when no browser could be started.
class Browser {
 public:
  virtual ~Browser() = default;
  virtual bool Open(const std::string& url) = 0;
};

struct SignInOptions {
  // How long the user has in the browser.
  std::chrono::milliseconds wait = std::chrono::minutes(5);
  // Set from another thread to give up waiting (the operator's "中止").
  const std::atomic<bool>* cancel = nullptr;
  HttpOptions http;
};

// A sign-in's outcome: the tokens, or the operator's message (Shift_JIS)
// and the detail behind it, which is already in the diagnostic log and
// holds no code, verifier or token.
struct SignInResult {
  std::optional<TokenGrant> grant;
  std::string notice;
  std::string detail;
};

// Signs `account` (the mail account's user name, the provider's login
// hint) in with `client`. Nothing is kept anywhere: the caller decides
// what becomes of the tokens.
SignInResult SignIn(const OAuthClient& client, const std::string& account, Browser& browser,
                    const SignInOptions& options = {});

}  // namespace zentavo
