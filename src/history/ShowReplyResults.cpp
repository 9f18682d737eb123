#include "history/ShowReplyResults.h"

#include "history/DeliveryRecord.h"
#include "history/ReplyLogs.h"
#include "history/TransmissionLogs.h"
#include "text/SjisUnicode.h"

namespace zentavo {

ReadResult ShowReplyResults(const DataFolder& folder, std::string_view key, Grid& results) {
  DeliveryRecord record;
  if (key.empty()) {
    FillResultRows({}, record, results);
    return ReadResult::Missing;
  }
  const StoredFile log = ReadStoredFile(LogFilePath(folder, "1_", key));
  LoadDeliveryRecord(DeliveryRecordPath(folder, key), record);
  FillResultRows(log.lines, record, results);
  return log.result;
}

namespace {

// Appends a data row, the grid keeping no empty row after its last one.
void Append(Grid& grid, int& filled, const std::string& first, const std::string& second) {
  ++filled;
  grid.Cell(0, filled) = first;
  grid.Cell(1, filled) = second;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string GridCsv(const Grid& grid, std::string_view status) {
  std::string csv;
  for (int r = 0; r < grid.RowCount(); ++r) {
    if (r >= grid.fixedRows && grid.RowEmpty(r)) continue;
    for (int c = 0; c < grid.colCount; ++c) {
      if (c > 0) csv += ',';
      csv += CsvField(grid.Cell(c, r));
    }
    if (!status.empty()) csv += "," + CsvField(r < grid.fixedRows ? Sj("状態") : std::string(status));
    csv += "\r\n";
  }
  return csv;
}

ReplyStatus ShowReplyStatus(std::string_view key, const Grid& results) {
  ReplyStatus status;
  status.title = Sj("<履歴> ") + std::string(key);
  status.replied.SetHeader({Sj("氏名"), Sj("受信日時")});
  status.notReplied.SetHeader({Sj("氏名"), Sj("電話番号")});
  status.undelivered.SetHeader({Sj("氏名"), Sj("不達理由")});
  int replied = 0, notReplied = 0, undelivered = 0;
  for (int r = 1; r < results.RowCount(); ++r) {
    if (results.Cell(kResultName, r).empty()) continue;
    if (results.Cell(kResultTime, r).size() > 1) {
      Append(status.replied, replied, results.Cell(kResultName, r), results.Cell(kResultTime, r));
    } else if (results.Cell(kResultStatus, r) == UndeliveredText()) {
      Append(status.undelivered, undelivered, results.Cell(kResultName, r), results.Cell(kResultReason, r));
    } else {
      Append(status.notReplied, notReplied, results.Cell(kResultName, r), results.Cell(kResultTelephone, r));
    }
  }
  status.countLine = Sj("返信確認　　返信あり：") + std::to_string(replied) + Sj("件　　返信なし：") +
                     std::to_string(notReplied) + Sj("件　　不達：") + std::to_string(undelivered) + Sj("件");
  status.repliedCsv = GridCsv(status.replied, RepliedText());
  status.notRepliedCsv = GridCsv(status.notReplied, NotRepliedText());
  status.undeliveredCsv = GridCsv(status.undelivered, UndeliveredText());
  return status;
}

}  // namespace zentavo
