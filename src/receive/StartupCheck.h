// The start-up screen's check: replies to earlier notices still on the
// server are listed, and the operator may delete them there and then, since
// they could no longer be told from replies to the next notice.
#pragma once

#include "receive/RunReception.h"

namespace zentavo {

// Columns of the start-up screen's list.
enum StartupColumn {
  kStartupNumberColumn = 0,
  kStartupNameColumn,
  kStartupMailNoColumn,
  kStartupSubjectColumn,
  kStartupDateColumn
};

// "番号", "氏名", "MailNo", "件名", "受信日時" (Shift_JIS).
const std::vector<std::string>& StartupListHeader();

// Lists the staff mail on the server in `c.state.received` (the start-up
// screen's own state: five columns), then asks and deletes. Only the two
// address tests pick staff mail (the own copy is not looked for); the four
// bytes after the configured identifier are taken as they stand. The last
// seen count is left as it is.
RunTask CheckRepliesAtStartup(ReceptionContext c);

}  // namespace zentavo
