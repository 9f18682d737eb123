#include "history/TextOutput.h"

#include "history/ShowReplyResults.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

bool ListEmpty(const Grid& list) { return list.RowCount() < 2 || list.RowEmpty(1); }

// The file the operator picks, written by `write`; a failure is reported.
template <typename Write>
void SaveAs(const FileChoice& choice, Operator& op, Write write) {
  const auto file = op.ChooseSaveFile(choice);
  if (!file) return;
  try {
    write(*file);
  } catch (const FileError& e) { ReportFailure(op, Sj("ファイルの保存に失敗しました"), e.what()); }
}

}  // namespace

std::vector<std::string> ReplyListPrintLines(std::string_view top, std::string_view heading, const Grid& list) {
  if (ListEmpty(list)) return {};
  std::vector<std::string> lines{std::string(top), " ", std::string(heading)};
  for (int r = 1; r < list.RowCount(); ++r) lines.push_back(list.Cell(0, r) + "," + list.Cell(1, r));
  return lines;
}

void SaveBody(const std::vector<std::string>& lines, Operator& op) {
  if (lines.empty()) return;
  SaveAs({Sj("受信本文保存"), Sj("txtﾌｧｲﾙ|*.txt"), "txt"}, op,
         [&](const std::filesystem::path& file) { WriteTextLines(file, lines); });
}

void SaveReplyList(const Grid& list, std::string_view status, Operator& op) {
  if (ListEmpty(list)) return;
  SaveAs({Sj("返信状況保存"), Sj("CSVﾌｧｲﾙ|*.csv"), "csv"}, op,
         [&](const std::filesystem::path& file) { WriteFileAtomic(file, GridCsv(list, status)); });
}

}  // namespace zentavo
