#include "store/NameList.h"

#include <utility>

#include "base/DiagnosticLog.h"
#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {

ReadResult LoadNameList(const std::filesystem::path& file, std::vector<std::string>& names) {
  StoredFile read = ReadStoredFile(file);
  names.clear();
  for (auto& name : read.lines)
    if (!name.empty()) names.push_back(std::move(name));
  return read.result;
}

void SaveNameList(const std::filesystem::path& file, const std::vector<std::string>& names) {
  std::vector<std::string> lines;
  for (const auto& name : names) {
    if (!name.empty()) lines.push_back(EncryptLine(name));
  }
  WriteTextLines(file, lines);
}

std::string UnusableNameMessage(const std::string& what) {
  return what + Sj("に使用できない名前です\r「/」を含む名前や「.」「..」は登録できません");
}

bool AddNamedFile(const DataFolder& folder, std::string_view dir, std::vector<std::string>& names, std::string& nameBox,
                  const std::string& firstLine, const AddNameTexts& texts, Operator& op) {
  const std::string name = nameBox;
  if (name.empty()) {
    Warn(op, texts.emptyText);
    return false;
  }
  for (const auto& listed : names) {
    if (listed == name) {
      Warn(op, texts.takenText);
      return false;
    }
  }
  // The name becomes a file name under `dir`; one that could reach outside
  // it (or collide with another after conversion) is refused here.
  auto file = folder.NamedFile(dir, name);
  if (!file) {
    Warn(op, UnusableNameMessage(texts.what));
    return false;
  }
  names.push_back(name);
  try {
    WriteStoredFile(*file, {firstLine});
  } catch (const std::exception& e) { LogDiagnostic(e.what()); }
  nameBox.clear();
  return true;
}

std::vector<std::string> DeleteNamedFiles(const DataFolder& folder, std::string_view dir,
                                          std::vector<std::string>& names, const std::set<int>& selected) {
  std::vector<std::string> kept;
  std::vector<std::string> deleted;
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    if (!selected.count(i)) {
      kept.push_back(names[i]);
      continue;
    }
    if (auto file = folder.NamedFile(dir, names[i])) {
      std::error_code ignored;
      std::filesystem::remove(*file, ignored);
    }
    deleted.push_back(names[i]);
  }
  names = std::move(kept);
  return deleted;
}

int MoveNameUp(std::vector<std::string>& names, const std::set<int>& selected) {
  for (int i : selected) {
    if (i >= 1 && i < static_cast<int>(names.size())) {
      std::swap(names[i], names[i - 1]);
      return i - 1;
    }
  }
  return -1;
}

int MoveNameDown(std::vector<std::string>& names, const std::set<int>& selected) {
  for (int i : selected) {
    if (i >= 0 && i + 1 < static_cast<int>(names.size())) {
      std::swap(names[i], names[i + 1]);
      return i + 1;
    }
  }
  return -1;
}

}  // namespace zentavo
