#include "history/RefreshHistoryList.h"

#include <algorithm>

#include "history/ReplyLogs.h"
#include "text/SjisUnicode.h"

namespace zentavo {

std::vector<HistoryEntry> RefreshHistoryList(const DataFolder& folder) {
  std::vector<std::string> keys;
  for (const auto& name : LogFileNames(folder, "0_")) keys.push_back(Utf8ToSjis(name.substr(2)).text);
  // The names were in order; the keys in Shift_JIS need not be.
  std::sort(keys.begin(), keys.end(), LessIgnoringCase);
  std::reverse(keys.begin(), keys.end());
  const std::vector<std::optional<ReplyRate>> rates = ReplyRates(folder, keys);
  std::vector<HistoryEntry> entries;
  entries.reserve(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) entries.push_back({std::move(keys[i]), rates[i]});
  return entries;
}

}  // namespace zentavo
