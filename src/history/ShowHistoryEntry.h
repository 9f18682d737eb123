// A notice chosen in the history ("伝達一覧" double-clicked): its recipients
// with their reply times ("伝達職員") and its text ("伝達内容").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "base/Operator.h"
#include "store/DataFolder.h"

namespace zentavo {

// Fills `recipients` (the four columns of the result list) from the
// recipient log of `key` and `text` with the lines of its text log. A file
// that is missing or could be read only in part shows what was read and
// its message: "伝達職員の読込に失敗しました", "伝達内容の読込に失敗しました".
void ShowHistoryEntry(const DataFolder& folder, std::string_view key, Grid& recipients, std::vector<std::string>& text,
                      Operator& op);

}  // namespace zentavo
