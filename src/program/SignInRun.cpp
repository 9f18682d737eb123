#include "program/SignInRun.h"

#include "base/DiagnosticLog.h"
#include "net/SaslOAuth.h"
#include "oauth/AccessTokens.h"
#include "text/SjisUnicode.h"

namespace zentavo {

std::string SignInProblem(const Settings& settings) {
  const OAuthSettings& oauth = settings.security.oauth;
  if (oauth.method == AuthMethod::Password) return Sj("「認証方式」で OAuth 2.0 を選んでください。");
  if (std::string problem = OAuthSettingsProblem(oauth); !problem.empty()) return problem;
  if (settings.user.empty()) return Sj("「ユーザ」にメールアカウントを入力してください。");
  if (settings.security.smtp == Security::None || settings.security.pop3 == Security::None)
    return OAuthNeedsTlsNotice();
  return {};
}

namespace {

std::shared_ptr<AccessTokens> TokensOf(const Settings& settings, std::shared_ptr<TokenStore> store) {
  return std::make_shared<AccessTokens>(ClientFor(settings.security.oauth), settings.user, std::move(store));
}

// Without a keyring the sign-in lasts for this run, unless the operator
// keeps it in a file that only they may read.
void OfferFile(SignInContext& c, const AccessTokens& tokens, const TokenGrant& grant) {
  const std::string question =
      Sj("デスクトップのキーリングが使えないため、サインインはこのプログラムを終了するまで有効です。"
         "\r\rサインインを、このユーザだけが読めるファイルに保存しますか？"
         "\r（ファイルを読める人は、このアカウントのメールを読み書きできます。"
         "共用のパソコンでは保存しないでください。）\r") +
      Utf8ToSjis(c.store->TokenFile().string()).text;
  if (grant.refreshToken.empty() || !AskYesNo(c.op, question)) return;
  if (c.store->Keep(tokens.Key(), grant.refreshToken, TokenPlace::File) != TokenPlace::File)
    Warn(c.op, Sj("ファイルに保存できませんでした。サインインはこのプログラムを終了するまで有効です。"));
}

}  // namespace

RunTask SignInToMail(SignInContext c) {
  if (c.running) co_return;
  if (const std::string problem = SignInProblem(c.settings); !problem.empty()) {
    Warn(c.op, problem);
    c.finished(false);
    co_return;
  }
  c.running = true;
  const std::shared_ptr<AccessTokens> tokens = TokensOf(c.settings, c.store);
  struct Outcome {
    SignInResult result;
    TokenPlace place = TokenPlace::Session;
  };
  OffThread<Outcome> signIn(c.runner, [client = ClientFor(c.settings.security.oauth), account = c.settings.user,
                                       browser = c.browser, options = c.options, tokens] {
    Outcome o{SignIn(client, account, *browser, options)};
    if (o.result.grant) o.place = tokens->SignedIn(*o.result.grant);  // the keyring is asked here, off the window
    return o;
  });
  const Outcome outcome = co_await signIn;
  c.running = false;
  if (!outcome.result.grant) {
    ReportFailure(c.op, outcome.result.notice, outcome.result.detail);
    c.finished(false);
    co_return;
  }
  c.settings.tokens = tokens;
  LogDiagnostic("signed in by OAuth 2.0 as " + SjisToUtf8(c.settings.user));
  Warn(c.op, Sj("サインインしました\r") + c.settings.user);
  if (outcome.place == TokenPlace::Session) OfferFile(c, *tokens, *outcome.result.grant);
  c.finished(true);
}

void UseSignIn(Settings& settings, std::shared_ptr<TokenStore> store) {
  settings.tokens =
      settings.security.oauth.method == AuthMethod::Password || !OAuthSettingsProblem(settings.security.oauth).empty()
          ? nullptr
          : TokensOf(settings, std::move(store));
}

void SignOut(Settings& settings, TokenStore& store) {
  if (!OAuthSettingsProblem(settings.security.oauth).empty()) return;
  store.Remove({settings.user, ClientFor(settings.security.oauth).endpoints.tokenUrl});
  settings.tokens = nullptr;
  LogDiagnostic("signed out of OAuth 2.0");
}

}  // namespace zentavo
