// "この履歴に伝達する": a new notice to the recipients of a notice in the
// history. The operator then writes its subject and text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "base/Operator.h"
#include "store/DataFolder.h"
#include "store/SendPage.h"

namespace zentavo {

// Prepares the send page: no group, subject and body empty, and in
// `recipients` every recipient of notice `key`. `historyText` (the history's
// "伝達内容") gets the notice's text, silently nothing when it cannot be
// read. A recipient log that is missing or could be read only in part
// leaves the recipients empty, rather than a part of them, and shows
// "招集職員の読込に失敗しました"; the result is then false. The window then
// changes to the send page.
bool PrepareResend(const DataFolder& folder, std::string_view key, SendPage& page, Grid& recipients,
                   std::vector<std::string>& historyText, Operator& op);

}  // namespace zentavo
