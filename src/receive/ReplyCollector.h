// What a reception finds for reply tracking, message by message: each staff
// reply and each report of undelivered mail, tied to the notice it answers.
// The MailNo in a subject ties a reply to its notice; a reply whose subject
// lost it (retyped, cut by a phone, a reply to a reply) is tied by its
// thread instead, when In-Reply-To or References names a message sent for
// a notice; a report is tied by the returned message's id or else by the
// MailNo of its subject. What the collector gathers is then recorded in
// the logs (RecordRepliesInLogs) before anything can delete it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "history/DeliveryRecord.h"
#include "history/RecordRepliesInLogs.h"
#include "receive/ReceivedList.h"
#include "receive/ReceivedMail.h"

namespace zentavo {

class ReplyCollector {
 public:
  // `records`: every notice's delivery record by key (LoadDeliveryRecords),
  // read beforehand off the window's thread.
  ReplyCollector(std::map<std::string, DeliveryRecord> records, std::string identifier);

  // Takes one message whose sender is `sender` (`name` the staff member's
  // name for staff mail) and returns how the list shows what it answers.
  ListedTie Take(const ReceivedMail& mail, const Sender& sender, std::string_view name);

  const FoundMail& Found() const { return found_; }

 private:
  struct Notice {
    std::string key;
    const DeliveryRecord* record;
  };
  // The notice one of whose messages `ids` names, the nearest first.
  std::optional<Notice> ByThread(const std::vector<std::string>& ids);
  ListedTie TakeReport(const DeliveryReport& report, const std::string& time);

  std::map<std::string, DeliveryRecord> records_;
  std::string identifier_;
  std::map<std::string, Notice> byMessageId_;  // every message sent for a notice
  FoundMail found_;
};

}  // namespace zentavo
