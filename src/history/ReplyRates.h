// How many recipients of each notice have replied, so that the history can
// show it for every notice without opening one. Counting means deciphering
// every recipient log, too slow for thousands of notices at every page
// change, so the counts are kept in a file of their own in "LOG" together
// with the size and modification time of the log they were counted from,
// and counted again only where those changed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/DataFolder.h"

namespace zentavo {

struct ReplyRate {
  int replied = 0;
  int total = 0;
};

// "12/30".
std::string FormatReplyRate(const ReplyRate& rate);

// The counts file: enciphered lines "size,mtime,replied,total,key" (the key
// last, since a subject may hold commas). Its name has no log prefix, so
// nothing takes it for a log.
inline constexpr std::string_view kReplyRatesFile = "replyrates";

// The rate of each notice of `keys`, in the same order: nothing for a
// notice whose recipient log is missing or could be read only in part. The
// counts file is brought up to date (a failure to write it only costs time
// at the next call).
std::vector<std::optional<ReplyRate>> ReplyRates(const DataFolder& folder, const std::vector<std::string>& keys);

}  // namespace zentavo
