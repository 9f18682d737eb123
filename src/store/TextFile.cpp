#include "store/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <thread>

namespace zentavo {
namespace fs = std::filesystem;

std::vector<std::string> SplitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t lf = bytes.find('\n', start);
    size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    size_t cut = end;
    if (cut > start && bytes[cut - 1] == '\r') --cut;
    lines.emplace_back(bytes.substr(start, cut - start));
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  return lines;
}

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("cannot open " + path.string());
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError("cannot read " + path.string());
  return bytes;
}

std::vector<std::string> ReadTextLines(const fs::path& path) { return SplitLines(ReadFileBytes(path)); }

bool IsTempFileName(std::string_view fileName) { return fileName.find(kTempMark) != std::string_view::npos; }

namespace {

std::string Errno(const std::string& what, const fs::path& path) {
  return what + " " + path.string() + ": " + std::strerror(errno);
}

}  // namespace

namespace {

struct PartlyRead {
  std::mutex mutex;
  std::set<fs::path> files;
};

PartlyRead& PartlyReadFiles() {
  static PartlyRead registry;
  return registry;
}

// One spelling per file, however the caller wrote the path.
fs::path Key(const fs::path& path) {
  std::error_code ec;
  fs::path key = fs::weakly_canonical(path, ec);
  return ec ? fs::absolute(path, ec).lexically_normal() : key;
}

}  // namespace

void MarkPartlyRead(const fs::path& path) {
  PartlyRead& registry = PartlyReadFiles();
  std::lock_guard lock(registry.mutex);
  registry.files.insert(Key(path));
}

bool IsPartlyRead(const fs::path& path) {
  PartlyRead& registry = PartlyReadFiles();
  std::lock_guard lock(registry.mutex);
  return registry.files.count(Key(path)) != 0;
}

namespace {

// Writes `bytes` into a fresh temporary file beside `path` and returns its
// name; with `flush` it is on disk when this returns.
fs::path WriteTemporary(const fs::path& path, std::string_view bytes, bool flush) {
  if (IsPartlyRead(path)) throw FileError(path.string() + " was read only in part and is left as it is");
  // The temporary name starts with the target's own name, so a leftover of a
  // crash sits visibly beside the file it belongs to.
  static thread_local std::mt19937_64 random{std::random_device{}()};
  fs::path temp = path;
  temp += std::string(kTempMark) + std::to_string(random() % 1000000000) + ".tmp";  // kTempSuffixMaxBytes

  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) throw FileError(Errno("cannot create", temp));
  auto fail = [&](const std::string& what) {
    std::string message = Errno(what, temp);
    ::close(fd);
    ::unlink(temp.c_str());
    throw FileError(message);
  };
  // Keep the old file's permissions (the settings file holds the password).
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write");
    }
    done += static_cast<size_t>(n);
  }
  if (flush && ::fsync(fd) != 0) fail("cannot flush");
  if (::close(fd) != 0) {
    ::unlink(temp.c_str());
    throw FileError(Errno("cannot close", temp));
  }
  return temp;
}

void Replace(const fs::path& temp, const fs::path& path) {
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    std::string message = Errno("cannot replace", path);
    ::unlink(temp.c_str());
    throw FileError(message);
  }
}

// Makes the renames in a folder durable.
void FlushFolder(const fs::path& dir) {
  int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

}  // namespace

void WriteFileAtomic(const fs::path& path, std::string_view bytes) {
  Replace(WriteTemporary(path, bytes, true), path);
  FlushFolder(path.parent_path());
}

std::vector<std::pair<fs::path, std::string>> WriteFilesAtomic(
    const std::vector<std::pair<fs::path, std::string>>& files) {
  // Each temporary file is written and flushed on its own, several at a
  // time: the file system commits flushes that wait together in one go, so
  // many files cost little more than one. Then each replaces its file, and
  // one flush per folder makes the renames durable.
  std::vector<std::optional<fs::path>> temps(files.size());
  std::vector<std::string> errors(files.size());
  std::atomic<std::size_t> next = 0;
  auto worker = [&] {
    for (std::size_t i = next++; i < files.size(); i = next++) {
      try {
        temps[i] = WriteTemporary(files[i].first, files[i].second, true);
      } catch (const FileError& e) { errors[i] = e.what(); }
    }
  };
  std::vector<std::thread> workers;
  for (std::size_t w = 1; w < std::min<std::size_t>(files.size(), 8); ++w) workers.emplace_back(worker);
  worker();
  for (auto& w : workers) w.join();

  std::vector<std::pair<fs::path, std::string>> failures;
  std::set<fs::path> folders;
  for (std::size_t i = 0; i < files.size(); ++i) {
    try {
      if (!temps[i]) throw FileError(errors[i]);
      Replace(*temps[i], files[i].first);
      folders.insert(files[i].first.parent_path());
    } catch (const FileError& e) { failures.emplace_back(files[i].first, e.what()); }
  }
  for (const auto& folder : folders) FlushFolder(folder);
  return failures;
}

void WriteTextLines(const fs::path& path, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const auto& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  WriteFileAtomic(path, bytes);
}

}  // namespace zentavo
