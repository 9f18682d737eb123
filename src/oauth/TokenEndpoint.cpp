#include "oauth/TokenEndpoint.h"

#include <Poco/Exception.h>
#include <Poco/JSON/Object.h>
#include <Poco/JSON/Parser.h>

#include <algorithm>

#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

constexpr std::chrono::seconds kUsualLifetime{3600};

bool Printable(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

// A provider's text for the log: one line, bounded.
std::string OneLine(std::string text, std::size_t limit) {
  if (text.size() > limit) text = text.substr(0, limit) + "...";
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

// The answer as a JSON object, or nullptr when it is none. The nesting is
// bounded: a token answer is flat.
Poco::JSON::Object::Ptr JsonObject(const std::string& body) {
  try {
    Poco::JSON::Parser parser;
    parser.setDepth(16);
    const Poco::Dynamic::Var value = parser.parse(body);
    if (value.type() != typeid(Poco::JSON::Object::Ptr)) return nullptr;
    return value.extract<Poco::JSON::Object::Ptr>();
  } catch (const Poco::Exception&) { return nullptr; } catch (const std::exception&) {
    return nullptr;
  }
}

std::string StringField(const Poco::JSON::Object& object, const std::string& name) {
  const Poco::Dynamic::Var value = object.get(name);
  return value.isString() ? value.extract<std::string>() : std::string();
}

// "expires_in" is a number, or a number in a string as some servers send
// it; anything else counts as not given.
std::chrono::seconds Lifetime(const Poco::JSON::Object& object) {
  const Poco::Dynamic::Var value = object.get("expires_in");
  try {
    if (value.isInteger() || value.isString()) {
      const long long seconds = value.convert<long long>();
      if (seconds > 0 && seconds <= 366LL * 24 * 3600) return std::chrono::seconds(seconds);
    }
  } catch (const Poco::Exception&) {}
  return kUsualLifetime;
}

TokenReply ReadGrant(const Poco::JSON::Object& object) {
  TokenGrant grant{StringField(object, "access_token"), StringField(object, "refresh_token"), Lifetime(object)};
  std::string type = StringField(object, "token_type");
  std::transform(type.begin(), type.end(), type.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
  if (grant.accessToken.empty() || !Printable(grant.accessToken))
    return {std::nullopt, {}, "the token endpoint's answer holds no usable access_token"};
  if (!Printable(grant.refreshToken))
    return {std::nullopt, {}, "the token endpoint's answer holds an unusable refresh_token"};
  if (object.has("token_type") && type != "bearer")
    return {std::nullopt, {}, "the token endpoint gave a token of type \"" + OneLine(type, 40) + "\", not Bearer"};
  return {std::move(grant), {}, {}};
}

}  // namespace

TokenReply ReadTokenReply(const HttpResponse& response) {
  const Poco::JSON::Object::Ptr object = JsonObject(response.body);
  if (response.status == 200) {
    if (!object) return {std::nullopt, {}, "the token endpoint's answer (200) is not a JSON object"};
    return ReadGrant(*object);
  }
  const std::string status = "the token endpoint answered " + std::to_string(response.status);
  std::string error = object ? StringField(*object, "error") : std::string();
  if (!Printable(error) || error.size() > 64) error.clear();
  if (error.empty()) return {std::nullopt, {}, status};
  const std::string description = StringField(*object, "error_description");
  return {std::nullopt, error,
          status + ": " + error + (description.empty() ? "" : " (" + OneLine(description, 300) + ")")};
}

TokenReply RequestTokens(const OAuthClient& client, FormFields grant, const HttpOptions& http) {
  grant.emplace_back("client_id", client.clientId);
  if (client.endpoints.sendsSecret) grant.emplace_back("client_secret", client.clientSecret);
  return ReadTokenReply(PostForm(client.endpoints.tokenUrl, grant, http));
}

std::string TokenServerUnreachable(const OAuthClient& client) {
  const std::optional<Url> url = ParseUrl(client.endpoints.tokenUrl);
  return Sj("サインインのサーバ ") + (url ? url->host : std::string()) +
         Sj(" と通信できませんでした。\rネットワークの接続を確かめて、もう一度お試しください。");
}

}  // namespace zentavo
