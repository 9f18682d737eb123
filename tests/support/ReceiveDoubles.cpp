#include "support/ReceiveDoubles.h"

#include <algorithm>

namespace zentavo::test {

namespace {

class FakeMailbox : public Mailbox {
 public:
  explicit FakeMailbox(FakePop3Transport& server) : server_(server) {}
  int Count() override {
    Say("STAT");
    return static_cast<int>(server_.messages.size());
  }
  std::optional<std::string> Retrieve(int n) override {
    Say("RETR " + std::to_string(n));
    if (n < 1 || n > static_cast<int>(server_.messages.size())) return std::nullopt;
    return server_.messages[static_cast<std::size_t>(n - 1)];
  }
  bool Delete(int n) override {
    Say("DELE " + std::to_string(n));
    if (n < 1 || n > static_cast<int>(server_.messages.size())) return false;
    marked_.push_back(n);
    return true;
  }
  std::optional<std::map<int, std::string>> UniqueIds() override {
    Say("UIDL");
    if (server_.ids.empty()) return std::nullopt;
    std::map<int, std::string> ids;
    for (std::size_t i = 0; i < server_.ids.size(); ++i) ids[static_cast<int>(i) + 1] = server_.ids[i];
    return ids;
  }
  std::map<int, long long> Sizes() override {
    Say("LIST");
    std::map<int, long long> sizes;
    for (std::size_t i = 0; i < server_.messages.size(); ++i)
      sizes[static_cast<int>(i) + 1] = static_cast<long long>(server_.messages[i].size());
    return sizes;
  }
  void Quit() override {
    Say("QUIT");
    // As a server does: the marked messages go, the rest are numbered anew.
    std::sort(marked_.rbegin(), marked_.rend());
    for (int n : marked_) {
      server_.messages.erase(server_.messages.begin() + (n - 1));
      if (!server_.ids.empty()) server_.ids.erase(server_.ids.begin() + (n - 1));
    }
    marked_.clear();
  }

 private:
  void Say(const std::string& command) {
    server_.commands.push_back(command);
    if (command == server_.failOn) throw Pop3Error(command + ": connection closed by the server");
  }
  FakePop3Transport& server_;
  std::vector<int> marked_;
};

}  // namespace

std::unique_ptr<Mailbox> FakePop3Transport::Open(const Pop3Account& account) {
  commands.push_back("OPEN " + account.user);
  if (failOn == "OPEN") throw Pop3Error("login refused: -ERR [AUTH] Authentication failed.");
  return std::make_unique<FakeMailbox>(*this);
}

}  // namespace zentavo::test
