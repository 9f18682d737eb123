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

namespace zentavo::e2e {

MailStack MailStack::FromEnvironment() {
  const char* dir = std::getenv("ZENTAVO_MAILSTACK");
  if (!dir || !*dir)
    throw std::runtime_error(
        "ZENTAVO_MAILSTACK is not set: run these tests through ctest, or start a stack with "
        "tests/mailstack/mailstack.sh start DIR and set ZENTAVO_MAILSTACK=DIR");
  std::ifstream in(std::string(dir) + "/env");
  if (!in) throw std::runtime_error(std::string("no mail stack running in ") + dir + " (no env file)");

  std::map<std::string, std::string> env;
  for (std::string line; std::getline(in, line);) {
    auto eq = line.find('=');
    if (eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
  }
  auto get = [&](const std::string& key) {
    auto it = env.find(key);
    if (it == env.end() || it->second.empty()) throw std::runtime_error("mail stack env lacks " + key);
    return it->second;
  };

  MailStack stack;
  stack.dir = dir;
  stack.smtpHost = get("SMTP_HOST");
  stack.smtpPort = get("SMTP_PORT");
  stack.pop3Host = get("POP3_HOST");
  stack.pop3Port = get("POP3_PORT");
  stack.domain = get("MAIL_DOMAIN");
  stack.password = get("MAIL_PASSWORD");
  std::istringstream users(get("MAIL_USERS"));
  for (std::string user; std::getline(users, user, ',');) stack.users.push_back(user);
  if (stack.users.size() < 4) throw std::runtime_error("mail stack has too few users");
  return stack;
}

std::vector<std::string> MailStack::Fetch(const std::string& user) const {
  Poco::Net::POP3ClientSession pop(pop3Host, static_cast<Poco::UInt16>(std::stoi(pop3Port)));
  pop.setTimeout(Poco::Timespan(10, 0));
  pop.login(user, password);
  std::vector<std::string> messages;
  const int count = pop.messageCount();
  for (int id = 1; id <= count; ++id) {
    std::ostringstream raw;
    pop.retrieveMessage(id, raw);
    messages.push_back(raw.str());
  }
  pop.close();
  return messages;
}

std::vector<std::string> MailStack::Await(const std::string& user, const std::string& marker,
                                          const std::function<bool(const std::vector<std::string>&)>& done,
                                          std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    std::vector<std::string> matching;
    for (auto& message : Fetch(user))
      if (message.find(marker) != std::string::npos) matching.push_back(std::move(message));
    if (done(matching) || std::chrono::steady_clock::now() >= deadline) return matching;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::string UniqueMarker(const std::string& label) {
  static std::atomic<unsigned> counter{0};
  std::random_device device;
  std::ostringstream out;
  out << "zt-" << label << "-" << std::hex << device() << device() << "-" << counter++;
  return out.str();
}

std::string HeaderOf(const std::string& message) {
  auto end = message.find("\r\n\r\n");
  return end == std::string::npos ? message : message.substr(0, end + 2);
}

std::string BodyOf(const std::string& message) {
  auto end = message.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : message.substr(end + 4);
}

}  // namespace zentavo::e2e
