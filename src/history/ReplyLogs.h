// The transmission logs as reply tracking and the history read them: which
// files of "LOG" are logs, the order of their keys, and the recipient log's
// lines cut into their fields. (The send run writes them:
// history/TransmissionLogs.h.)
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "history/DeliveryRecord.h"
#include "store/DataFolder.h"
#include "text/Ascii.h"

namespace zentavo {

// The names (UTF-8, as on disk) of the files in "LOG" that start with
// `prefix` ("0_", "1_", "2_"), ascending without regard to letter case.
// Directories and what an interrupted write left behind are never listed.
std::vector<std::string> LogFileNames(const DataFolder& folder, std::string_view prefix);

// The full paths of the recipient logs ("1_"), in the same order: oldest
// first, since every key begins with its send time.
std::vector<std::filesystem::path> ListReplyLogs(const DataFolder& folder);

// Ascending order of names and keys, a-z read as A-Z; names that differ
// only in letter case keep a fixed order between them.
bool LessIgnoringCase(std::string_view a, std::string_view b);

// Calls `work` for 0 .. count-1, spread over the processor's cores when
// there are many: deciphering, and the file system's work of replacing a
// file, are the whole cost of going through many logs, and each log is
// handled on its own. `work` must touch nothing shared but its own slot.
void ForEachLog(size_t count, const std::function<void(size_t)>& work);

// A recipient line cut at each "," (byte by byte: a comma is never the
// second byte of a Shift_JIS character); fields past the fifth are dropped.
struct RecipientLine {
  std::string name;       // f0
  std::string address;    // f1
  std::string telephone;  // f2
  std::string replyTime;  // f3: the receive time of the first reply, empty before it
  std::string rest;       // f4
};
RecipientLine CutRecipientLine(std::string_view line);

// The line as written back once a reply is recorded: f0,f1,f2,f3 f4 with
// the blank always between f3 and f4.
std::string JoinRecipientLine(const RecipientLine& line);

// What the result lists show as "受信日時": f3 + " " + f4, so " " alone
// before any reply.
std::string ReplyColumn(const RecipientLine& line);

// A reply is recorded when the "受信日時" column holds more than its blank.
bool HasReplied(const RecipientLine& line);

// The columns of a result list: name, address, telephone, "受信日時", and
// where the recipient stands: "返信あり", "返信なし" or "不達" with the
// report's status and reason beside it.
enum ResultColumn { kResultName = 0, kResultAddress, kResultTelephone, kResultTime, kResultStatus, kResultReason };
inline constexpr int kResultColumns = 6;
const std::vector<std::string>& ResultListHeader();

// What the status column says (Shift_JIS): "返信あり", "返信なし", "不達".
const std::string& RepliedText();
const std::string& NotRepliedText();
const std::string& UndeliveredText();

// The recipient lines of a log (its first line, the header, left out) as
// the rows of a result list, with what the notice's delivery record says
// of undelivered mail (a recorded reply outweighs it). The grid is emptied
// first and keeps one empty row when there is no recipient.
void FillResultRows(const std::vector<std::string>& logLines, const DeliveryRecord& record, Grid& results);

// The send page's recipient grid emptied (30 rows) and filled with the name,
// address and telephone of `lines`, a row each.
void FillRecipientGrid(const std::vector<RecipientLine>& lines, Grid& recipients);

}  // namespace zentavo
