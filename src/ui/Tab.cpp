#include "ui/Tab.h"

#include <QSignalBlocker>

#include "ui/QtText.h"

namespace zentavo::ui {

Tab::Tab(WindowContext& context, const char* objectName, const QString& caption, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QString::fromLatin1(objectName));
  setAccessibleName(caption);
}

std::string Tab::Take(QLineEdit* edit, const QString& where) {
  QString dropped;
  std::string value = FromQ(edit->text(), &dropped);
  if (!dropped.isEmpty()) {
    const QSignalBlocker block(edit);
    edit->setText(ToQ(value));
    ReportDropped(this, where, dropped);
  }
  return value;
}

void Tab::Bind(QLineEdit* edit, std::string& field, const QString& where) {
  connect(edit, &QLineEdit::textChanged, this, [this, edit, &field, where] {
    if (!showing_) field = Take(edit, where);
  });
}

void Tab::Bind(QPlainTextEdit* memo, std::vector<std::string>& lines, const QString& where) {
  connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, &lines, where] {
    if (showing_) return;
    QString dropped;
    lines = LinesFromQ(memo->toPlainText(), &dropped);
    if (!dropped.isEmpty()) {
      Show(memo, lines);
      memo->moveCursor(QTextCursor::End);
      ReportDropped(this, where, dropped);
    }
  });
}

void Tab::Show(QLineEdit* edit, const std::string& value) {
  const QString text = ToQ(value);
  if (edit->text() == text) return;
  showing_ = true;
  edit->setText(text);
  showing_ = false;
}

void Tab::Show(QPlainTextEdit* memo, const std::vector<std::string>& lines) {
  if (LinesFromQ(memo->toPlainText()) == lines) return;
  showing_ = true;
  memo->setPlainText(LinesToQ(lines));
  showing_ = false;
}

}  // namespace zentavo::ui
