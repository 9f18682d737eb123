// After a reception: the receive time of each staff reply goes into the
// recipient log of the notice it answers, so that the history shows who has
// replied, and each report of mail that could not be delivered marks its
// recipient "不達" in the notice's delivery record.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "store/DataFolder.h"

namespace zentavo {

// A staff reply a reception found.
struct FoundReply {
  std::string name;     // the staff member's name as the list shows it (Shift_JIS)
  std::string address;  // the sender's address as compared (NormalAddress); "" when unknown
  std::string mailNo;   // the MailNo it answers
  std::string key;      // the notice's key when its thread named one of the notice's messages
  std::string time;     // "yyyy/MM/dd HH:mm:ss"
};

// A recipient whose mail a delivery report says could not be delivered.
struct FoundBounce {
  std::string address;  // as the report gives it
  std::string mailNo;   // the MailNo of the returned subject; "" when tied by key
  std::string key;      // the notice whose message the report returned; "" when unknown
  std::string status, reason, time;
};

struct FoundMail {
  std::vector<FoundReply> replies;  // in list order: the first reply of a sender counts
  std::vector<FoundBounce> bounces;
};

struct RecordedReplies {
  int recorded = 0;                               // reply times written
  int undelivered = 0;                            // recipients newly marked "不達"
  std::vector<std::filesystem::path> partlyRead;  // logs left as they were: read only in part
};

// The notice of a reply is the one its thread named (`key`) or else the
// newest recipient log whose key carries identifier + MailNo in its own
// field, between the send stamp and the subject (letter case aside; after
// the counter wrapped, several may). A number in the subject part of a key
// never counts. In the log, the line with the sender's address gets the
// time; only when no line has that address (a staff member writing from
// another address of theirs) does the first line of the sender's name
// without a reply. A time once written never changes: the first reply
// counts. Each log is read and rewritten once however many replies it
// takes; a log that could be read only in part is never rewritten.
// Reports mark the recipient line of their address; an address that is no
// recipient of the notice is passed over. Read and write failures go to
// the diagnostic log only.
RecordedReplies RecordRepliesInLogs(const DataFolder& folder, std::string_view identifier, const FoundMail& found);

}  // namespace zentavo
