// The single-instance guard: a per-user named lock. It is an advisory lock
// on a file in the user's runtime folder, which the system releases when the
// holder ends in any way, so a crashed instance never leaves it stuck.
#pragma once

#include <filesystem>
#include <string>

namespace zentavo {

class InstanceGuard {
 public:
  // `name` is the lock's name ("ZentavoMutex"); `dir` the folder of its lock
  // file, by default $XDG_RUNTIME_DIR, else a per-user folder under /tmp.
  explicit InstanceGuard(const std::string& name, std::filesystem::path dir = {});
  ~InstanceGuard();
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;

  // True when another instance holds the lock. (Where no lock can be made
  // at all, the program runs rather than refusing to start.)
  bool AnotherInstanceRuns() const { return busy_; }

 private:
  int fd_ = -1;
  bool busy_ = false;
};

}  // namespace zentavo
