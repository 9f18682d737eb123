// Printing plain text lines as a text printer prints them: one printed line
// per text line, in order, in a fixed-pitch Japanese font so that the
// blanks that indent a body and the rule lines keep their columns, and a
// new page whenever one is full. A line wider than the page is cut at its
// edge rather than wrapped, so a printed line is always one text line.
#pragma once

#include <QPrinter>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Operator.h"

namespace zentavo::ui {

// Where printing goes: a printer ready to print on, or nullptr when the
// system has none. By default the system's default printer.
using PrinterSource = std::function<std::unique_ptr<QPrinter>()>;
// Tests print into a PDF file instead; an empty function restores the
// default printer.
void SetPrinterSource(PrinterSource source);

// Prints `lines` (Shift_JIS). No line: nothing at all. No printer: the
// operator is told to check the printer settings. A printer that is stopped
// gets no job, and a failure while printing ends the job with what was
// printed; both are reported as "印刷時にエラーが発生しました", with the
// printer and what failed as detail.
void PrintLines(const std::vector<std::string>& lines, Operator& op);

}  // namespace zentavo::ui
