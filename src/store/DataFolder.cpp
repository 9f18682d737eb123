#include "store/DataFolder.h"

#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

DataFolder::DataFolder(fs::path root, std::string programName)
    : root_(std::move(root)), programName_(std::move(programName)) {}

fs::path DataFolder::Path(std::string_view relative) const { return root_ / fs::path(relative); }

fs::path DataFolder::SettingsFile() const { return root_ / fs::path(programName_).replace_extension(".ini"); }

fs::path DataFolder::SeenMailFile() const { return root_ / fs::path(programName_).replace_extension(".uid"); }

fs::path DataFolder::SecurityFile() const { return root_ / fs::path(programName_).replace_extension(".sec"); }

fs::path DataFolder::DiagnosticLogFile() const { return root_ / fs::path(programName_).replace_extension(".log"); }

namespace {

void RemovePlainFiles(const fs::path& dir, bool (*remove)(const fs::path&)) {
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    if (it->is_directory(ignored) || !remove(it->path())) continue;
    fs::remove(it->path(), ignored);
  }
}

}  // namespace

void CleanTempFiles(const DataFolder& folder) {
  RemovePlainFiles(folder.Root(), [](const fs::path& p) { return p.extension() == ".tmp"; });
  RemovePlainFiles(folder.Path(kTempDir), [](const fs::path&) { return true; });
  for (const char* sub : kDataSubdirectories)
    RemovePlainFiles(folder.Path(sub), [](const fs::path& p) { return IsTempFileName(p.filename().string()); });
}

bool IsSafeFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.find('/') != std::string_view::npos) return false;
  if (name.find('\0') != std::string_view::npos) return false;
  // The name must survive the trip to a UTF-8 file name and back unchanged,
  // or two names could meet in one file.
  SjisConversion back = Utf8ToSjis(SjisToUtf8(name));
  return back.dropped.empty() && back.text == name;
}

std::optional<fs::path> DataFolder::NamedFile(std::string_view dir, std::string_view name) const {
  if (!IsSafeFileName(name)) return std::nullopt;
  return root_ / fs::path(dir) / fs::path(SjisToUtf8(name));
}

}  // namespace zentavo
