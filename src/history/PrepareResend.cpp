#include "history/PrepareResend.h"

#include "history/ReplyLogs.h"
#include "history/TransmissionLogs.h"
#include "store/StoredFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {

bool PrepareResend(const DataFolder& folder, std::string_view key, SendPage& page, Grid& recipients,
                   std::vector<std::string>& historyText, Operator& op) {
  page.group.clear();
  page.subject.clear();
  page.body.clear();
  const auto recipientLog = LogFilePath(folder, "1_", key);
  const StoredFile log = ReadStoredFile(recipientLog);
  std::vector<RecipientLine> lines;
  if (log.result == ReadResult::Whole) {
    for (size_t i = 1; i < log.lines.size(); ++i) lines.push_back(CutRecipientLine(log.lines[i]));
  } else {
    ReportFailure(op, Sj("招集職員の読込に失敗しました"), recipientLog.string());
  }
  historyText = ReadStoredFile(LogFilePath(folder, "2_", key)).lines;
  FillRecipientGrid(lines, recipients);
  return log.result == ReadResult::Whole;
}

}  // namespace zentavo
