// The pure parts of signing in by OAuth 2.0: what each provider is sent,
// PKCE, URLs and forms, the token endpoint's answers, the HTTP reading
// (bytes arriving in pieces), the browser's request at the redirect, and
// the HTTPS client's time-out, on a plain connection that only tests may
// ask for.
#include <gtest/gtest.h>

#include <chrono>

#include "net/MailConnection.h"
#include "oauth/HttpsPost.h"
#include "oauth/LoopbackRedirect.h"
#include "oauth/OAuthProvider.h"
#include "oauth/Pkce.h"
#include "oauth/TokenEndpoint.h"
#include "support/ScriptedServer.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {

OAuthSettings Typed(AuthMethod method, std::string clientId, std::string tenant = "organizations",
                    std::string secret = "", std::string authorize = "", std::string token = "",
                    std::string scope = "") {
  return {method,           std::move(clientId), std::move(tenant), std::move(secret), std::move(authorize),
          std::move(token), std::move(scope)};
}

TEST(OAuth, ProvidersEndpointsAndSecrets) {
  const std::string ms = "https://login.microsoftonline.com/";
  const struct {
    const char* name;
    OAuthSettings settings;
    std::string problem, authorize = "", token = "", scope = "", extras = "", secret = "";
  } rows[] = {
      {"Microsoft, a tenant, a secret that must not go",
       Typed(AuthMethod::Microsoft, "cid", "contoso.example", "typed"), "",
       ms + "contoso.example/oauth2/v2.0/authorize", ms + "contoso.example/oauth2/v2.0/token",
       "https://outlook.office.com/POP.AccessAsUser.All https://outlook.office.com/SMTP.Send offline_access", "", ""},
      {"Google with its secret", Typed(AuthMethod::Google, "cid", "organizations", "gs"), "",
       "https://accounts.google.com/o/oauth2/v2/auth", "https://oauth2.googleapis.com/token",
       "https://mail.google.com/", "access_type=offline&prompt=consent", "gs"},
      {"manual, no secret",
       Typed(AuthMethod::Manual, "cid", "", "", "https://a.test/auth?x=1", "https://a.test/t", "mail"), "",
       "https://a.test/auth?x=1", "https://a.test/t", "mail", "", ""},
      {"password", Typed(AuthMethod::Password, "cid"), "OAuth 2.0 が選ばれていません"},
      {"no client id", Typed(AuthMethod::Google, ""), "クライアント ID を入力"},
      {"client id with a blank", Typed(AuthMethod::Google, "c id"), "使えない文字"},
      {"tenant leaving its path", Typed(AuthMethod::Microsoft, "cid", "a/../b"), "テナント"},
      {"manual authorize in clear",
       Typed(AuthMethod::Manual, "cid", "", "", "http://a.test/auth", "https://a.test/t", "m"), "認可エンドポイント"},
      {"manual token with a fragment",
       Typed(AuthMethod::Manual, "cid", "", "", "https://a.test/", "https://a.test/#t", "m"), "トークンエンドポイント"},
      {"manual without scope", Typed(AuthMethod::Manual, "cid", "", "", "https://a.test/", "https://a.test/t", " "),
       "スコープ"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_NE(U(OAuthSettingsProblem(row.settings)).find(row.problem), std::string::npos)
        << U(OAuthSettingsProblem(row.settings));
    if (!row.problem.empty()) continue;
    EXPECT_EQ(OAuthSettingsProblem(row.settings), "");
    const OAuthClient client = ClientFor(row.settings);
    EXPECT_EQ(client.endpoints.authorizeUrl, row.authorize);
    EXPECT_EQ(client.endpoints.tokenUrl, row.token);
    EXPECT_EQ(client.endpoints.scope, row.scope);
    EXPECT_EQ(FormBody(client.endpoints.extraAuthorizeParams), row.extras);
    EXPECT_EQ(client.endpoints.sendsSecret, !row.secret.empty());
    EXPECT_EQ(client.clientSecret, row.secret);
  }
}

TEST(OAuth, PkceAndBase64Url) {
  // RFC 7636 appendix B.
  EXPECT_EQ(CodeChallenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
            "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
  for (const auto& [bytes, text] : std::vector<std::pair<std::string, std::string>>{
           {"f", "Zg"}, {"fo", "Zm8"}, {"foo", "Zm9v"}, {"foob", "Zm9vYg"}, {"\xFB\xFF", "-_8"}})
    EXPECT_EQ(EncodeBase64Url(bytes), text);
  const std::string verifier = NewCodeVerifier();
  EXPECT_EQ(verifier.size(), 64u);
  EXPECT_EQ(verifier.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
            std::string::npos);
  EXPECT_NE(verifier, NewCodeVerifier());
}

TEST(OAuth, UrlsAndForms) {
  // clang-format off
  const struct {
    const char* text;
    bool valid;
    std::string scheme = "", host = "";
    std::uint16_t port = 0;
    std::string target = "", authority = "";
  } rows[] = {
      {"https://Login.Example.COM/a/token?x=1", true, "https", "login.example.com", 443, "/a/token?x=1",
       "login.example.com"},
      {"HTTPS://h.test:8443", true, "https", "h.test", 8443, "/", "h.test:8443"},
      {"https://127.0.0.1:9?q=1", true, "https", "127.0.0.1", 9, "/?q=1", "127.0.0.1:9"},
      {"http://[::1]:80/p", true, "http", "::1", 80, "/p", "[::1]"},
      {"ftp://h.test/", false}, {"https://user@h.test/", false}, {"https://h.test/#f", false},
      {"https://h.test:0/", false}, {"https://h.test:65536/", false}, {"https://h.test:/", false},
      {"https:// h.test/", false}, {"https://h.test/\xC3\xA9", false}, {"https:///path", false},
      {"https://h_t/", false}, {"https://[::1/", false}, {"//h.test/", false},
  };
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    const std::optional<Url> url = ParseUrl(row.text);
    ASSERT_EQ(url.has_value(), row.valid);
    if (!url) continue;
    EXPECT_EQ(url->scheme, row.scheme);
    EXPECT_EQ(url->host, row.host);
    EXPECT_EQ(url->port, row.port);
    EXPECT_EQ(url->target, row.target);
    EXPECT_EQ(Authority(*url), row.authority);
  }
  EXPECT_EQ(PercentEncode("aZ09-._~ +/=&\xE6\x97\xA5"), "aZ09-._~%20%2B%2F%3D%26%E6%97%A5");
  EXPECT_EQ(FormBody({{"scope", "a b"}, {"redirect_uri", "http://127.0.0.1:5/signin"}}),
            "scope=a%20b&redirect_uri=http%3A%2F%2F127.0.0.1%3A5%2Fsignin");
  EXPECT_EQ(PercentDecode("a+b%2F%e6%97%A5"), "a b/\xE6\x97\xA5");
  EXPECT_EQ(PercentDecode("%2"), std::nullopt);
  EXPECT_EQ(PercentDecode("%g0"), std::nullopt);
}

TEST(OAuth, TokenEndpointAnswers) {
  const struct {
    const char* name;
    int status;
    std::string body;
    std::string access = "", refresh = "";
    long long expiresIn = 0;
    std::string error = "", detail = "";
  } rows[] = {
      {"granted", 200,
       R"({"access_token":"at-secret","token_type":"Bearer","expires_in":3599,"refresh_token":"rt-secret"})",
       "at-secret", "rt-secret", 3599},
      {"lifetime as text, no refresh token", 200,
       R"({"access_token":"at-secret","token_type":"bearer","expires_in":"120"})", "at-secret", "", 120},
      {"no lifetime: an hour", 200, R"({"access_token":"at-secret"})", "at-secret", "", 3600},
      {"not a bearer token", 200, R"({"access_token":"at-secret","token_type":"mac"})", "", "", 0, "", "not Bearer"},
      {"a token with a blank", 200, R"({"access_token":"at secret"})", "", "", 0, "", "no usable access_token"},
      {"refresh token with a line break", 200, R"({"access_token":"at-secret","refresh_token":"rt\nx"})", "", "", 0, "",
       "unusable refresh_token"},
      {"not JSON", 200, "<html>at-secret</html>", "", "", 0, "", "not a JSON object"},
      {"an array", 200, "[\"at-secret\"]", "", "", 0, "", "not a JSON object"},
      {"revoked", 400, R"({"error":"invalid_grant","error_description":"token\nrevoked"})", "", "", 0, "invalid_grant",
       "400: invalid_grant (token revoked)"},
      {"secret refused", 401, R"({"error":"invalid_client"})", "", "", 0, "invalid_client", "401: invalid_client"},
      {"server down", 502, "<html>Bad gateway</html>", "", "", 0, "", "answered 502"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const TokenReply reply = ReadTokenReply({row.status, row.body});
    ASSERT_EQ(reply.grant.has_value(), !row.access.empty());
    if (reply.grant) {
      EXPECT_EQ(reply.grant->accessToken, row.access);
      EXPECT_EQ(reply.grant->refreshToken, row.refresh);
      EXPECT_EQ(reply.grant->expiresIn.count(), row.expiresIn);
      continue;
    }
    EXPECT_EQ(reply.error, row.error);
    EXPECT_NE(reply.detail.find(row.detail), std::string::npos) << reply.detail;
    EXPECT_EQ(reply.detail.find("secret"), std::string::npos) << reply.detail;
  }
}

TEST(OAuth, HttpResponsesReadInPieces) {
  // clang-format off
  const struct {
    const char* name;
    std::string bytes;
    int status = 0;
    std::string body = "", error = "";
  } rows[] = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200, "hello"},
      {"chunked with an extension and a trailer",
       "HTTP/1.1 400 Bad Request\r\ntransfer-encoding:  Chunked \r\n\r\n"
       "5;x=1\r\nhello\r\n6\r\n world\r\n0\r\nT: 1\r\n\r\n",
       400, "hello world"},
      {"up to the close", "HTTP/1.0 200 OK\r\n\r\nall of it", 200, "all of it"},
      {"interim answer first", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}", 200,
       "{}"},
      {"bare line feeds, no reason", "HTTP/1.1 204\nContent-Length: 0\n\n", 204, ""},
      {"length over the limit", "HTTP/1.1 200 OK\r\nContent-Length: 17\r\n\r\n", 0, "", "larger than 16"},
      {"chunks over the limit",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\na\r\n0123456789\r\n7\r\n0123456\r\n",
       0, "", "larger than 16"},
      {"close over the limit", "HTTP/1.1 200 OK\r\n\r\n01234567890123456", 0, "", "larger than 16"},
      {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", 0, "", "before the whole body"},
      {"head cut short", "HTTP/1.1 200 OK\r\nContent-Len", 0, "", "middle of the answer's head"},
      {"bad chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 0, "", "chunk size"},
      {"chunk longer than said", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nhello\r\n", 0, "",
       "longer"},
      {"not HTTP", "SSH-2.0-OpenSSH_9.2\r\n", 0, "", "status line"},
      {"two lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", 0, "", "two different"},
      {"compressed", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n", 0, "", "Transfer-Encoding"},
  };
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::size_t at = 0;
    const auto receive = [&](char* buffer, std::size_t size) {
      const std::size_t n = std::min({size, std::size_t{7}, row.bytes.size() - at});
      row.bytes.copy(buffer, n, at);
      at += n;
      return n;
    };
    try {
      const HttpResponse response = ReadHttpResponse(receive, 16);
      EXPECT_EQ(row.error, "");
      EXPECT_EQ(response.status, row.status);
      EXPECT_EQ(response.body, row.body);
    } catch (const HttpError& e) {
      EXPECT_NE(row.error, "");
      EXPECT_NE(std::string(e.what()).find(row.error), std::string::npos) << e.what();
    }
  }
}

TEST(OAuth, RequestsAtTheRedirect) {
  using Params = std::map<std::string, std::string>;
  // clang-format off
  const struct {
    const char* head;
    bool valid;
    std::string path = "";
    Params params = {};
  } rows[] = {
      {"GET /signin?code=a%2Fb&state=s+t&&x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", true, "/signin",
       {{"code", "a/b"}, {"state", "s t"}, {"x", ""}}},
      {"GET /signin?error=access_denied&state=z HTTP/1.1\r\n\r\n", true, "/signin",
       {{"error", "access_denied"}, {"state", "z"}}},
      {"GET /favicon.ico HTTP/1.1\r\n\r\n", true, "/favicon.ico"},
      {"GET /signin?state=a&state=b HTTP/1.1\r\n\r\n", false}, {"GET /signin?code=%zz HTTP/1.1\r\n\r\n", false},
      {"GET signin HTTP/1.1\r\n\r\n", false}, {"GET /signin\r\n\r\n", false}, {"\r\n\r\n", false},
  };
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.head);
    const std::optional<RedirectRequest> request = ParseRedirectRequest(row.head);
    ASSERT_EQ(request.has_value(), row.valid);
    if (!request) continue;
    EXPECT_EQ(request->method, "GET");
    EXPECT_EQ(request->path, row.path);
    EXPECT_EQ(request->params, row.params);
  }
}

TEST(OAuth, PostWaitsNoLongerThanItsTimeOut) {
  // Heard, never answered.
  test::ScriptedServer server({"STALL"});
  const auto start = std::chrono::steady_clock::now();
  try {
    PostForm("http://127.0.0.1:" + server.port() + "/token", {{"c", "b"}}, {3000, 300, 1 << 20, true});
    ADD_FAILURE() << "no time-out";
  } catch (const MailServerError& e) {
    EXPECT_NE(std::string(e.what()).find("time-out"), std::string::npos) << e.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  // The program itself never speaks to a token endpoint in clear.
  EXPECT_THROW(PostForm("http://127.0.0.1:" + server.port() + "/token", {{"c", "b"}}), MailServerError);
}

}  // namespace
}  // namespace zentavo
