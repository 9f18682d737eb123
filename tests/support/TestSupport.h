// Shared helpers of the core tests: a scripted operator that records every
// message (in UTF-8, for readable assertions) and answers from a script, and
// a temporary program folder.
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/Operator.h"

namespace zentavo::test {

// UTF-8 test text to the Shift_JIS the core holds, and back.
std::string S(const std::string& utf8);
std::string U(const std::string& sjis);

struct RecordedMessage {
  std::string caption;  // UTF-8
  std::string text;     // UTF-8, lines separated by "\r" as shown
  MsgIcon icon;
  MsgButtons buttons;
  std::string detail;  // UTF-8
};

class ScriptedOperator : public Operator {
 public:
  MsgAnswer Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                    std::string_view detail) override;
  void Progress(std::string_view text) override;
  std::optional<std::filesystem::path> ChooseOpenFile(const FileChoice& choice) override;
  std::optional<std::filesystem::path> ChooseSaveFile(const FileChoice& choice) override;

  // The texts of the messages shown so far (UTF-8).
  std::vector<std::string> Texts() const;

  std::vector<RecordedMessage> messages;
  std::vector<std::string> progress;  // UTF-8
  std::vector<FileChoice> fileChoices;
  std::deque<MsgAnswer> answers;                           // for Yes/No questions; Yes when empty
  std::deque<std::optional<std::filesystem::path>> files;  // nullopt = cancelled
};

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& rel) const { return path_ / rel; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// Every line of a file of enciphered lines, deciphered, in UTF-8.
std::vector<std::string> Deciphered(const std::filesystem::path& file);
// Writes UTF-8 lines as the program stores them: Shift_JIS, enciphered.
void WriteEnciphered(const std::filesystem::path& file, const std::vector<std::string>& utf8Lines);
// The names in a folder, sorted.
std::vector<std::string> FileNames(const std::filesystem::path& dir);

}  // namespace zentavo::test

// What the tests speak in: UTF-8 test text to Shift_JIS (S) and back (U),
// lists of lines, and the file system.
namespace zentavo {
using test::S;
using test::U;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;
}  // namespace zentavo
