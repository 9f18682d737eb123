#include "oauth/OAuthProvider.h"

#include <algorithm>

#include "oauth/HttpsPost.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

bool Printable(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

// Microsoft's directory goes into the endpoints' path: a name, a domain or
// a GUID, never anything that could leave the path segment.
bool TenantName(const std::string& tenant) {
  return !tenant.empty() && std::all_of(tenant.begin(), tenant.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
  });
}

bool HttpsUrl(const std::string& text) {
  const std::optional<Url> url = ParseUrl(text);
  return url && url->scheme == "https";
}

}  // namespace

std::string OAuthSettingsProblem(const OAuthSettings& settings) {
  if (settings.method == AuthMethod::Password) return Sj("認証方式に OAuth 2.0 が選ばれていません。");
  if (settings.clientId.empty()) return Sj("OAuth 2.0 のクライアント ID を入力してください。");
  if (!Printable(settings.clientId)) return Sj("クライアント ID に使えない文字（空白や全角文字）があります。");
  if (settings.method == AuthMethod::Microsoft && !TenantName(settings.tenant))
    return Sj("Microsoft 365 のテナント（organizations、ドメイン名、またはディレクトリ ID）を入力してください。");
  if (settings.method != AuthMethod::Manual) return {};
  if (!HttpsUrl(settings.authorizeUrl))
    return Sj("認可エンドポイントの URL を https:// で始まる形で入力してください。");
  if (!HttpsUrl(settings.tokenUrl))
    return Sj("トークンエンドポイントの URL を https:// で始まる形で入力してください。");
  // Scopes are tokens of printable ASCII but '"' and '\\', separated by blanks.
  const std::string& scope = settings.scope;
  if (scope.find_first_not_of(' ') == std::string::npos ||
      !std::all_of(scope.begin(), scope.end(), [](char c) { return c >= ' ' && c < 0x7F && c != '"' && c != '\\'; }))
    return Sj("スコープを半角英数字で入力してください（複数のときは空白で区切ります）。");
  return {};
}

OAuthClient ClientFor(const OAuthSettings& settings) {
  OAuthClient client{{}, settings.clientId, settings.clientSecret};
  OAuthEndpoints& endpoints = client.endpoints;
  switch (settings.method) {
    case AuthMethod::Microsoft: {
      // A desktop program is a public client there: Microsoft refuses a
      // secret from it.
      const std::string base = "https://login.microsoftonline.com/" + settings.tenant + "/oauth2/v2.0/";
      endpoints = {base + "authorize",
                   base + "token",
                   "https://outlook.office.com/POP.AccessAsUser.All https://outlook.office.com/SMTP.Send "
                   "offline_access",
                   {},
                   false};
      break;
    }
    case AuthMethod::Google:
      // Google hands out a refresh token only for offline access, and only
      // on the consent screen: without both, a second sign-in comes back
      // with an access token alone. Its desktop clients have a "secret"
      // that is part of the registration, not a secret.
      endpoints = {"https://accounts.google.com/o/oauth2/v2/auth",
                   "https://oauth2.googleapis.com/token",
                   "https://mail.google.com/",
                   {{"access_type", "offline"}, {"prompt", "consent"}},
                   !settings.clientSecret.empty()};
      break;
    case AuthMethod::Manual:
    case AuthMethod::Password:
      endpoints = {settings.authorizeUrl, settings.tokenUrl, settings.scope, {}, !settings.clientSecret.empty()};
      break;
  }
  if (!endpoints.sendsSecret) client.clientSecret.clear();
  return client;
}

}  // namespace zentavo
