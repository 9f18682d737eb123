// The recipient grids: filled from a group's member file with the staff
// list's addresses, and extended by hand through the "伝達者追加" dialog.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "base/Operator.h"
#include "store/DataFolder.h"

namespace zentavo {

// A cell of a recipient grid (0 name, 1 address, 2 telephone); empty for a
// column the grid does not have.
const std::string& RecipientCell(const Grid& grid, int col, int row);

// A group chosen on the send page: refills `recipients` with the members of
// `group` found in the staff grid and returns the names read. Shows the
// mismatch message when names and recipients differ in number.
std::vector<std::string> FillRecipients(const DataFolder& folder, std::string_view group, const Grid& staff,
                                        Grid& recipients, Operator& op);

// The dialog "伝達者追加": its two lists.
struct AddRecipientsDialog {
  std::vector<std::string> registered;  // "登録済職員"
  std::vector<std::string> added;       // "追加登録"
};

AddRecipientsDialog OpenAddRecipients(const Grid& staff);

// "追加": appends the selected registered names, markers and empty ones left out.
void AddToRecipientList(AddRecipientsDialog& dialog, const std::set<int>& selected);

// "設定": writes the added names' staff rows into `target` (the recipient
// grid of whoever opened the dialog: the send page or the reservation
// editor) from its first row without a name. Returns true when the dialog
// closes.
bool SetAddedRecipients(const AddRecipientsDialog& dialog, const Grid& staff, Grid& target, Operator& op);

}  // namespace zentavo
