#include "store/NameList.h"

#include <utility>

#include "store/LineCipher.h"
#include "store/TextFile.h"

namespace zentavo {

void LoadNameList(const std::filesystem::path& file, std::vector<std::string>& names) {
  names.clear();
  try {
    for (const std::string& line : ReadTextLines(file)) {
      if (line.empty()) continue;
      names.push_back(DecryptLine(line));
    }
  } catch (const std::exception&) {
    // Missing or damaged: the list holds what was read.
  }
}

void SaveNameList(const std::filesystem::path& file, const std::vector<std::string>& names) {
  std::vector<std::string> lines;
  for (const auto& name : names) {
    if (!name.empty()) lines.push_back(EncryptLine(name));
  }
  WriteTextLines(file, lines);
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

CipherLines ReadCipherLines(const std::filesystem::path& file) {
  CipherLines result;
  try {
    for (const std::string& line : ReadTextLines(file)) result.lines.push_back(DecryptLine(line));
    result.complete = true;
  } catch (const std::exception&) {
  }
  return result;
}

void WriteCipherLines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
  std::vector<std::string> stored;
  stored.reserve(lines.size());
  for (const auto& line : lines) stored.push_back(EncryptLine(line));
  WriteTextLines(file, stored);
}

}  // namespace zentavo
