#include "e2e/MailStack.h"

#include <Poco/Net/POP3ClientSession.h>
#include <Poco/Timespan.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "net/MailConnection.h"
#include "oauth/HttpsPost.h"

namespace zentavo::e2e {

MailStack MailStack::FromEnvironment() {
  const char* dir = std::getenv("ZENTAVO_MAILSTACK");
  if (!dir || !*dir)
    throw std::runtime_error(
        "ZENTAVO_MAILSTACK is not set: run these tests through ctest, or start a stack with "
        "tests/mailstack/mailstack.sh start DIR and set ZENTAVO_MAILSTACK=DIR");
  MailStack stack;
  if (std::ifstream note(std::string(dir) + "/unavailable"); note && std::getline(note, stack.unavailable))
    return stack;
  std::ifstream in(std::string(dir) + "/env");
  if (!in) throw std::runtime_error(std::string("no mail stack running in ") + dir + " (no env file)");
  std::map<std::string, std::string> env;
  for (std::string line; std::getline(in, line);)
    if (const auto eq = line.find('='); eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
  stack = {"",
           env["SMTP_HOST"],
           env["SMTP_PORT"],
           env["POP3_HOST"],
           env["POP3_PORT"],
           env["MAIL_DOMAIN"],
           {},
           env["MAIL_PASSWORD"],
           env["SMTP_STARTTLS_PORT"],
           env["SMTPS_PORT"],
           env["SMTPS_WRONG_NAME_PORT"],
           env["POP3S_PORT"],
           env["TLS_CA_FILE"],
           env["TLS_OTHER_CA_FILE"],
           env["DEAD_ADDRESS"],
           env["OAUTH_AUTHORIZE_URL"],
           env["OAUTH_TOKEN_URL"],
           env["OAUTH_CONTROL_URL"],
           env["OAUTH_LOG_URL"],
           env["OAUTH_HTTP_BASE_URL"],
           env["OAUTH_CLIENT_ID"],
           env["OAUTH_CLIENT_SECRET_CLIENT_ID"],
           env["OAUTH_CLIENT_SECRET"],
           env["OAUTH_SCOPE"],
           env["OAUTH_DEFAULT_USER"]};
  std::istringstream users(env["MAIL_USERS"]);
  for (std::string user; std::getline(users, user, ',');) stack.users.push_back(user);
  // A stack started by an older mailstack.sh lacks keys: start it afresh.
  if (stack.users.size() < 8 || stack.deadAddress.empty() || stack.oauthTokenUrl.empty())
    throw std::runtime_error(std::string("the env file in ") + dir + " is incomplete");
  return stack;
}

std::vector<std::string> MailStack::Await(const std::string& user, const std::string& marker, std::size_t count,
                                          std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    Poco::Net::POP3ClientSession pop(pop3Host, static_cast<Poco::UInt16>(std::stoi(pop3Port)));
    pop.setTimeout(Poco::Timespan(10, 0));
    pop.login(user, password);
    std::vector<std::string> found;
    for (int id = 1, messages = pop.messageCount(); id <= messages; ++id) {
      std::ostringstream raw;
      pop.retrieveMessage(id, raw);
      if (raw.str().find(marker) != std::string::npos) found.push_back(raw.str());
    }
    pop.close();
    if (found.size() >= count || std::chrono::steady_clock::now() >= deadline) return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

namespace {

// One request to the authorization server over the program's own TLS
// connection, which verifies it against SSL_CERT_FILE as ctest sets it.
std::string AskAuthServer(const std::string& address, const std::string& method, const std::string& json) {
  const std::optional<Url> url = ParseUrl(address);
  if (!url) throw std::runtime_error("not a URL: " + address);
  MailConnection connection(url->host, url->port, 5000, 10000);
  connection.StartTls({});
  connection.Send(method + " " + url->target + " HTTP/1.1\r\nHost: " + Authority(*url) +
                  "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(json.size()) +
                  "\r\nConnection: close\r\n\r\n" + json);
  const HttpResponse response =
      ReadHttpResponse([&](char* buffer, std::size_t size) { return connection.Receive(buffer, size); }, 1 << 24);
  if (response.status != 200) throw std::runtime_error(address + " answered " + std::to_string(response.status));
  return response.body;
}

}  // namespace

std::string MailStack::ControlOAuth(const std::string& json) const {
  return AskAuthServer(oauthControlUrl, "POST", json);
}

std::string MailStack::OAuthLog(const std::string& endpoint) const {
  return AskAuthServer(oauthLogUrl + "?endpoint=" + endpoint, "GET", "");
}

std::string UniqueMarker(const std::string& label) {
  static std::atomic<unsigned> counter{0};
  return "zt-" + label + "-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++);
}

}  // namespace zentavo::e2e
