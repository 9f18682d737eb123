// The access token the SMTP and POP3 sessions log in with: held in memory
// with its expiry and renewed with the stored refresh token when it is
// about to run out or a server refused it. A provider may hand out a new
// refresh token with each renewal and stop taking the old one (rotation),
// so a new one always replaces the stored one at once, where it lives.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "net/MailConnection.h"
#include "oauth/HttpsPost.h"
#include "oauth/OAuthProvider.h"
#include "oauth/TokenEndpoint.h"
#include "oauth/TokenStore.h"

namespace zentavo {

class AccessTokens : public AccessTokenSource {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // `account` is the settings' user name (Shift_JIS), as in TokenKey.
  AccessTokens(OAuthClient client, std::string account, std::shared_ptr<TokenStore> store, HttpOptions http = {},
               Clock clock = std::chrono::steady_clock::now);

  // After a sign-in: holds its access token and keeps its refresh token
  // (in the keyring when there is one); returns where the refresh token
  // went, so that the caller can offer the file when it is only in memory.
  TokenPlace SignedIn(const TokenGrant& grant);

  // A token with more than a minute left, renewed first when it has not
  // or when `refresh` says a server refused it. Throws MailServerError
  // whose notice tells the operator to sign in again (no refresh token, or
  // the provider no longer takes it: the tokens are forgotten then), or
  // that the token server was out of reach.
  std::string AccessToken(bool refresh) override;

  // Signing out: every token of the account goes, held and stored.
  void SignOut();

  TokenKey Key() const { return {account_, client_.endpoints.tokenUrl}; }

 private:
  void Renew();
  void Hold(const TokenGrant& grant);

  const OAuthClient client_;
  const std::string account_;
  const std::shared_ptr<TokenStore> store_;
  const HttpOptions http_;
  const Clock clock_;
  std::mutex mutex_;  // held across a renewal: two renewals at once would spend one refresh token twice
  std::string accessToken_;
  std::chrono::steady_clock::time_point expiresAt_;
};

}  // namespace zentavo
