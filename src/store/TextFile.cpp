#include "store/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <set>

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

bool IsTempFileName(std::string_view fileName) {
  return fileName.find(kTempMark) != std::string_view::npos;
}

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

void WriteFileAtomic(const fs::path& path, std::string_view bytes) {
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
  struct stat old{};
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
  if (::fsync(fd) != 0) fail("cannot flush");
  if (::close(fd) != 0) {
    ::unlink(temp.c_str());
    throw FileError(Errno("cannot close", temp));
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    std::string message = Errno("cannot replace", path);
    ::unlink(temp.c_str());
    throw FileError(message);
  }
  // Make the rename itself durable.
  fs::path dir = path.parent_path();
  int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
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
