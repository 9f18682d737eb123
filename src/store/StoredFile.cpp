#include "store/StoredFile.h"

#include "base/DiagnosticLog.h"
#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

StoredFile ReadStoredFile(const fs::path& file, bool enciphered, int plainLine) {
  StoredFile read;
  std::error_code ec;
  if (!fs::exists(file, ec) && !ec) return read;
  std::vector<std::string> stored;
  try {
    stored = ReadTextLines(file);
  } catch (const std::exception& e) {
    read.result = ReadResult::Partial;
    MarkPartlyRead(file);
    LogDiagnostic(e.what());
    return read;
  }
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (!enciphered || static_cast<int>(i) == plainLine) {
      read.lines.push_back(stored[i]);
      continue;
    }
    try {
      read.lines.push_back(DecryptLine(stored[i]));
    } catch (const std::exception& e) {
      read.result = ReadResult::Partial;
      MarkPartlyRead(file);
      LogDiagnostic(file.string() + ": line " + std::to_string(i + 1) + " cannot be deciphered (" + e.what() +
                    "); the file is left as it is");
      return read;
    }
  }
  read.result = ReadResult::Whole;
  return read;
}

std::string StoredBytes(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const auto& line : lines) {
    bytes += EncryptLine(line);
    bytes += "\r\n";
  }
  return bytes;
}

void WriteStoredFile(const fs::path& file, const std::vector<std::string>& lines) {
  WriteFileAtomic(file, StoredBytes(lines));
}

std::string PartlyReadNotice(const fs::path& file) {
  return Sj("次のファイルは途中までしか読み込めませんでした。\r") + Utf8ToSjis(file.string()).text +
         Sj("\r読めなかった部分を失わないよう、このファイルには保存しません。");
}

}  // namespace zentavo
