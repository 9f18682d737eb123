#include "receive/ShowReplyResults.h"

#include "receive/ReplyLogs.h"
#include "send/TransmissionLogs.h"
#include "text/SjisUnicode.h"

namespace zentavo {

ReadResult ShowReplyResults(const DataFolder& folder, std::string_view key, Grid& results) {
  if (key.empty()) {
    FillResultRows({}, results);
    return ReadResult::Missing;
  }
  const StoredFile log = ReadStoredFile(LogFilePath(folder, "1_", key));
  FillResultRows(log.lines, results);
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

std::string GridCsv(const Grid& grid) {
  std::string csv;
  for (int r = 0; r < grid.RowCount(); ++r) {
    if (r >= grid.fixedRows && grid.RowEmpty(r)) continue;
    for (int c = 0; c < grid.colCount; ++c) {
      if (c > 0) csv += ',';
      csv += CsvField(grid.Cell(c, r));
    }
    csv += "\r\n";
  }
  return csv;
}

ReplyStatus ShowReplyStatus(std::string_view key, const Grid& results) {
  ReplyStatus status;
  status.title = Sj("<履歴> ") + std::string(key);
  status.replied.SetHeader({Sj("氏名"), Sj("受信日時")});
  status.notReplied.SetHeader({Sj("氏名"), Sj("電話番号")});
  int replied = 0;
  int notReplied = 0;
  for (int r = 1; r < results.RowCount(); ++r) {
    if (results.Cell(0, r).empty()) continue;
    if (results.Cell(3, r).size() > 1) {
      Append(status.replied, replied, results.Cell(0, r), results.Cell(3, r));
    } else {
      Append(status.notReplied, notReplied, results.Cell(0, r), results.Cell(2, r));
    }
  }
  status.countLine = Sj("返信確認　　返信あり：") + std::to_string(replied) + Sj("件　　返信なし：") +
                     std::to_string(notReplied) + Sj("件");
  status.repliedCsv = GridCsv(status.replied);
  status.notRepliedCsv = GridCsv(status.notReplied);
  return status;
}

}  // namespace zentavo
