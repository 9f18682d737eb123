#include "receive/ReplyCollector.h"

#include "base/DiagnosticLog.h"
#include "base/LocalTime.h"
#include "text/SjisUnicode.h"

namespace zentavo {

ReplyCollector::ReplyCollector(std::map<std::string, DeliveryRecord> records, std::string identifier)
    : records_(std::move(records)), identifier_(std::move(identifier)) {
  for (const auto& [key, record] : records_)
    for (const auto& id : record.messageIds) byMessageId_[id] = {key, &record};
}

std::optional<ReplyCollector::Notice> ReplyCollector::ByThread(const std::vector<std::string>& ids) {
  for (const auto& id : ids)
    if (const auto found = byMessageId_.find(id); found != byMessageId_.end()) return found->second;
  return std::nullopt;
}

ListedTie ReplyCollector::Take(const ReceivedMail& mail, const Sender& sender, std::string_view name) {
  const std::string time = mail.date ? FormatDisplayTime(*mail.date) : std::string();
  if (mail.report && !mail.report->failed.empty()) return TakeReport(*mail.report, time);
  if (sender.kind == Sender::Kind::Other || mail.automatic) return {};
  ListedTie tie{FindMailNo(mail.subject, identifier_), false};
  if (sender.kind == Sender::Kind::OwnCopy) return tie;
  std::string key;
  if (const std::optional<Notice> notice = ByThread(mail.threadIds)) {
    if (tie.mailNo.empty()) {
      tie.mailNo = notice->record->mailNo;
      key = notice->key;
    } else if (tie.mailNo == notice->record->mailNo) {
      key = notice->key;  // both agree: the thread names the very notice
    } else {
      LogDiagnostic("a reply carries MailNo " + tie.mailNo + " but answers a message of notice " +
                    SjisToUtf8(notice->key) + "; it counts for the MailNo");
    }
  }
  if (!tie.mailNo.empty()) found_.replies.push_back({std::string(name), mail.fromAddress, tie.mailNo, key, time});
  return tie;
}

ListedTie ReplyCollector::TakeReport(const DeliveryReport& report, const std::string& time) {
  std::string key, mailNo;
  if (const auto notice = ByThread({report.originalMessageId})) {
    key = notice->key;
    mailNo = notice->record->mailNo;
  } else {
    mailNo = FindMailNo(report.originalSubject, identifier_);
  }
  // A report that cannot be tied to a notice stays ordinary mail.
  if (mailNo.empty()) return {};
  for (const FailedDelivery& failed : report.failed)
    found_.bounces.push_back({failed.address, key.empty() ? mailNo : std::string(), key, failed.status, failed.reason,
                              time.empty() ? FormatDisplayTime(NowLocal()) : time});
  return {mailNo, true};
}

}  // namespace zentavo
