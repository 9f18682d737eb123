#include "ui/QtOperator.h"

#include <QFileDialog>
#include <QMessageBox>
#include <iostream>

#include "text/SjisUnicode.h"
#include "ui/QtText.h"

namespace zentavo::ui {

MsgAnswer QtOperator::Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                              std::string_view detail) {
  QMessageBox::Icon qicon = QMessageBox::Warning;
  switch (icon) {
    case MsgIcon::None: qicon = QMessageBox::NoIcon; break;
    case MsgIcon::Warning: qicon = QMessageBox::Warning; break;
    case MsgIcon::Information: qicon = QMessageBox::Information; break;
    case MsgIcon::Error: qicon = QMessageBox::Critical; break;
    case MsgIcon::Question: qicon = QMessageBox::Question; break;
  }
  // "\r" breaks the line in the program's texts.
  QString body = ToQ(std::string(text)).replace(QChar('\r'), QChar('\n'));
  QMessageBox box(qicon, ToQ(std::string(caption)), body,
                  buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent_);
  box.setObjectName(QStringLiteral("MessageBox"));
  if (!detail.empty()) box.setDetailedText(QString::fromUtf8(detail.data(), static_cast<int>(detail.size())));
  int result = box.exec();
  if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
  return result == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

void QtOperator::Progress(std::string_view) {}

QString QtFilter(const std::string& sjisFilter) {
  QString f = ToQ(sjisFilter);
  int bar = f.indexOf(QChar('|'));
  if (bar < 0) return f;
  return f.left(bar) + QStringLiteral(" (") + f.mid(bar + 1) + QStringLiteral(")");
}

std::optional<std::filesystem::path> QtOperator::ChooseOpenFile(const FileChoice& choice) {
  QString file = QFileDialog::getOpenFileName(parent_, ToQ(choice.title), QString(), QtFilter(choice.filter));
  if (file.isEmpty()) return std::nullopt;
  return std::filesystem::path(file.toStdString());
}

std::optional<std::filesystem::path> QtOperator::ChooseSaveFile(const FileChoice& choice) {
  QFileDialog dialog(parent_, ToQ(choice.title), QString(), QtFilter(choice.filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  if (!choice.defaultExt.empty()) dialog.setDefaultSuffix(ToQ(choice.defaultExt));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return std::filesystem::path(dialog.selectedFiles().first().toStdString());
}

MsgAnswer SilentOperator::Message(std::string_view caption, std::string_view text, MsgIcon, MsgButtons buttons,
                                  std::string_view detail) {
  std::cerr << "zentavo: " << SjisToUtf8(std::string(caption)) << ": " << SjisToUtf8(std::string(text));
  if (!detail.empty()) std::cerr << " (" << detail << ")";
  std::cerr << "\n";
  return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

}  // namespace zentavo::ui
