// The reply results of one notice: the result list of the reception page
// ("返信結果表示") and the reply status window "返信状況確認" built from it.
#pragma once

#include <string>
#include <string_view>

#include "store/DataFolder.h"
#include "store/Grid.h"
#include "store/StoredFile.h"

namespace zentavo {

// Fills `results` (four columns: "氏名", "メールアドレス", "電話番号",
// "受信日時") from the recipient log of notice `key`: one row per
// recipient, "受信日時" a lone blank before any reply. No key, or a log that
// is missing, leaves one empty row; a log read only in part shows what was
// read. Failures are not shown to the operator; the result says how the
// log was read.
ReadResult ShowReplyResults(const DataFolder& folder, std::string_view key, Grid& results);

// The reply status window of the notice `key` whose results are shown.
struct ReplyStatus {
  std::string title;      // "<履歴> " + key
  Grid replied{2, 2};     // "返信あり": name, "受信日時"
  Grid notReplied{2, 2};  // "返信なし": name, telephone
  std::string countLine;  // "返信確認　　返信あり：N件　　返信なし：M件"
  std::string repliedCsv;     // each list as CSV for copying and saving:
  std::string notRepliedCsv;  // Shift_JIS, its header line first, CR LF
};

// Sorts the rows of the result list (in the order it is shown, rows without
// a name left out) into those who have replied and those who have not.
ReplyStatus ShowReplyStatus(std::string_view key, const Grid& results);

// A grid's rows, header first, as CSV text: CR LF after every line, a field
// quoted only when it holds a comma, a double quote or a line break.
std::string GridCsv(const Grid& grid);

}  // namespace zentavo
