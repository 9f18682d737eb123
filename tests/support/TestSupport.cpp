#include "support/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo::test {

std::string S(const std::string& utf8) { return Sj(utf8); }
std::string U(const std::string& sjis) { return SjisToUtf8(sjis); }

MsgAnswer ScriptedOperator::Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                                    std::string_view detail) {
  messages.push_back({U(std::string(caption)), U(std::string(text)), icon, buttons, std::string(detail)});
  if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
  if (answers.empty()) return MsgAnswer::Yes;
  MsgAnswer a = answers.front();
  answers.pop_front();
  return a;
}

void ScriptedOperator::Progress(std::string_view text) { progress.push_back(U(std::string(text))); }

std::optional<std::filesystem::path> ScriptedOperator::ChooseOpenFile(const FileChoice& choice) {
  fileChoices.push_back(choice);
  if (files.empty()) return std::nullopt;
  auto f = files.front();
  files.pop_front();
  return f;
}

std::optional<std::filesystem::path> ScriptedOperator::ChooseSaveFile(const FileChoice& choice) {
  return ChooseOpenFile(choice);
}

std::vector<std::string> ScriptedOperator::Texts() const {
  std::vector<std::string> texts;
  for (const auto& m : messages) texts.push_back(m.text);
  return texts;
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zentavo-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> Deciphered(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  for (const auto& line : ReadTextLines(file)) lines.push_back(U(DecryptLine(line)));
  return lines;
}

void WriteEnciphered(const std::filesystem::path& file, const std::vector<std::string>& utf8Lines) {
  std::vector<std::string> stored;
  for (const auto& line : utf8Lines) stored.push_back(EncryptLine(S(line)));
  WriteTextLines(file, stored);
}

std::vector<std::string> FileNames(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace zentavo::test
