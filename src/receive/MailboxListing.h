// What a listing session learned of the mailbox, so that a later session
// (a deletion, fetching one message again) reaches the very messages the
// operator saw in the list. POP3 numbers hold only for one session: once
// another client has deleted a message, number 3 may be another mail. So
// each message is known by its unique id (UIDL) where the server keeps
// them, and otherwise by the mailbox's count and sizes, which must still be
// as they were.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "net/Pop3Transport.h"

namespace zentavo {

struct MailboxListing {
  bool uniqueIds = false;          // the server keeps UIDL ids
  int count = 0;                   // the number of messages then
  std::map<int, std::string> ids;  // number -> unique id (with uniqueIds)
  std::map<int, long long> sizes;  // number -> octets (without uniqueIds)
};

// UIDL, or LIST for a server without it, in an open session of `count`
// messages. Throws Pop3Error.
MailboxListing ListMailbox(Mailbox& box, int count);

// Where the messages `numbers` of listing `then` stand in the session that
// gave `now`: the number each has now; those that are gone go to `gone`.
// Without unique ids the messages can only be trusted where the mailbox
// holds as many messages of the same sizes as before; otherwise nothing is
// resolved and `changed` is set.
struct ResolvedMessages {
  std::map<int, int> now;  // listed number -> number in this session
  std::vector<int> gone;   // listed numbers no longer on the server
  bool changed = false;    // without unique ids: the mailbox is not as listed
};
ResolvedMessages ResolveListed(const MailboxListing& then, const MailboxListing& now, const std::vector<int>& numbers);

// The listing once the messages `deleted` (numbers of `now`) are gone
// after QUIT: the server numbers what is left from 1 again.
MailboxListing AfterDeletion(const MailboxListing& now, const std::vector<int>& deleted);

// The number after QUIT of the message listed as `number`, once the
// messages `deleted` (numbers of this session) are gone; nothing when it
// is gone itself or could not be resolved.
std::optional<int> NumberAfter(const ResolvedMessages& resolved, const std::vector<int>& deleted, int number);

}  // namespace zentavo
