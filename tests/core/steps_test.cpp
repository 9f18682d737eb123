// Runs written as coroutines: each step waits without blocking its caller,
// errors come back into the run, and captured values survive suspension.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/SendDoubles.h"

namespace zentavo {
namespace {

RunTask TwoStepsPauseAndError(StepRunner& runner, std::vector<std::string>& log) {
  for (int i = 0; i < 2; ++i) {
    // The step owns heap memory: GCC 12 freed such captures twice when the
    // step was a temporary inside the co_await.
    const std::string text(100, static_cast<char>('a' + i));
    OffThread<std::string> step(runner, [text] { return text.substr(0, 1); });
    log.push_back(co_await step);
  }
  Pause pause(runner, 1000);
  co_await pause;
  try {
    OffThread<void> refused(runner, [] { throw std::runtime_error("refused"); });
    co_await refused;
  } catch (const std::exception& e) {
    log.push_back(e.what());
  }
}

TEST(Steps, EachStepWaitsWithoutBlockingAndErrorsComeBack) {
  test::HeldRunner runner;
  std::vector<std::string> log;
  TwoStepsPauseAndError(runner, log);
  EXPECT_TRUE(log.empty());  // the caller got control back at once
  ASSERT_TRUE(runner.ReleaseOne());
  EXPECT_EQ(log, std::vector<std::string>{"a"});
  runner.ReleaseAll();
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "refused"}));

  InlineStepRunner inline_;
  std::vector<std::string> again;
  TwoStepsPauseAndError(inline_, again);
  EXPECT_EQ(again, log);
}

}  // namespace
}  // namespace zentavo
