// Texts that leave the program from the reception windows: a list of the
// reply status window as printed lines, and a body or a list saved to a
// file the operator picks. The windows only hand these to the printer or
// the disk.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "base/Operator.h"

namespace zentavo {

// The printed lines of one list of the reply status window (a two-column
// grid, its data rows in the order shown): `top` (the window's top panel),
// a line of one blank, `heading`, then every data row as
// "column 0,column 1". No lines when the first data row is empty, so that
// nothing is printed.
std::vector<std::string> ReplyListPrintLines(std::string_view top, std::string_view heading, const Grid& list);

// "ﾌｧｲﾙ保存" of a body: nothing when it has no line; otherwise the save
// dialog "受信本文保存" for a ".txt" file, and the lines written as they
// are (Shift_JIS, each ended by CR LF), replacing the file whole. A failure
// is reported.
void SaveBody(const std::vector<std::string>& lines, Operator& op);

// "CSV保存" of a list of the reply status window: nothing when the list is
// empty, as for printing; otherwise the list as CSV with its status column
// (GridCsv, in the order
// shown) through the dialog "返信状況保存" for a ".csv" file, saved like a
// body.
void SaveReplyList(const Grid& list, std::string_view status, Operator& op);

}  // namespace zentavo
