#include "store/DataFolder.h"

#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

DataFolder::DataFolder(fs::path root, std::string programName)
    : root_(std::move(root)), programName_(std::move(programName)) {}

fs::path DataFolder::Path(std::string_view relative) const { return root_ / fs::path(relative); }

fs::path DataFolder::SettingsFile() const {
  return root_ / fs::path(programName_).replace_extension(".ini");
}

fs::path DataFolder::DiagnosticLogFile() const {
  return root_ / fs::path(programName_).replace_extension(".log");
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
