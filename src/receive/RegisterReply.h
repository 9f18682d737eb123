// "履歴登録": a staff reply that came without a MailNo (a new mail instead of
// a reply, a subject retyped) written by hand into a chosen notice's
// recipient log.
#pragma once

#include <string_view>

#include "base/Grid.h"
#include "base/Operator.h"
#include "store/DataFolder.h"

namespace zentavo {

// Whether row `row` of the received-mail list can be registered: mail from
// a staff member with a receive time, neither the operator's own copy nor an
// automatic reply. The menu item "履歴に記録する" is offered only then.
bool CanRegisterReply(const Grid& received, int row);

enum class Registration {
  Registered,         // "伝達履歴に登録しました"
  AlreadyRegistered,  // "既に伝達履歴に登録済みです"
  NotARecipient,  // "選択した伝達履歴に送信者が登録されていません\r別の伝達履歴を選択してください"
  NotAReply,   // the row cannot be registered (CanRegisterReply); nothing shown
  NotWritten,  // the log could be read only in part, or not written; the operator is told
};

// "登録": the first line of notice `key`'s recipient log whose name is the
// row's sender gets the row's receive time, unless it has one already; the
// message of the outcome is shown. A log read only in part is never
// rewritten. Afterwards the window refreshes the reply results.
Registration RegisterReply(const DataFolder& folder, std::string_view key, const Grid& received, int row, Operator& op);

}  // namespace zentavo
