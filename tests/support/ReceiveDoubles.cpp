#include "support/ReceiveDoubles.h"

#include <deque>
#include <set>

namespace zentavo::test {

namespace {

class FakeMailbox : public Mailbox {
 public:
  explicit FakeMailbox(FakePop3Transport& server) : server_(server) {}
  int Count() override {
    Say("STAT");
    return static_cast<int>(server_.messages.size());
  }
  std::optional<std::string> Retrieve(int n, std::span<const int> next) override {
    Pipeline("RETR", n, next);
    if (n < 1 || n > static_cast<int>(server_.messages.size())) return std::nullopt;
    return server_.messages[static_cast<std::size_t>(n - 1)];
  }
  bool Delete(int n, std::span<const int> next) override {
    Pipeline("DELE", n, next);
    return n >= 1 && n <= static_cast<int>(server_.messages.size());
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
    Settle();
    Say("QUIT");
    // As a server does: the marked messages go, the rest are numbered anew.
    for (auto it = marked_.rbegin(); it != marked_.rend(); ++it) {
      const int n = *it;
      server_.messages.erase(server_.messages.begin() + (n - 1));
      if (!server_.ids.empty()) server_.ids.erase(server_.ids.begin() + (n - 1));
    }
    marked_.clear();
  }

 private:
  void Say(const std::string& command) {
    Settle();
    server_.commands.push_back(command);
    Hear(command);
  }
  void Hear(const std::string& command) {
    if (command == server_.failOn) throw Pop3Error(command + ": connection closed by the server");
  }
  // As the session does: the command for `n` and those for `next` up to the
  // window go out (a DELE marks its message then), replies not wanted are
  // dropped, and the failure comes with the reply.
  void Pipeline(const std::string& verb, int n, std::span<const int> next) {
    const std::string wanted = verb + " " + std::to_string(n);
    while (!asked_.empty() && asked_.front() != wanted) Drop();
    const auto ask = [&](int number) {
      asked_.push_back(verb + " " + std::to_string(number));
      server_.commands.push_back(asked_.back());
      if (verb == "DELE" && number >= 1 && number <= static_cast<int>(server_.messages.size())) marked_.insert(number);
    };
    if (asked_.empty()) ask(n);
    for (std::size_t i = asked_.size() - 1; i < next.size() && asked_.size() < server_.window; ++i) ask(next[i]);
    Drop();
  }
  void Drop() {
    const std::string command = asked_.front();
    asked_.pop_front();
    Hear(command);
  }
  void Settle() {
    while (!asked_.empty()) Drop();
  }
  FakePop3Transport& server_;
  std::set<int> marked_;
  std::deque<std::string> asked_;  // commands whose replies are still to come
};

}  // namespace

std::unique_ptr<Mailbox> FakePop3Transport::Open(const Pop3Account& account) {
  commands.push_back("OPEN " + account.user);
  if (failOn == "OPEN") throw Pop3Error("login refused: -ERR [AUTH] Authentication failed.");
  return std::make_unique<FakeMailbox>(*this);
}

}  // namespace zentavo::test
