// A reminder to those who have not replied: from a notice in the history,
// the send page is filled for a new notice (with a new MailNo when it goes
// out) to exactly the recipients without a recorded reply whose mail was
// delivered; those whose mail came back ("不達") are left out, and the
// operator is told how many and who.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "base/Operator.h"
#include "store/DataFolder.h"
#include "store/SendPage.h"

namespace zentavo {

enum class FollowUp {
  Prepared,         // the send page holds the reminder
  EveryoneReplied,  // nobody to remind; the page is left as it was
  Unreadable,       // the recipient log is missing or damaged; the page is left as it was
};

// The send page gets: the recipients of notice `key` who have not replied;
// the group the notice named (none when it named none or went to people
// picked one by one); the subject "【再通知】" + the notice's subject as
// typed (from the notice log; from the key when that cannot be read); and
// as body the operator's text of the notice, without the send stamp and the
// lists that followed it. The operator is told when there is nobody to
// remind ("未返信の職員はいません") or the recipients cannot be read
// ("招集職員の読込に失敗しました").
FollowUp PrepareFollowUp(const DataFolder& folder, std::string_view key, SendPage& page, Grid& recipients,
                         Operator& op);

// The parts of a text log: the operator's text, and the group the notice
// named ("" for none).
struct NoticeText {
  std::vector<std::string> operatorText;
  std::string group;
};
NoticeText SplitNoticeText(const std::vector<std::string>& textLog);

}  // namespace zentavo
