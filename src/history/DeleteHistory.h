// Deleting from the history: chosen notices ("行削除") or every log
// ("ログ全消去"). Neither asks first; a file that cannot be deleted stays.
#pragma once

#include <string>
#include <vector>

#include "store/DataFolder.h"

namespace zentavo {

// Removes exactly the three logs of each notice of `keys`, by their names,
// never by a pattern: a subject may hold "*", "?" or "[".
void DeleteHistoryEntries(const DataFolder& folder, const std::vector<std::string>& keys);

// Removes every log of "LOG" (also recipient and text logs whose notice log
// is gone, and what interrupted writes left of them) and the kept reply
// counts. Sub-folders and other files stay.
void DeleteAllLogs(const DataFolder& folder);

}  // namespace zentavo
