#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "store/Steps.h"

namespace zentavo {
namespace {

// A runner that holds each step until the test lets it go, like a worker
// thread whose answer has not come back yet.
class HeldRunner : public StepRunner {
 public:
  void Start(std::function<void()> work, std::function<void()> done) override {
    pending.emplace_back(std::move(work), std::move(done));
  }
  void After(int, std::function<void()> done) override { pending.emplace_back([] {}, std::move(done)); }
  void ReleaseOne() {
    auto [work, done] = std::move(pending.front());
    pending.erase(pending.begin());
    work();
    done();
  }
  std::vector<std::pair<std::function<void()>, std::function<void()>>> pending;
};

RunTask CountTo(StepRunner& runner, std::vector<std::string>& log) {
  log.push_back("start");
  OffThread<int> one(runner, [] { return 1; });
  int a = co_await one;
  log.push_back("a=" + std::to_string(a));
  Pause pause(runner, 1000);
  co_await pause;
  try {
    OffThread<void> refused(runner, [] { throw std::runtime_error("refused"); });
    co_await refused;
  } catch (const std::exception& e) {
    log.push_back(std::string("error ") + e.what());
  }
  log.push_back("end");
}

TEST(Steps, InlineRunnerCompletesTheRunInsideTheCall) {
  InlineStepRunner runner;
  std::vector<std::string> log;
  CountTo(runner, log);
  EXPECT_EQ(log, (std::vector<std::string>{"start", "a=1", "error refused", "end"}));
  EXPECT_EQ(runner.waited, 1000);
}

TEST(Steps, ARunWaitsForEachStepWithoutBlocking) {
  HeldRunner runner;
  std::vector<std::string> log;
  CountTo(runner, log);
  EXPECT_EQ(log, std::vector<std::string>{"start"});  // the caller got control back
  runner.ReleaseOne();
  EXPECT_EQ(log.back(), "a=1");
  runner.ReleaseOne();
  runner.ReleaseOne();
  EXPECT_EQ(log.back(), "end");
  EXPECT_TRUE(runner.pending.empty());
}

}  // namespace
}  // namespace zentavo

namespace zentavo {
namespace {

RunTask SendsCopies(StepRunner& runner, std::vector<std::string>& seen) {
  for (int i = 0; i < 2; ++i) {
    const std::string text(100, static_cast<char>('a' + i));  // owns heap memory
    OffThread<void> step(runner, [text, &seen] { seen.push_back(text); });
    co_await step;
  }
}

// A step whose work owns values (a lambda capturing strings) must leave
// them intact across a real suspension, however long the step takes. (With
// the step written as a temporary inside the co_await, GCC 12 destroys the
// captured values twice; hence the named step.)
TEST(Steps, ValuesCapturedByAStepSurviveTheSuspension) {
  HeldRunner runner;
  std::vector<std::string> seen;
  SendsCopies(runner, seen);
  runner.ReleaseOne();
  runner.ReleaseOne();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], std::string(100, 'b'));
}

}  // namespace
}  // namespace zentavo
