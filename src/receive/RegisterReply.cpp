#include "receive/RegisterReply.h"

#include "history/ReplyLogs.h"
#include "history/TransmissionLogs.h"
#include "receive/ReceivedList.h"
#include "store/StoredFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {

bool CanRegisterReply(const Grid& received, int row) {
  if (row < 1 || row >= received.RowCount()) return false;
  const auto cell = [&](int column) -> const std::string& { return received.Cell(column, row); };
  return !cell(kNumberColumn).empty() && cell(kStaffColumn) == Sj("○") && cell(kSenderColumn) != "Zentavo -COPY-" &&
         !cell(kSubjectColumn).starts_with(AutomaticReplyMark()) && !cell(kDateColumn).empty();
}

Registration RegisterReply(const DataFolder& folder, std::string_view key, const Grid& received, int row,
                           Operator& op) {
  if (key.empty() || !CanRegisterReply(received, row)) return Registration::NotAReply;
  const auto path = LogFilePath(folder, "1_", key);
  StoredFile log = ReadStoredFile(path);
  for (size_t i = 1; i < log.lines.size(); ++i) {
    RecipientLine line = CutRecipientLine(log.lines[i]);
    if (line.name != received.Cell(kSenderColumn, row)) continue;
    if (!line.replyTime.empty()) {
      Warn(op, Sj("既に伝達履歴に登録済みです"));
      return Registration::AlreadyRegistered;
    }
    if (log.result == ReadResult::Partial) {
      // Writing back what was read would lose the rest of the log.
      Warn(op, PartlyReadNotice(path));
      return Registration::NotWritten;
    }
    line.replyTime = received.Cell(kDateColumn, row);
    log.lines[i] = JoinRecipientLine(line);
    try {
      WriteStoredFile(path, log.lines);
    } catch (const std::exception& e) {
      ReportFailure(op, Sj("伝達履歴に登録できませんでした"), e.what());
      return Registration::NotWritten;
    }
    Warn(op, Sj("伝達履歴に登録しました"));
    return Registration::Registered;
  }
  if (log.result == ReadResult::Partial) {
    Warn(op, PartlyReadNotice(path));  // the sender may be in the part that could not be read
    return Registration::NotWritten;
  }
  Warn(op, Sj("選択した伝達履歴に送信者が登録されていません\r別の伝達履歴を選択してください"));
  return Registration::NotARecipient;
}

}  // namespace zentavo
