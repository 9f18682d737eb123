#include "program/ProgramFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace zentavo {
namespace fs = std::filesystem;

fs::path RunningProgram() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe;
}

namespace {

fs::path HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  // Started without HOME (from a service or a bare environment): the
  // account's own entry still knows it. Guessing a shared folder such as
  // /tmp would hand the password to every other user.
  if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir && *account->pw_dir) {
    return account->pw_dir;
  }
  throw std::runtime_error("no home folder to keep the data in (HOME is not set)");
}

// The XDG base directory rule: a relative XDG_DATA_HOME is to be ignored.
fs::path UserDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg && fs::path(xdg).is_absolute()) return fs::path(xdg) / "zentavo";
  return HomeFolder() / ".local" / "share" / "zentavo";
}

}  // namespace

ProgramLocation LocateProgramFolder(const fs::path& exe) {
  ProgramLocation location;
  location.programName = exe.filename().string();
  if (location.programName.empty()) location.programName = "zentavo";
  location.folder = UserDataFolder();

  std::error_code ignored;
  fs::create_directories(location.folder.parent_path(), ignored);
  ::mkdir(location.folder.c_str(), 0700);
  // Whether just made (the umask may have taken bits away) or found from an
  // earlier run (perhaps made by hand with the usual 0755), the folder ends
  // up open to its owner only. A failure here is left to the readers and
  // writers, which report a folder they cannot use.
  struct stat st {};
  if (::stat(location.folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
      (st.st_mode & 07777) != 0700) {
    ::chmod(location.folder.c_str(), 0700);
  }
  return location;
}

}  // namespace zentavo
