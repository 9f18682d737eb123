#include "store/Recipients.h"

#include "store/Groups.h"
#include "store/StoredFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {

const std::string& RecipientCell(const Grid& grid, int col, int row) {
  static const std::string empty;
  const auto& cells = grid.rows.at(static_cast<size_t>(row));
  return static_cast<size_t>(col) < cells.size() ? cells[static_cast<size_t>(col)] : empty;
}
namespace {

// Copies staff row `from` into recipient row `to`.
void CopyStaffRow(const Grid& staff, int from, Grid& target, int to) {
  for (int c = 0; c < 3; ++c) target.Cell(c, to) = staff.Cell(c, from);
}

std::string MismatchMessage() {
  const std::string blanks(22, ' ');
  return Sj("「職員リスト」が更新されたために、伝達者名と職員リストに\r"
            "不整合が発生しました。\r") +
         blanks + "\r" +
         Sj("このまま送信も可能ですが、伝達者名を確認してから\r"
            "送信してください。\r") +
         blanks + "\r" +
         Sj("修正は、「各種設定」-「事案別伝達職員登録」の事案名別の\r"
            "職員情報を更新してください。");
}

}  // namespace

std::vector<std::string> FillRecipients(const DataFolder& folder, std::string_view group, const Grid& staff,
                                        Grid& recipients, Operator& op) {
  std::vector<std::string> names;
  if (group.empty()) return names;
  recipients.Clear(30);
  // A missing or damaged member file ends the reading silently. (An empty
  // entry is a name of its own: it matches nobody and so shows as missing.)
  if (auto file = folder.NamedFile(kMemberDir, group)) {
    for (auto& entry : ReadStoredFile(*file).lines)
      if (!IsMarker(entry)) names.push_back(std::move(entry));
  }
  int counter = 0;
  for (const auto& name : names) {
    // An empty entry names nobody; it would otherwise match every empty row.
    if (name.empty()) continue;
    for (int r = 1; r < staff.RowCount(); ++r) {
      if (staff.Cell(0, r) != name) continue;
      ++counter;
      CopyStaffRow(staff, r, recipients, counter);
      recipients.SetRowCount(recipients.RowCount() + 1);
    }
  }
  if (static_cast<int>(names.size()) != counter) Warn(op, MismatchMessage());
  return names;
}

AddRecipientsDialog OpenAddRecipients(const Grid& staff) {
  AddRecipientsDialog dialog;
  for (int r = 1; r < staff.RowCount(); ++r) {
    if (!staff.Cell(0, r).empty()) dialog.registered.push_back(staff.Cell(0, r));
  }
  return dialog;
}

void AddToRecipientList(AddRecipientsDialog& dialog, const std::set<int>& selected) {
  for (int i : selected) {
    if (i < 0 || i >= static_cast<int>(dialog.registered.size())) continue;
    const std::string& name = dialog.registered[i];
    if (!name.empty() && !IsMarker(name)) dialog.added.push_back(name);
  }
}

bool SetAddedRecipients(const AddRecipientsDialog& dialog, const Grid& staff, Grid& target, Operator& op) {
  if (dialog.added.empty()) {
    Warn(op, Sj("職員が追加登録されていません"));
    return false;
  }
  // Each new recipient goes into the next empty data row; with none left
  // (the empty rows were removed by hand) it goes after the last row. Never
  // over the header or a recipient already there.
  int row = target.fixedRows;
  for (const auto& name : dialog.added) {
    for (int r = 1; r < staff.RowCount(); ++r) {
      if (staff.Cell(0, r) != name) continue;
      while (row < target.RowCount() && !target.RowEmpty(row)) ++row;
      CopyStaffRow(staff, r, target, row);
      ++row;
      target.SetRowCount(target.RowCount() + 1);
    }
  }
  return true;
}

}  // namespace zentavo
