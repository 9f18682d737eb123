#include "history/ShowHistoryEntry.h"

#include "history/ReplyLogs.h"
#include "history/TransmissionLogs.h"
#include "store/StoredFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

namespace {

std::string Why(const fs::path& file, ReadResult result) {
  return file.string() + (result == ReadResult::Missing ? ": no such file" : ": read only in part");
}

}  // namespace

void ShowHistoryEntry(const DataFolder& folder, std::string_view key, Grid& recipients, std::vector<std::string>& text,
                      Operator& op) {
  const fs::path recipientLog = LogFilePath(folder, "1_", key);
  const StoredFile read = ReadStoredFile(recipientLog);
  DeliveryRecord record;
  LoadDeliveryRecord(DeliveryRecordPath(folder, key), record);
  FillResultRows(read.lines, record, recipients);
  if (read.result != ReadResult::Whole)
    ReportFailure(op, Sj("伝達職員の読込に失敗しました"), Why(recipientLog, read.result));

  const fs::path textLog = LogFilePath(folder, "2_", key);
  StoredFile body = ReadStoredFile(textLog);
  text = std::move(body.lines);
  if (body.result != ReadResult::Whole)
    ReportFailure(op, Sj("伝達内容の読込に失敗しました"), Why(textLog, body.result));
}

}  // namespace zentavo
