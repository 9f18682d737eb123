#include "receive/UnseenMail.h"

#include <algorithm>
#include <set>

namespace zentavo {

std::string SeenAccount(const Settings& settings) {
  return ServerKey("pop3", settings.popHost, settings.popPort) + " " + settings.user;
}

namespace {

// The seen ids are for this mailbox; otherwise the count says what was read.
bool IdsApply(const Settings& settings, const MailboxListing& listing) {
  return listing.uniqueIds && settings.seen.account == SeenAccount(settings);
}

bool SeenBefore(const Settings& settings, const MailboxListing& listing, int number) {
  if (!IdsApply(settings, listing)) return number <= settings.lastSeenCount;
  const auto id = listing.ids.find(number);
  return id != listing.ids.end() && settings.seen.ids.contains(id->second);
}

}  // namespace

std::vector<int> UnseenNumbers(const Settings& settings, const MailboxListing& listing) {
  std::vector<int> numbers;
  for (int n = 1; n <= listing.count; ++n)
    if (!SeenBefore(settings, listing, n)) numbers.push_back(n);
  return numbers;
}

void MarkRead(Settings& settings, const MailboxListing& listing, const std::vector<int>& read) {
  const std::set<int> now(read.begin(), read.end());
  const int countedBefore = std::min(settings.lastSeenCount, listing.count);
  int through = 0;
  while (through < listing.count && (through + 1 <= countedBefore || now.contains(through + 1))) ++through;

  if (listing.uniqueIds) {
    SeenMail seen{SeenAccount(settings), {}};
    for (const auto& [number, id] : listing.ids)
      if (now.contains(number) || SeenBefore(settings, listing, number)) seen.ids.insert(id);
    settings.seen = std::move(seen);
  }
  settings.lastSeenCount = through;
}

}  // namespace zentavo
