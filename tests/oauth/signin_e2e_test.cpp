// Signing in against the stack's authorization server, the browser played
// by tests/oauth/bin/xdg-open: the code exchanged once with PKCE and no
// secret from the public client; the user's refusal, an answer to another
// request and a sign-in never finished; then the access tokens of 6,000
// characters renewed when they run out, the rotated refresh token kept,
// and a revoked sign-in forgotten with the notice to sign in again.
#include <Poco/JSON/Array.h>
#include <Poco/JSON/Object.h>
#include <Poco/JSON/Parser.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e/MailStack.h"
#include "net/Pop3Transport.h"
#include "net/SmtpTransport.h"
#include "oauth/AccessTokens.h"
#include "oauth/SignIn.h"
#include "support/TestSupport.h"

namespace zentavo::e2e {
namespace {

class StandInBrowser : public Browser {
 public:
  bool Open(const std::string& url) override {
    return std::system(("'" ZENTAVO_STAND_IN_BROWSER "' '" + url + "'").c_str()) == 0;
  }
};

class SignInE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    stack = MailStack::FromEnvironment();
    if (!stack.unavailable.empty()) GTEST_SKIP() << "no mail stack: " << stack.unavailable;
    stack.ControlOAuth(R"({"reset": true, "clear_log": true})");
  }
  void TearDown() override {
    if (stack.unavailable.empty()) stack.ControlOAuth(R"({"reset": true})");
  }
  OAuthClient Client(bool withSecret = false) const {
    const OAuthSettings settings{AuthMethod::Manual,
                                 withSecret ? stack.oauthSecretClientId : stack.oauthClientId,
                                 "",
                                 withSecret ? stack.oauthClientSecret : "",
                                 stack.oauthAuthorizeUrl,
                                 stack.oauthTokenUrl,
                                 stack.oauthScope};
    EXPECT_EQ(OAuthSettingsProblem(settings), "");
    return ClientFor(settings);
  }
  // The token endpoint's record of requests, oldest first.
  std::vector<Poco::JSON::Object::Ptr> TokenRequests() const {
    const auto log = Poco::JSON::Parser().parse(stack.OAuthLog("token")).extract<Poco::JSON::Object::Ptr>();
    std::vector<Poco::JSON::Object::Ptr> requests;
    for (const auto& entry : *log->getArray("requests")) requests.push_back(entry.extract<Poco::JSON::Object::Ptr>());
    return requests;
  }
  MailStack stack;
  StandInBrowser browser;
};

