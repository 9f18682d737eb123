// The staff list: name, mail address and telephone of every member of staff,
// kept in the staff grid, stored enciphered in "SYOKUIN/name" and exchanged
// with other tools as a plain CSV file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "base/Operator.h"
#include "store/StoredFile.h"

namespace zentavo {

struct StaffList {
  Grid grid{3, 30};            // name, address, telephone
  std::filesystem::path path;  // the file LoadStaff and SaveStaff use
  bool enciphered = true;      // false while the path is a plain CSV file
};

// "氏名", "メールアドレス", "電話番号" (Shift_JIS): the header of the staff grid
// and of every recipient grid.
const std::vector<std::string>& StaffHeader();

// Reads the file at `staff.path` into the grid, replacing its content. A
// missing file leaves the grid empty without a word (the first start has
// none yet). A damaged line or an unreadable file: "職員読込に失敗しました"
// naming the file, what was read stays, and the file is protected from
// being written back shorter.
ReadResult LoadStaff(StaffList& staff, Operator& op);

// Writes the grid's non-empty rows, header first. On failure:
// "職員出力に失敗しました" and false; the old file is left whole.
bool SaveStaff(const StaffList& staff, Operator& op);

// "CSV読込": asks, lets the operator pick a file and loads it unenciphered.
void ImportStaffCsv(StaffList& staff, Operator& op);

// "CSV出力": lets the operator pick a name and writes the grid there as CSV
// (the extension becomes ".csv").
void ExportStaffCsv(StaffList& staff, Operator& op);

// Names of the staff grid's data rows with a non-empty name, in grid order.
std::vector<std::string> StaffNames(const Grid& staff);

// The staff registration dialog's "登録" (a sender of received mail added
// to the list). Returns true when the dialog closes (added, or refused
// because the name or address is taken), false when it stays open (no name
// entered).
bool RegisterStaff(Grid& staff, std::string_view name, std::string_view address, std::string_view telephone,
                   Operator& op);

// Splits a comma record into exactly `count` fields (missing ones empty,
// further ones dropped). No quoting: every comma splits.
std::vector<std::string> SplitRecord(std::string_view line, size_t count);

}  // namespace zentavo
