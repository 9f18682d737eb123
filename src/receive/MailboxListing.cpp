#include "receive/MailboxListing.h"

#include <algorithm>

namespace zentavo {

MailboxListing ListMailbox(Mailbox& box, int count) {
  MailboxListing listing;
  listing.count = count;
  if (std::optional<std::map<int, std::string>> ids = box.UniqueIds()) {
    listing.uniqueIds = true;
    listing.ids = std::move(*ids);
  } else {
    listing.sizes = box.Sizes();
  }
  return listing;
}

ResolvedMessages ResolveListed(const MailboxListing& then, const MailboxListing& now, const std::vector<int>& numbers) {
  ResolvedMessages resolved;
  if (then.uniqueIds && now.uniqueIds) {
    std::map<std::string, int> byId;
    for (const auto& [number, id] : now.ids) byId.emplace(id, number);
    for (const int number : numbers) {
      const auto listed = then.ids.find(number);
      const auto found = listed == then.ids.end() ? byId.end() : byId.find(listed->second);
      if (found == byId.end())
        resolved.gone.push_back(number);
      else
        resolved.now[number] = found->second;
    }
    return resolved;
  }
  // Without ids only an unchanged mailbox can be trusted: the same count
  // and every message of the same size.
  if (then.uniqueIds != now.uniqueIds || then.count != now.count || then.sizes != now.sizes) {
    resolved.changed = true;
    return resolved;
  }
  for (const int number : numbers) {
    if (number >= 1 && number <= now.count)
      resolved.now[number] = number;
    else
      resolved.gone.push_back(number);
  }
  return resolved;
}

namespace {

int Shifted(int number, const std::vector<int>& deleted) {
  return number - static_cast<int>(std::count_if(deleted.begin(), deleted.end(), [&](int d) { return d < number; }));
}

}  // namespace

MailboxListing AfterDeletion(const MailboxListing& now, const std::vector<int>& deleted) {
  auto gone = [&](int number) { return std::find(deleted.begin(), deleted.end(), number) != deleted.end(); };
  MailboxListing after;
  after.uniqueIds = now.uniqueIds;
  for (int number = 1; number <= now.count; ++number) {
    if (gone(number)) continue;
    ++after.count;
    if (const auto id = now.ids.find(number); id != now.ids.end()) after.ids[after.count] = id->second;
    if (const auto size = now.sizes.find(number); size != now.sizes.end()) after.sizes[after.count] = size->second;
  }
  return after;
}

std::optional<int> NumberAfter(const ResolvedMessages& resolved, const std::vector<int>& deleted, int number) {
  const auto found = resolved.now.find(number);
  if (found == resolved.now.end()) return std::nullopt;
  if (std::find(deleted.begin(), deleted.end(), found->second) != deleted.end()) return std::nullopt;
  return Shifted(found->second, deleted);
}

}  // namespace zentavo
