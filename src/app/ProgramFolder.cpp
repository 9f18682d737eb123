#include "app/ProgramFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace zentavo {
namespace fs = std::filesystem;

fs::path RunningProgram() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe;
}

namespace {

fs::path UserDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg && fs::path(xdg).is_absolute()) return fs::path(xdg) / "zentavo";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "zentavo";
}

}  // namespace

ProgramLocation LocateProgramFolder(const fs::path& exe) {
  ProgramLocation location;
  location.programName = exe.filename().string();
  if (location.programName.empty()) location.programName = "zentavo";
  fs::path own = exe.parent_path();
  if (!own.empty() && ::access(own.c_str(), W_OK | X_OK) == 0) {
    location.folder = own;
    return location;
  }
  location.folder = UserDataFolder();
  std::error_code ignored;
  fs::create_directories(location.folder.parent_path(), ignored);
  if (::mkdir(location.folder.c_str(), 0700) != 0) {
    // It exists already: make sure it is still private.
    ::chmod(location.folder.c_str(), 0700);
  }
  return location;
}

}  // namespace zentavo
