// How the long runs (a send, a reception, a scheduled send) reach the
// network without freezing the window. A run is written as a coroutine that
// reads step by step; each network step is handed to a StepRunner, which
// runs it where it does not hold up the window (the windows use a worker
// thread that owns its own socket) and resumes the run on the window's
// thread with the step's value. Tests use a runner that does every step at
// once, so a whole run completes inside the call that started it.
#pragma once

#include <coroutine>
#include <exception>
#include <functional>
#include <optional>
#include <utility>

namespace zentavo {

class StepRunner {
 public:
  virtual ~StepRunner() = default;
  // Runs `work` away from the window's thread, then `done` on the caller's
  // thread. `work` must touch no application state: only its own values.
  virtual void Start(std::function<void()> work, std::function<void()> done) = 0;
  // Calls `done` on the caller's thread after `ms` milliseconds; the window
  // stays responsive meanwhile.
  virtual void After(int ms, std::function<void()> done) = 0;
  // The program is ending: waits for every step in progress (its own
  // time-outs bound the wait) and runs what was to follow each step and
  // pause at once, until no run waits any more.
  virtual void Drain() = 0;
};

// Runs every step at once on the caller's thread (tests, command-line use).
class InlineStepRunner : public StepRunner {
 public:
  void Start(std::function<void()> work, std::function<void()> done) override {
    work();
    done();
  }
  void After(int, std::function<void()> done) override { done(); }
  void Drain() override {}
};

// The return type of a run: it starts at once and frees itself at the end.
// Runs catch their own errors; one escaping is a programming error.
struct RunTask {
  struct promise_type {
    RunTask get_return_object() noexcept { return {}; }
    std::suspend_never initial_suspend() noexcept { return {}; }
    std::suspend_never final_suspend() noexcept { return {}; }
    void return_void() noexcept {}
    void unhandled_exception() noexcept { std::terminate(); }
  };
};

// The value of `work()` run by the runner; an exception thrown by `work` is
// thrown again in the run. Always name the step and await the name:
//
//   OffThread<int> step(runner, [values...] { ... });
//   int n = co_await step;
//
// GCC 12 destroys the temporaries of a co_await expression twice when the
// coroutine really suspends, so `co_await OffThread<int>(runner, lambda)`
// frees the lambda's captured values twice.
template <typename T>
class [[nodiscard]] OffThread {
 public:
  OffThread(StepRunner& runner, std::function<T()> work) : runner_(runner), work_(std::move(work)) {}
  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> h) {
    // `done` may run inside Start (the inline runner): the run then goes on
    // before Start returns, so nothing here is touched after Start.
    runner_.Start(
        [this] {
          try {
            if constexpr (std::is_void_v<T>) {
              work_();
            } else {
              value_.emplace(work_());
            }
          } catch (...) { error_ = std::current_exception(); }
        },
        [h] { h.resume(); });
  }
  T await_resume() {
    if (error_) std::rethrow_exception(error_);
    if constexpr (!std::is_void_v<T>) return std::move(*value_);
  }

 private:
  struct Empty {};
  StepRunner& runner_;
  std::function<T()> work_;
  std::conditional_t<std::is_void_v<T>, std::optional<Empty>, std::optional<T>> value_;
  std::exception_ptr error_;
};

// A part of a run that is a coroutine of its own, awaited by the run (name
// it as for OffThread):
//
//   Task<Outcome> part = SendPart(values...);
//   Outcome outcome = co_await part;
//
// It starts when awaited and resumes the run when it ends; an exception it
// throws is thrown again in the run. Its parameters are copied into it, so
// pass values, or references to what outlives the run.
template <typename T>
class [[nodiscard]] Task {
 public:
  struct promise_type {
    std::optional<T> value;
    std::exception_ptr error;
    std::coroutine_handle<> awaiting;

    Task get_return_object() noexcept { return Task(std::coroutine_handle<promise_type>::from_promise(*this)); }
    std::suspend_always initial_suspend() noexcept { return {}; }
    struct Resume {
      bool await_ready() noexcept { return false; }
      std::coroutine_handle<> await_suspend(std::coroutine_handle<promise_type> h) noexcept {
        return h.promise().awaiting ? h.promise().awaiting : std::noop_coroutine();
      }
      void await_resume() noexcept {}
    };
    Resume final_suspend() noexcept { return {}; }
    void return_value(T v) { value.emplace(std::move(v)); }
    void unhandled_exception() noexcept { error = std::current_exception(); }
  };

  explicit Task(std::coroutine_handle<promise_type> h) : h_(h) {}
  Task(Task&& other) noexcept : h_(std::exchange(other.h_, {})) {}
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;
  ~Task() {
    if (h_) h_.destroy();
  }

  bool await_ready() const noexcept { return false; }
  std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
    h_.promise().awaiting = awaiting;
    return h_;
  }
  T await_resume() {
    if (h_.promise().error) std::rethrow_exception(h_.promise().error);
    return std::move(*h_.promise().value);
  }

 private:
  std::coroutine_handle<promise_type> h_;
};

// A wait that keeps the window responsive (name it as for OffThread).
class [[nodiscard]] Pause {
 public:
  Pause(StepRunner& runner, int ms) : runner_(runner), ms_(ms) {}
  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> h) {
    runner_.After(ms_, [h] { h.resume(); });
  }
  void await_resume() const noexcept {}

 private:
  StepRunner& runner_;
  int ms_;
};

}  // namespace zentavo
