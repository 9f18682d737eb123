// The program folder: every data file lives in it, under the eight
// sub-directories below, and every path is built from it (never from the
// current directory). Relative names use "/".
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zentavo {

inline constexpr std::array<const char*, 8> kDataSubdirectories = {"SYOKUIN", "JIAN", "KANREN", "TEIKEI",
                                                                   "SYOMEI",  "LOG",  "TEMP",   "RESERVE"};

inline constexpr std::string_view kStaffFile = "SYOKUIN/name";
inline constexpr std::string_view kGroupListFile = "JIAN/jian";
inline constexpr std::string_view kTemplateListFile = "JIAN/teikei";
inline constexpr std::string_view kSignatureFile = "SYOMEI/Syomei";
inline constexpr std::string_view kMemberDir = "KANREN";
inline constexpr std::string_view kTemplateDir = "TEIKEI";
inline constexpr std::string_view kTempDir = "TEMP";

class DataFolder {
 public:
  DataFolder() = default;
  // `programName` is the program file's name; the settings file is named
  // after it with the extension ".ini".
  explicit DataFolder(std::filesystem::path root, std::string programName = "zentavo");

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path Path(std::string_view relative) const;
  std::filesystem::path SettingsFile() const;
  // The connection security choices, named after the program like the
  // settings ("<program>.sec").
  std::filesystem::path SecurityFile() const;
  // The unique ids of the messages already read ("<program>.uid").
  std::filesystem::path SeenMailFile() const;
  // The plain diagnostic log, named after the program like the settings.
  std::filesystem::path DiagnosticLogFile() const;

  // The file `dir`/`name` for a group or template name (Shift_JIS). Such names
  // come from the operator or from list files that may have been written
  // elsewhere, so a name that is not a plain file name here ("/", NUL, "." or
  // "..", bytes that are not Shift_JIS) gives nullopt and is never opened.
  std::optional<std::filesystem::path> NamedFile(std::string_view dir, std::string_view name) const;

 private:
  std::filesystem::path root_;
  std::string programName_ = "zentavo";
};

// Deletes "*.tmp" files directly in the data folder, every file in "TEMP",
// and what an interrupted atomic write left beside the files of the data
// sub-folders; sub-directories stay, failures are ignored.
void CleanTempFiles(const DataFolder& folder);

// True when a Shift_JIS name can stand as a file name inside the folder.
bool IsSafeFileName(std::string_view name);

}  // namespace zentavo
