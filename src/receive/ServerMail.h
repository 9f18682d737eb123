// Working on single messages of the server mailbox from the received-mail
// list: fetching one again to read its body, and deleting listed mail (all
// of it, the staff mail, the other mail, or the rows the operator chose).
// Each is one POP3 session on the step runner's worker, like the reception
// run, and shares its state (no two at once).
#pragma once

#include <set>

#include "receive/RunReception.h"

namespace zentavo {

// Double-click on a listed message: fetches it again (found by its unique
// id, as a deletion finds it) and shows its body in the pane (without the
// closing rule). A failure is not reported to the operator (the diagnostic
// log keeps it): the list is still there to try again.
RunTask RetrieveSelectedMessage(ReceptionContext c, int row);

enum class Deletion {
  All,       // "全削除"
  Staff,     // "職員メール削除": rows marked "○"
  Others,    // "職員以外メール削除"
  Selected,  // the list's menu, "メール削除": the chosen rows
};

// Deletes the listed messages of the kind (for Selected, of `rows`; rows
// without a number are passed over) in one session. Each is found again
// by its unique id, whatever number it has now; one that is gone is
// reported, never guessed at. A server without unique ids is trusted only
// while the mailbox holds as many messages of the same sizes as listed;
// otherwise nothing is deleted and the operator is told. The last seen
// count drops by the deleted messages within it, and the list follows the
// server's numbering after QUIT (rows of mail gone meanwhile go too). On a
// failure the list stays as it was and the operator is told to receive
// again.
RunTask DeleteServerMail(ReceptionContext c, Deletion kind, std::set<int> rows = {});

// What the operator is told when the mailbox changed under a list from a
// server without unique ids, and when chosen mail was gone (Shift_JIS).
std::string MailboxChangedNotice();
std::string GoneNotice(std::size_t gone);

}  // namespace zentavo
