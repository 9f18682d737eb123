#include "oauth/SignIn.h"

#include <Poco/Exception.h>

#include <stdexcept>

#include "base/DiagnosticLog.h"
#include "net/MailConnection.h"
#include "oauth/LoopbackRedirect.h"
#include "oauth/Pkce.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

// The secrets of one sign-in.
struct Attempt {
  std::string verifier = NewCodeVerifier();
  std::string state = RandomBase64Url(24);
  std::string redirectUri;
};

SignInResult Failed(std::string notice, std::string detail) {
  LogDiagnostic("OAuth 2.0 sign-in failed: " + detail);
  return {std::nullopt, std::move(notice), std::move(detail)};
}

std::string AuthorizationUrl(const OAuthClient& client, const std::string& account, const Attempt& attempt) {
  FormFields params = {{"response_type", "code"},
                       {"client_id", client.clientId},
                       {"redirect_uri", attempt.redirectUri},
                       {"scope", client.endpoints.scope},
                       {"state", attempt.state},
                       {"code_challenge", CodeChallenge(attempt.verifier)},
                       {"code_challenge_method", "S256"}};
  // The provider's sign-in page starts at this account instead of asking
  // which one; the settings hold the name as Shift_JIS, URLs carry UTF-8.
  if (!account.empty()) params.emplace_back("login_hint", SjisToUtf8(account));
  params.insert(params.end(), client.endpoints.extraAuthorizeParams.begin(),
                client.endpoints.extraAuthorizeParams.end());
  const std::string& base = client.endpoints.authorizeUrl;
  return base + (base.find('?') == std::string::npos ? "?" : "&") + FormBody(params);
}

// The provider's text as the operator and the log may see it: printable
// ASCII, bounded; an error code has no blanks either.
std::string Printable(const std::string& text, std::size_t limit, bool blanks) {
  std::string out;
  for (const char c : text.substr(0, limit))
    if ((c > ' ' || (blanks && c == ' ')) && c < 0x7F) out += c;
  return out;
}
std::string ErrorCode(const std::string& error) { return Printable(error, 64, false); }

// What the browser brought: the code, exchanged once, or why there is none.
SignInResult Conclude(const OAuthClient& client, const Attempt& attempt,
                      const std::map<std::string, std::string>& answer, const HttpOptions& http) {
  const auto field = [&](const std::string& name) {
    const auto found = answer.find(name);
    return found == answer.end() ? std::string() : found->second;
  };
  // An answer to another request, or forged by another page in the
  // browser: its code must never be used.
  if (!answer.contains("state") || field("state") != attempt.state)
    return Failed(Sj("サインインの応答がこの操作のものではなかったため、中止しました。\r"
                     "もう一度「サインイン」してください。"),
                  "the answer's state is not this sign-in's; its code was not used");
  if (const std::string error = ErrorCode(field("error")); answer.contains("error")) {
    if (error == "access_denied")
      return Failed(Sj("サインインがキャンセルされました。"), "the user or the provider refused (access_denied)");
    return Failed(Sj("サインインに失敗しました（") + error + Sj("）。"),
                  "the provider answered " + error + ": " + Printable(field("error_description"), 300, true));
  }
  if (field("code").empty())
    return Failed(Sj("サインインに失敗しました。"), "the answer holds neither a code nor an error");
  TokenReply reply;
  try {
    reply = RequestTokens(client,
                          {{"grant_type", "authorization_code"},
                           {"code", field("code")},
                           {"redirect_uri", attempt.redirectUri},
                           {"code_verifier", attempt.verifier}},
                          http);
  } catch (const MailServerError& e) {
    return Failed(TokenServerUnreachable(client), std::string("exchanging the code: ") + e.what());
  }
  if (!reply.grant)
    return Failed(Sj("サインインに失敗しました") +
                      (reply.error.empty() ? "" : Sj("（") + ErrorCode(reply.error) + Sj("）")) + Sj("。"),
                  "exchanging the code: " + reply.detail);
  if (reply.grant->refreshToken.empty())
    LogDiagnostic("OAuth 2.0 sign-in: no refresh token came; the sign-in lasts as long as its access token");
  return {std::move(reply.grant), {}, {}};
}

}  // namespace

SignInResult SignIn(const OAuthClient& client, const std::string& account, Browser& browser,
                    const SignInOptions& options) {
  std::optional<Attempt> attempt;
  std::optional<LoopbackRedirect> listener;
  try {
    attempt.emplace();
    listener.emplace();
  } catch (const Poco::Exception& e) {
    return Failed(Sj("サインインの準備ができませんでした。"), "no loopback listener: " + e.displayText());
  } catch (const std::runtime_error& e) { return Failed(Sj("サインインの準備ができませんでした。"), e.what()); }
  attempt->redirectUri = listener->RedirectUri();
  if (!browser.Open(AuthorizationUrl(client, account, *attempt)))
    return Failed(Sj("ブラウザを開けませんでした。"), "the browser could not be started");

  std::optional<std::map<std::string, std::string>> answer;
  try {
    answer = listener->Await(std::chrono::steady_clock::now() + options.wait, options.cancel);
  } catch (const Poco::Exception& e) {
    return Failed(Sj("サインインの応答を受け取れませんでした。"), "the loopback listener failed: " + e.displayText());
  }
  if (!answer && options.cancel && options.cancel->load())
    return Failed(Sj("サインインを中止しました。"), "cancelled while waiting for the browser");
  if (!answer)
    return Failed(Sj("サインインの応答がありませんでした。\r"
                     "もう一度「サインイン」して、開いたブラウザでサインインを終えてください。"),
                  "no answer from the browser within " +
                      std::to_string(std::chrono::duration_cast<std::chrono::seconds>(options.wait).count()) + " s");
  SignInResult result = Conclude(client, *attempt, *answer, options.http);
  listener->Answer(result.grant.has_value());
  if (result.grant) LogDiagnostic("OAuth 2.0 sign-in of " + SjisToUtf8(account) + ": tokens received");
  return result;
}

}  // namespace zentavo
