#include "ui/QtText.h"

#include <QMessageBox>

#include "text/SjisUnicode.h"

namespace zentavo::ui {

QString ToQ(const std::string& sjis) { return QString::fromStdString(SjisToUtf8(sjis)); }

QStringList ToQ(const std::vector<std::string>& sjisLines) {
  QStringList list;
  for (const auto& line : sjisLines) list << ToQ(line);
  return list;
}

std::string FromQ(const QString& text, QString* dropped) {
  SjisConversion c = Utf8ToMailSjis(text.toStdString());
  if (dropped) {
    for (const auto& d : c.dropped) *dropped += QString::fromStdString(d);
  }
  return c.text;
}

std::vector<std::string> LinesFromQ(const QString& text, QString* dropped) {
  std::vector<std::string> lines;
  if (text.isEmpty()) return lines;
  QStringList parts = text.split(QChar('\n'));
  if (parts.size() > 1 && parts.last().isEmpty()) parts.removeLast();
  for (QString part : parts) {
    if (part.endsWith(QChar('\r'))) part.chop(1);
    lines.push_back(FromQ(part, dropped));
  }
  return lines;
}

QString LinesToQ(const std::vector<std::string>& lines) { return ToQ(lines).join(QChar('\n')); }

namespace {
DropReporter& Reporter() {
  static DropReporter reporter;
  return reporter;
}
}  // namespace

void SetDropReporter(DropReporter reporter) { Reporter() = std::move(reporter); }

void ReportDropped(QWidget* parent, const QString& where, const QString& dropped) {
  if (dropped.isEmpty()) return;
  if (Reporter()) {
    Reporter()(parent, where, dropped);
    return;
  }
  QMessageBox box(
      QMessageBox::Warning, QStringLiteral("確認"),
      QStringLiteral("「%1」に入力された次の文字は保存できないため、取り除きました。\n%2").arg(where, dropped),
      QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace zentavo::ui
