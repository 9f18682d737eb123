// Printing into a PDF read back with pdftotext, and the windows that print:
// the body window's edit switch and saving, the reply status window's lists.
#include <QtWidgets>
#include <QTest>

#include "support/TestSupport.h"
#include "ui/BodyWindow.h"
#include "ui/Printing.h"
#include "ui/QtText.h"
#include "ui/ReplyStatusWindow.h"

using namespace zentavo;

// pdftotext keeps leading blanks but closes up runs of blanks inside a line,
// so the lines printed here have none; the PDF gives some ideographs as
// their look-alike radicals, which NFKC folds back on both sides.
static QString Folded(const QString& text) {
  return text.normalized(QString::NormalizationForm_KC).remove(QRegularExpression("\f| +(?=\n|$)|\\s+$"));
}

class PrintingTest : public QObject {
  Q_OBJECT
  test::TempFolder dir;
  const QString pdf = QString::fromStdString((dir / "printed.pdf").string());
  QString Printed() {
    QProcess::execute("pdftotext", {"-layout", pdf, pdf + ".txt"});
    return Folded(QString::fromStdString(test::ReadFile((pdf + ".txt").toStdString())));
  }

 private slots:
  void init() { ui::SetPrinterSource([this] { auto p = std::make_unique<QPrinter>(); p->setOutputFileName(pdf); return p; }); }

  // Many lines take pages; a missing printer and a failing one are told
  // apart; nothing to print does not even look for a printer.
  void printedPagesAndWhatTheOperatorIsTold() {
    QStringList lines{"[受信] 番号：001 FROM:山田 太郎 件名:会議", " ", "      出席します。本文の一行目", "  添付：資料.pdf", QString(82, '-')};
    for (int i = 1; i <= 150; ++i) lines << QStringLiteral("行 %1 ｶﾅ").arg(i);
    test::ScriptedOperator op;
    ui::PrintLines(ui::LinesFromQ(lines.join('\n')), op);
    QCOMPARE(Printed(), Folded(lines.join('\n')));
    ui::SetPrinterSource([] { auto p = std::make_unique<QPrinter>(); p->setOutputFileName("/nonexistent/x.pdf"); return p; });
    ui::PrintLines({"x"}, op);
    ui::SetPrinterSource([] { return nullptr; });
    ui::PrintLines({}, op);
    ui::PrintLines({"x"}, op);
    QCOMPARE(op.Texts(), (std::vector<std::string>{"印刷時にエラーが発生しました", "プリンタが見つかりません。プリンタの設定を確認してください。"}));
  }

  // Typing counts only while editing is allowed, and the edit is kept when
  // editing is switched off again.
  void bodyWindowEditsAndSavesShiftJis() {
    test::ScriptedOperator op;
    op.files = {dir / "body.txt"};
    ui::BodyWindow window([&op]() -> Operator& { return op; });
    window.setLines({test::S("[受信]  番号：001"), test::S("      本文")});
    for (auto* text = window.findChild<QPlainTextEdit*>("bodyText"); bool on : {true, false}) {
      window.findChild<QCheckBox*>("editAllowedCheck")->click();
      QCOMPARE(std::pair(text->isReadOnly(), text->palette().color(QPalette::Base) == Qt::white), std::pair(!on, on));
      QTest::keyClicks(text, "ok");
    }
    window.findChild<QPushButton*>("saveButton")->click();
    QCOMPARE(test::ReadFile(dir / "body.txt"), test::S("ok[受信]  番号：001\r\n      本文\r\n"));
  }

  void replyStatusWindowShowsAndPrintsItsLists() {
    Grid results(4, 2);
    results.rows[1] = {test::S("山田 太郎"), "", "", "2024/05/01 10:00:00  "};
    test::ScriptedOperator op;
    ui::ReplyStatusWindow window(ShowReplyStatus(test::S("0501_MailNo0012_会議"), results), op);
    QCOMPARE(window.findChild<QLabel*>("countLine")->text(), ui::ToQ(ShowReplyStatus("", results).countLine));
    QCOMPARE(window.findChild<QTableView*>("repliedList")->model()->index(0, 1).data(), "2024/05/01 10:00:00  ");
    window.findChild<QPushButton*>("printRepliedButton")->click();
    QCOMPARE(Printed(), Folded("<履歴> 0501_MailNo0012_会議\n \n<返信あり>\n山田 太郎,2024/05/01 10:00:00"));
  }
};

QTEST_MAIN(PrintingTest)
#include "printing_test.moc"
