// The reply results of one notice: the result list of the reception page
// ("返信結果表示") and the reply status window "返信状況確認" built from it.
#pragma once

#include <string>
#include <string_view>

#include "base/Grid.h"
#include "store/DataFolder.h"
#include "store/StoredFile.h"

namespace zentavo {

// Fills `results` (the columns of ResultListHeader) from the recipient log
// of notice `key` and its delivery record: one row per recipient,
// "受信日時" a lone blank before any reply. No key, or a log that is
// missing, leaves one empty row; a log read only in part shows what was
// read. Failures are not shown to the operator; the result says how the
// log was read.
ReadResult ShowReplyResults(const DataFolder& folder, std::string_view key, Grid& results);

// The reply status window of the notice `key` whose results are shown.
struct ReplyStatus {
  std::string title;       // "<履歴> " + key
  Grid replied{2, 2};      // "返信あり": name, "受信日時"
  Grid notReplied{2, 2};   // "返信なし": name, telephone
  Grid undelivered{2, 2};  // "不達": name, the report's status and reason
  std::string countLine;   // "返信確認　　返信あり：N件　　返信なし：M件　　不達：K件"
  // Each list as CSV for copying and saving (Shift_JIS, its header line
  // first, CR LF), with the status ("状態") as a last column, so that lists
  // pasted together still say who is where.
  std::string repliedCsv, notRepliedCsv, undeliveredCsv;
};

// Sorts the rows of the result list (in the order it is shown, rows without
// a name left out) into those who have replied, those whose mail came back
// undelivered, and those who have not replied.
ReplyStatus ShowReplyStatus(std::string_view key, const Grid& results);

// A grid's rows, header first, as CSV text: CR LF after every line, a field
// quoted only when it holds a comma, a double quote or a line break. With a
// `status`, each data row ends with it, under the heading "状態".
std::string GridCsv(const Grid& grid, std::string_view status = {});

}  // namespace zentavo
