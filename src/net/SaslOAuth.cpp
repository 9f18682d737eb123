#include "net/SaslOAuth.h"

#include "base/Base64.h"
#include "text/SjisUnicode.h"

namespace zentavo {

const char* MechanismName(OAuthMechanism mechanism) {
  return mechanism == OAuthMechanism::XOAuth2 ? "XOAUTH2" : "OAUTHBEARER";
}

std::optional<OAuthMechanism> ChooseOAuthMechanism(const std::set<std::string>& offered) {
  if (offered.contains("XOAUTH2")) return OAuthMechanism::XOAuth2;
  if (offered.contains("OAUTHBEARER")) return OAuthMechanism::OAuthBearer;
  return std::nullopt;
}

std::string OAuthResponse(OAuthMechanism mechanism, const std::string& user, const std::string& token) {
  if (mechanism == OAuthMechanism::XOAuth2)
    return EncodeBase64("user=" + user + "\x01" + "auth=Bearer " + token + "\x01\x01");
  // RFC 7628: the GS2 header names the user; "," in it is escaped.
  std::string name;
  for (const char c : user) name += c == ',' ? "=2C" : c == '=' ? "=3D" : std::string(1, c);
  return EncodeBase64("n,a=" + name + ",\x01" + "auth=Bearer " + token + "\x01\x01");
}

const char* ErrorContinuationAnswer(OAuthMechanism mechanism) {
  return mechanism == OAuthMechanism::XOAuth2 ? "" : "AQ==";
}

std::string TokenRefusedNotice() {
  return Sj(
      "サーバがOAuth 2.0のアクセストークンを受け付けませんでした。"
      "\r「システム設定」で「サインイン」し直してください。");
}

std::string OAuthNeedsTlsNotice() {
  return Sj("OAuth 2.0 では暗号化が必要です。\rサーバ設定の暗号化を「なし」以外にしてください。");
}

}  // namespace zentavo
