// The history list "伝達一覧" (and the notice choice of the reception page):
// every notice by its key, newest first, with how many of its recipients
// have replied.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "history/ReplyRates.h"
#include "store/DataFolder.h"

namespace zentavo {

struct HistoryEntry {
  std::string key;                // Shift_JIS: a notice log's name without "0_"
  std::optional<ReplyRate> rate;  // nothing when its recipient log is missing or damaged
};

// One entry per notice log in "LOG": the keys sorted ascending without
// regard to letter case, then read backwards, so the latest send time comes
// first. What an interrupted write left behind is never listed.
std::vector<HistoryEntry> RefreshHistoryList(const DataFolder& folder);

}  // namespace zentavo