TEST_F(SignInE2E, OutcomesOfTheBrowsersAnswer) {
  const struct {
    const char* name;
    const char* authorize;
    bool withSecret = false;
    std::string notice = "";  // none: signed in
    std::chrono::milliseconds wait = std::chrono::seconds(20);
  } rows[] = {
      {"approved, public client", "approve"},
      {"approved, client with a secret", "approve", true},
      {"refused", "deny", false, "キャンセルされました"},
      {"answer to another request", "wrong_state", false, "この操作のものではなかった"},
      {"never finished", "hang", false, "応答がありませんでした", std::chrono::milliseconds(1500)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    stack.ControlOAuth(std::string(R"({"clear_log": true, "authorize": ")") + row.authorize + "\"}");
    const SignInResult result = SignIn(Client(row.withSecret), stack.staff(0), browser, {row.wait, nullptr, {}});
    const std::vector<Poco::JSON::Object::Ptr> requests = TokenRequests();
    if (!row.notice.empty()) {
      EXPECT_FALSE(result.grant);
      EXPECT_NE(U(result.notice).find(row.notice), std::string::npos) << U(result.notice);
      EXPECT_TRUE(requests.empty()) << "a code was exchanged";
      continue;
    }
    EXPECT_TRUE(result.grant && !result.grant->refreshToken.empty()) << U(result.notice) << " " << result.detail;
    EXPECT_EQ(requests.size(), 1u);
    if (requests.size() != 1) continue;
    EXPECT_EQ(requests[0]->getValue<std::string>("grant_type"), "authorization_code");
    EXPECT_EQ(requests[0]->getValue<std::string>("pkce"), "verified");
    EXPECT_EQ(requests[0]->getValue<std::string>("client_secret"), row.withSecret ? "sent" : "absent");
    EXPECT_EQ(requests[0]->getValue<std::string>("user"), stack.staff(0));  // the login hint
  }
}

TEST_F(SignInE2E, LongTokensRenewedTheRotatedRefreshTokenKeptARevokedSignInForgotten) {
  stack.ControlOAuth(R"({"token_size": 6000})");
  test::TempFolder config;
  const auto store = std::make_shared<TokenStore>(config.path(), KeyringUse::None);
  auto now = std::chrono::steady_clock::now();
  AccessTokens tokens(Client(), stack.staff(1), store, {}, [&] { return now; });
  const SignInResult result = SignIn(Client(), stack.staff(1), browser);
  ASSERT_TRUE(result.grant) << U(result.notice) << " " << result.detail;
  EXPECT_EQ(result.grant->accessToken.size(), 6000u);
  EXPECT_EQ(tokens.SignedIn(*result.grant), TokenPlace::Session);
  EXPECT_EQ(tokens.AccessToken(false), result.grant->accessToken);

  // Less than a minute left: renewed before a session could start with it.
  stack.ControlOAuth(R"({"expire_access_tokens": true})");
  now += result.grant->expiresIn - std::chrono::seconds(30);
  const std::string renewed = tokens.AccessToken(false);
  EXPECT_EQ(renewed.size(), 6000u);
  EXPECT_NE(renewed, result.grant->accessToken);
  const std::optional<StoredToken> stored = store->Load(tokens.Key());
  ASSERT_TRUE(stored);
  EXPECT_NE(stored->token, result.grant->refreshToken);
  // A server refused it: renewed again, which only the rotated refresh
  // token can do (the server no longer takes the first).
  EXPECT_NE(tokens.AccessToken(true), renewed);

  // Revoked: forgotten, and the operator told to sign in again.
  stack.ControlOAuth(R"({"revoke_refresh_tokens": true})");
  const auto noticeOf = [&](bool refresh) {
    try {
      tokens.AccessToken(refresh);
    } catch (const MailServerError& e) { return U(e.notice); }
    return std::string("no failure");
  };
  EXPECT_NE(noticeOf(true).find("サインインの有効期限が切れました"), std::string::npos);
  EXPECT_FALSE(store->Load(tokens.Key()));
  EXPECT_NE(noticeOf(false).find("サインインしていません"), std::string::npos);

  // The code, two renewals, the refused one; nothing after it.
  const std::vector<Poco::JSON::Object::Ptr> requests = TokenRequests();
  ASSERT_EQ(requests.size(), 4u);
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(requests[i]->getValue<std::string>("grant_type"), "refresh_token");
    EXPECT_EQ(requests[i]->getValue<int>("status"), i < 3 ? 200 : 400);
    EXPECT_EQ(requests[i]->getValue<std::string>("client_secret"), "absent");
  }
}

// The mail sessions log in with the token: SMTP upgraded by STARTTLS and
// POP3 in TLS from the first byte, a token of 6,000 characters (in two
// steps on both: too long for one command line), and a token the servers
// no longer take answered at their error continuation, renewed, and the
// login tried once more.
TEST_F(SignInE2E, MailSessionsLogInWithTheTokenAndRenewARefusedOne) {
  stack.ControlOAuth(R"({"token_size": 6000})");
  test::TempFolder config;
  auto tokens = std::make_shared<AccessTokens>(Client(), stack.office(),
                                               std::make_shared<TokenStore>(config.path(), KeyringUse::None));
  const SignInResult result = SignIn(Client(), stack.office(), browser);
  ASSERT_TRUE(result.grant) << U(result.notice) << " " << result.detail;
  tokens->SignedIn(*result.grant);
  const std::string marker = UniqueMarker("oauth");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "fresh token" : "token refused");
    if (round == 1) stack.ControlOAuth(R"({"expire_access_tokens": true, "clear_log": true})");
    const SessionSecurity sent =
        PocoSmtpTransport({5000, 15000})
            .Send({stack.smtpHost, stack.smtpStartTlsPort, stack.office(), "", {Security::StartTls, false, ""}, tokens},
                  {stack.office(), {stack.staff(2)}}, "Subject: " + marker + "\r\n\r\nbody\r\n");
    EXPECT_TRUE(sent.tls);
    std::unique_ptr<Mailbox> box =
        PocoPop3Transport({5000, 15000})
            .Open({stack.pop3Host, stack.pop3sPort, stack.office(), "", {Security::Tls, false, ""}, tokens});
    EXPECT_GE(box->Count(), 0);
    box->Quit();
  }
  // After the refusal: one renewal, which both sessions then used.
  const std::vector<Poco::JSON::Object::Ptr> requests = TokenRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0]->getValue<std::string>("grant_type"), "refresh_token");
  EXPECT_EQ(stack.Await(stack.staff(2), marker, 2).size(), 2u);
}

}  // namespace
}  // namespace zentavo::e2e
