// "未受信受信": which messages a run fetches, and what it read becoming seen.
// Where the server keeps unique ids, a message is seen when its id is; a
// server without them can only be followed by the count of messages read,
// which stands in the settings file as it always has. Either way the mark
// only ever moves past messages a run actually read: stopping, a failure or
// quitting never marks unread mail as seen.
#pragma once

#include <string>
#include <vector>

#include "receive/MailboxListing.h"
#include "store/Settings.h"

namespace zentavo {

// The account the seen ids belong to: "pop3 host:port user".
std::string SeenAccount(const Settings& settings);

// The numbers of the messages not read before, ascending.
std::vector<int> UnseenNumbers(const Settings& settings, const MailboxListing& listing);

// The messages `read` (numbers of `listing`) are seen from now on. The count
// becomes the last number up to which every message was either counted as
// read before or read now; the ids become those of the listing that were
// seen before or read now (so ids of mail gone from the server drop out).
// Ids are taken up the first time from the count: a message within it was
// read before ids were kept.
void MarkRead(Settings& settings, const MailboxListing& listing, const std::vector<int>& read);

}  // namespace zentavo
