#include "program/InstanceGuard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace zentavo {
namespace fs = std::filesystem;

namespace {

fs::path DefaultLockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return runtime;
  // No runtime folder: a private folder of this user's under /tmp. It must be
  // ours and not reachable by others, or another user could hold our lock.
  fs::path dir = fs::path("/tmp") / ("zentavo-" + std::to_string(::getuid()));
  ::mkdir(dir.c_str(), 0700);
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return {};
  return dir;
}

}  // namespace

InstanceGuard::InstanceGuard(const std::string& name, fs::path dir) {
  if (dir.empty()) dir = DefaultLockFolder();
  if (dir.empty()) return;
  fs::path file = dir / name;
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    busy_ = true;
    return;
  }
  fd_ = fd;
}

InstanceGuard::~InstanceGuard() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace zentavo
