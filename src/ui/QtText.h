// The window's edge: the core holds Shift_JIS bytes, Qt holds Unicode.
// Every text crosses here and nowhere else.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace zentavo::ui {

QString ToQ(const std::string& sjis);
QStringList ToQ(const std::vector<std::string>& sjisLines);

// Operator text to Shift_JIS. Characters that code page 932 cannot hold, and
// those it holds only in its user-defined area, which no mail can carry, are
// left out; `dropped` (when given) receives them.
std::string FromQ(const QString& text, QString* dropped = nullptr);

// Lines of a multi-line box as the core keeps them: split at line ends; an
// empty box has no lines, and a final line end adds no empty line.
std::vector<std::string> LinesFromQ(const QString& text, QString* dropped = nullptr);
QString LinesToQ(const std::vector<std::string>& lines);

// Tells the operator that the characters in `dropped` cannot be kept in
// `where` (a box's name) and were left out.
void ReportDropped(QWidget* parent, const QString& where, const QString& dropped);

// Tests watch the reports instead of a message box.
using DropReporter = std::function<void(QWidget*, const QString&, const QString&)>;
void SetDropReporter(DropReporter reporter);

}  // namespace zentavo::ui
