#include "oauth/AccessTokens.h"

#include "base/DiagnosticLog.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

// A token is renewed while it still has this long, so that it cannot run
// out between being handed to a session and the session's login.
constexpr std::chrono::seconds kMargin{60};

std::string SignInAgain() {
  return Sj("サインインの有効期限が切れました。\r「システム設定」で「サインイン」し直してください。");
}

}  // namespace

AccessTokens::AccessTokens(OAuthClient client, std::string account, std::shared_ptr<TokenStore> store, HttpOptions http,
                           Clock clock)
    : client_(std::move(client)),
      account_(std::move(account)),
      store_(std::move(store)),
      http_(http),
      clock_(std::move(clock)) {}

void AccessTokens::Hold(const TokenGrant& grant) {
  accessToken_ = grant.accessToken;
  expiresAt_ = clock_() + grant.expiresIn;
}

TokenPlace AccessTokens::SignedIn(const TokenGrant& grant) {
  std::lock_guard lock(mutex_);
  Hold(grant);
  // Without a refresh token the sign-in lasts as long as the access token;
  // a refresh token stored before stays, it may still be good.
  if (grant.refreshToken.empty()) {
    const std::optional<StoredToken> stored = store_->Load(Key());
    return stored ? stored->place : TokenPlace::Session;
  }
  return store_->Keep(Key(), grant.refreshToken);
}

std::string AccessTokens::AccessToken(bool refresh) {
  std::lock_guard lock(mutex_);
  if (refresh || accessToken_.empty() || clock_() + kMargin >= expiresAt_) Renew();
  return accessToken_;
}

// Caller holds the mutex.
void AccessTokens::Renew() {
  const std::optional<StoredToken> stored = store_->Load(Key());
  if (!stored) {
    accessToken_.clear();
    throw MailServerError("no OAuth 2.0 refresh token for " + SjisToUtf8(account_),
                          Sj("OAuth 2.0 でサインインしていません。\r「システム設定」で「サインイン」してください。"));
  }
  TokenReply reply;
  try {
    reply = RequestTokens(
        client_,
        {{"grant_type", "refresh_token"}, {"refresh_token", stored->token}, {"scope", client_.endpoints.scope}}, http_);
  } catch (const MailServerError& e) {
    throw MailServerError(std::string("renewing the access token: ") + e.what(), TokenServerUnreachable(client_));
  }
  if (reply.error == "invalid_grant") {
    // Revoked, expired, or spent by a rotation this program never saw: no
    // use keeping any of it.
    accessToken_.clear();
    store_->Remove(Key());
    throw MailServerError("renewing the access token: " + reply.detail + "; the sign-in is forgotten", SignInAgain());
  }
  if (!reply.grant)
    throw MailServerError("renewing the access token: " + reply.detail,
                          Sj("アクセストークンを更新できませんでした") +
                              (reply.error.empty() ? "" : Sj("（") + reply.error + Sj("）")) +
                              Sj("。\rしばらくしてからもう一度お試しください。解決しないときは「システム設定」で「サイ"
                                 "ンイン」し直してください。"));
  Hold(*reply.grant);
  if (!reply.grant->refreshToken.empty() && reply.grant->refreshToken != stored->token)
    store_->Keep(Key(), reply.grant->refreshToken, stored->place);
  LogDiagnostic("OAuth 2.0: access token of " + SjisToUtf8(account_) + " renewed");
}

void AccessTokens::SignOut() {
  std::lock_guard lock(mutex_);
  accessToken_.clear();
  store_->Remove(Key());
}

}  // namespace zentavo
