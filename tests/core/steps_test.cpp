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
  int a = co_await OffThread<int>(runner, [] { return 1; });
  log.push_back("a=" + std::to_string(a));
  co_await Pause(runner, 1000);
  try {
    co_await OffThread<void>(runner, [] { throw std::runtime_error("refused"); });
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
