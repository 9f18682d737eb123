#include "base/DiagnosticLog.h"

#include <ctime>
#include <fstream>
#include <mutex>
#include <string>

namespace zentavo {
namespace {

constexpr std::uintmax_t kRotateBytes = 1 << 20;

struct Log {
  std::mutex mutex;
  std::filesystem::path file;
};

Log& TheLog() {
  static Log log;
  return log;
}

// Caller holds the mutex.
void RotateIfLarge(const std::filesystem::path& file) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  if (ec || size < kRotateBytes) return;
  std::filesystem::path old = file;
  old += ".1";
  std::filesystem::rename(file, old, ec);
}

}  // namespace

void OpenDiagnosticLog(const std::filesystem::path& file) {
  Log& log = TheLog();
  std::lock_guard lock(log.mutex);
  log.file = file;
  RotateIfLarge(file);
}

void LogDiagnostic(std::string_view utf8) {
  Log& log = TheLog();
  std::lock_guard lock(log.mutex);
  if (log.file.empty()) return;
  RotateIfLarge(log.file);
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S", &tm);
  std::ofstream out(log.file, std::ios::app | std::ios::binary);
  std::string line(utf8);
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  out << stamp << ' ' << line << '\n';
}

}  // namespace zentavo
