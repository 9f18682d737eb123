#include "ui/Printing.h"

#include <QPainter>
#include <QPrinterInfo>

#include "text/SjisUnicode.h"
#include "ui/QtText.h"

namespace zentavo::ui {

namespace {

std::unique_ptr<QPrinter> DefaultPrinter() {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return nullptr;
  return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

PrinterSource& Source() {
  static PrinterSource source;
  return source;
}

// A text printer's font is fixed-pitch: the monospaced face of the Japanese
// font keeps every character at one or two columns, so that indents and
// rule lines line up; the proportional face stands in where it is missing.
QFont PrintFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Noto Sans CJK JP")});
  font.setStyleHint(QFont::TypeWriter);
  font.setPointSizeF(10.5);
  return font;
}

QString PrinterName(const QPrinter& printer) {
  return printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : printer.printerName();
}

// Why a printer cannot print now, or an empty text. A stopped queue still
// takes jobs and holds them until someone starts it again: a job sent there
// now would be reported as printed and come out at some later time, if ever.
QString NotReady(const QPrinter& printer) {
  if (printer.outputFormat() != QPrinter::NativeFormat) return {};
  if (QPrinterInfo::printerInfo(printer.printerName()).state() == QPrinter::Error)
    return QStringLiteral("the printer is stopped or in error; nothing was sent");
  return {};
}

// Draws the lines page by page; the failure, or an empty text when every
// line was printed.
QString PrintOn(QPainter& painter, QPrinter& printer, const std::vector<std::string>& lines) {
  painter.setFont(PrintFont());
  const qreal step = painter.fontMetrics().lineSpacing();
  const qreal width = printer.width();
  const qreal height = printer.height();
  qreal y = 0;
  for (const auto& line : lines) {
    if (y > 0 && y + step > height) {
      if (!printer.newPage()) return QStringLiteral("could not start a new page");
      y = 0;
    }
    painter.drawText(QRectF(0, y, width, step), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs,
                     ToQ(line));
    y += step;
  }
  return {};
}

}  // namespace

void SetPrinterSource(PrinterSource source) { Source() = std::move(source); }

void PrintLines(const std::vector<std::string>& lines, Operator& op) {
  if (lines.empty()) return;
  std::unique_ptr<QPrinter> printer = Source() ? Source()() : DefaultPrinter();
  if (!printer) {
    Warn(op, Sj("プリンタが見つかりません。プリンタの設定を確認してください。"));
    return;
  }
  printer->setDocName(QStringLiteral("Zentavo"));
  QPainter painter;
  QString failure = NotReady(*printer);
  if (failure.isEmpty())
    failure = painter.begin(printer.get()) ? PrintOn(painter, *printer, lines)
                                           : QStringLiteral("could not start the print job");
  // Ending the painter ends the job and sends its pages, also after a failure.
  if (painter.isActive() && !painter.end() && failure.isEmpty())
    failure = QStringLiteral("could not end the print job");
  if (failure.isEmpty() && printer->printerState() == QPrinter::Error)
    failure = QStringLiteral("the printer reported an error");
  if (failure.isEmpty()) return;
  const QString detail = PrinterName(*printer) + QStringLiteral(": ") + failure;
  ReportFailure(op, Sj("印刷時にエラーが発生しました"), detail.toStdString());
}

}  // namespace zentavo::ui
