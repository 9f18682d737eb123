#include "history/PrepareFollowUp.h"

#include "base/Base64.h"
#include "history/DeliveryRecord.h"
#include "history/ReplyLogs.h"
#include "history/TransmissionLogs.h"
#include "store/StoredFile.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace {

// The subject as the operator typed it. The notice log holds it whole; the
// key only as far as it fitted in a file name, after the stamp, "_",
// identifier and MailNo, and "_".
std::string OriginalSubject(const DataFolder& folder, std::string_view key) {
  try {
    const std::vector<std::string> lines = ReadTextLines(LogFilePath(folder, "0_", key));
    if (!lines.empty()) return DecodeBase64(lines[0]);
  } catch (const FileError&) {}
  const size_t stampEnd = key.find('_');
  const size_t subject = stampEnd == std::string_view::npos ? stampEnd : key.find('_', stampEnd + 1);
  return subject == std::string_view::npos ? std::string() : std::string(key.substr(subject + 1));
}

}  // namespace

NoticeText SplitNoticeText(const std::vector<std::string>& textLog) {
  // The composed body is the operator's text, " ", "SEND:" + time, " ",
  // then the lists; the last such stamp is the real one, since the text
  // before it is the operator's own. Without a stamp (a run that failed in
  // a later batch) the log is the operator's text alone.
  size_t stamp = textLog.size();
  for (size_t i = textLog.size(); i-- > 1;) {
    if (textLog[i].starts_with("SEND:") && textLog[i - 1] == " ") {
      stamp = i - 1;
      break;
    }
  }
  NoticeText parts;
  parts.operatorText.assign(textLog.begin(), textLog.begin() + static_cast<std::ptrdiff_t>(stamp));
  const std::string groupHeading = Sj("≪本メールの伝達グループ名≫");
  for (size_t i = stamp; i + 1 < textLog.size(); ++i) {
    if (textLog[i] != groupHeading) continue;
    // "個別伝達" stands for recipients picked one by one: no group.
    if (textLog[i + 1] != Sj("個別伝達")) parts.group = textLog[i + 1];
    break;
  }
  return parts;
}

FollowUp PrepareFollowUp(const DataFolder& folder, std::string_view key, SendPage& page, Grid& recipients,
                         Operator& op) {
  const auto recipientLog = LogFilePath(folder, "1_", key);
  const StoredFile log = ReadStoredFile(recipientLog);
  // Reminding only those found in part of the log would pass over the rest.
  if (log.result != ReadResult::Whole) {
    ReportFailure(op, Sj("招集職員の読込に失敗しました"), recipientLog.string());
    return FollowUp::Unreadable;
  }
  // Mail that came back undelivered would only come back again.
  DeliveryRecord record;
  LoadDeliveryRecord(DeliveryRecordPath(folder, key), record);
  std::vector<RecipientLine> silent;
  std::string undelivered;
  int undeliveredCount = 0;
  for (size_t i = 1; i < log.lines.size(); ++i) {
    RecipientLine line = CutRecipientLine(log.lines[i]);
    if (line.name.empty() || HasReplied(line)) continue;
    if (FindUndelivered(record, line.address)) {
      ++undeliveredCount;
      undelivered += "\r" + line.name + " <" + line.address + ">";
    } else {
      silent.push_back(std::move(line));
    }
  }
  if (undeliveredCount > 0) {
    Warn(op, Sj("不達の職員") + std::to_string(undeliveredCount) + Sj("名は再通知の宛先に含めません") + undelivered);
  }
  if (silent.empty()) {
    Warn(op, Sj("未返信の職員はいません"));
    return FollowUp::EveryoneReplied;
  }
  NoticeText text = SplitNoticeText(ReadStoredFile(LogFilePath(folder, "2_", key)).lines);
  const std::string mark = Sj("【再通知】");
  std::string subject = OriginalSubject(folder, key);
  page.subject = subject.starts_with(mark) ? subject : mark + subject;  // a second reminder stays readable
  page.group = std::move(text.group);
  page.body = std::move(text.operatorText);
  FillRecipientGrid(silent, recipients);
  return FollowUp::Prepared;
}

}  // namespace zentavo
