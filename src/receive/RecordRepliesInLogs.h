// After a reception started by the operator: the receive time of each staff
// reply goes into the recipient log of the notice it answers, so that the
// history shows who has replied.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "store/DataFolder.h"
#include "store/Grid.h"

namespace zentavo {

struct RecordedReplies {
  int recorded = 0;                               // reply times written
  std::vector<std::filesystem::path> partlyRead;  // logs left as they were: read only in part
};

// For the rows of the received-mail list that carry a MailNo: the notice is
// the newest recipient log whose file name holds identifier + MailNo (letter
// case aside; after the counter wrapped, several may). In it the first line
// of each replying sender's name that has no reply time yet gets the time of
// that sender's first reply in the list; a time once written never changes.
// Each log is read and rewritten once, however many replies it takes; a log
// that could be read only in part is never rewritten. Automatic replies
// carry no MailNo in the list and so never count. Read and write failures
// go to the diagnostic log only.
RecordedReplies RecordRepliesInLogs(const DataFolder& folder, std::string_view identifier, const Grid& received);

}  // namespace zentavo
