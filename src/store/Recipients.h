// The recipient grids: filled from a group's member file with the staff
// list's addresses, and extended by hand through the "伝達者追加" dialog.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "store/DataFolder.h"
#include "store/Grid.h"
#include "store/Operator.h"

namespace zentavo {

// Caller modes of the add-recipients dialog.
inline constexpr std::string_view kCallerSendPage = "01";
inline constexpr std::string_view kCallerReservation = "13";

// ComboBox1 change: refills `recipients` with the members of `group` found in
// the staff grid and keeps the names read in `lastNames` (ListBox5). Shows
// the mismatch message when names and recipients differ in number.
void FillRecipients(const DataFolder& folder, std::string_view group, const Grid& staff,
                    Grid& recipients, std::vector<std::string>& lastNames, Operator& op);

// The dialog "伝達者追加": its two lists.
struct AddRecipientsDialog {
  std::vector<std::string> registered;  // "登録済職員"
  std::vector<std::string> added;       // "追加登録"
};

AddRecipientsDialog OpenAddRecipients(const Grid& staff);

// "追加": appends the selected registered names, markers and empty ones left out.
void AddToRecipientList(AddRecipientsDialog& dialog, const std::set<int>& selected);

// "設定": writes the added names' staff rows into the target grid (the send
// page's for caller mode "01", else the reservation editor's) from its first
// row without a name. Returns true when the dialog closes.
bool SetAddedRecipients(const AddRecipientsDialog& dialog, std::string_view callerMode,
                        const Grid& staff, Grid& sendRecipients, Grid& reserveRecipients,
                        std::vector<std::string>& lastNames, Operator& op);

}  // namespace zentavo
