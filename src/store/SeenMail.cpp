#include "store/SeenMail.h"

#include <vector>

namespace zentavo {

// The first line names the account, every further line is one id.
ReadResult LoadSeenMail(const std::filesystem::path& file, SeenMail& seen) {
  StoredFile read = ReadStoredFile(file);
  seen = {};
  if (read.lines.empty()) return read.result;
  seen.account = read.lines[0];
  seen.ids.insert(read.lines.begin() + 1, read.lines.end());
  return read.result;
}

void SaveSeenMail(const std::filesystem::path& file, const SeenMail& seen) {
  std::vector<std::string> lines{seen.account};
  lines.insert(lines.end(), seen.ids.begin(), seen.ids.end());
  WriteStoredFile(file, lines);
}

}  // namespace zentavo
