#include "store/Staff.h"

#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {

const std::vector<std::string>& StaffHeader() {
  static const std::vector<std::string> header = {Sj("氏名"), Sj("メールアドレス"), Sj("電話番号")};
  return header;
}

std::vector<std::string> SplitRecord(std::string_view line, size_t count) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (fields.size() < count) {
    size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) {
      fields.emplace_back(line.substr(std::min(start, line.size())));
      break;
    }
    fields.emplace_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  fields.resize(count);
  return fields;
}

ReadResult LoadStaff(StaffList& staff, Operator& op) {
  Grid& grid = staff.grid;
  grid.Clear(30);
  const StoredFile read = ReadStoredFile(staff.path, staff.enciphered);
  int row = 0;
  for (size_t i = 1; i < read.lines.size(); ++i) {  // line 1 is the header, whatever it holds
    ++row;                                          // an empty line still uses up its row
    std::vector<std::string> f = SplitRecord(read.lines[i], 3);
    if (f[0].empty() && f[1].empty() && f[2].empty()) continue;
    for (int c = 0; c < 3; ++c) grid.Cell(c, row) = f[c];
    grid.SetRowCount(grid.RowCount() + 1);
  }
  if (read.result == ReadResult::Partial) Warn(op, Sj("職員読込に失敗しました\r") + PartlyReadNotice(staff.path));
  return read.result;
}

bool SaveStaff(const StaffList& staff, Operator& op) {
  const Grid& grid = staff.grid;
  std::vector<std::string> lines;
  for (int r = 0; r < grid.RowCount(); ++r) {
    if (grid.RowEmpty(r)) continue;
    std::string line = grid.Cell(0, r) + "," + grid.Cell(1, r) + "," + grid.Cell(2, r);
    lines.push_back(staff.enciphered ? EncryptLine(line) : line);
  }
  try {
    WriteTextLines(staff.path, lines);
    return true;
  } catch (const std::exception& e) {
    ReportFailure(op, Sj("職員出力に失敗しました"), e.what());
    return false;
  }
}

namespace {

FileChoice StaffFileChoice() { return {Sj("職員ﾌｧｲﾙ"), Sj("CSVﾌｧｲﾙ|*.csv"), ""}; }

}  // namespace

void ImportStaffCsv(StaffList& staff, Operator& op) {
  const std::string question =
      Sj("職員情報を読み込むと、これまで設定した\r"
         "事案情報と職員情報の関連に不一致が発生します。\r"
         "必ず「関連設定」を確認してください。\r"
         "職員情報を読込ますか？");
  if (!AskYesNo(op, question)) return;
  auto file = op.ChooseOpenFile(StaffFileChoice());
  if (!file) return;
  staff.enciphered = false;
  staff.path = *file;
  if (LoadStaff(staff, op) == ReadResult::Missing) Warn(op, Sj("職員読込に失敗しました"));
}

void ExportStaffCsv(StaffList& staff, Operator& op) {
  auto file = op.ChooseSaveFile(StaffFileChoice());
  if (!file) return;
  staff.enciphered = false;
  staff.path = file->replace_extension(".csv");
  SaveStaff(staff, op);
}

std::vector<std::string> StaffNames(const Grid& staff) {
  std::vector<std::string> names;
  for (int r = 1; r < staff.RowCount(); ++r) {
    if (!staff.Cell(0, r).empty()) names.push_back(staff.Cell(0, r));
  }
  return names;
}

bool RegisterStaff(Grid& staff, std::string_view name, std::string_view address, std::string_view telephone,
                   Operator& op) {
  if (name.empty()) {
    Warn(op, Sj("項目が入力されていません"));
    return false;
  }
  staff.SetRowCount(staff.RowCount() + 1);
  for (int r = 0; r < staff.RowCount(); ++r) {
    // The new entry goes into the first wholly empty row: a row that has an
    // address or telephone but no name is somebody's data and is not
    // written over.
    if (staff.RowEmpty(r)) {
      staff.Cell(0, r) = std::string(name);
      staff.Cell(1, r) = std::string(address);
      staff.Cell(2, r) = std::string(telephone);
      return true;
    }
    if (staff.Cell(0, r) == name) {
      Warn(op, Sj("氏名が既に登録されています"));
      return true;
    }
    if (staff.Cell(1, r) == address) {
      Warn(op, Sj("メールアドレスが既に登録されています"));
      return true;
    }
  }
  return true;
}

}  // namespace zentavo
