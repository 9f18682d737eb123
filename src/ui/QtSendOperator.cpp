#include "ui/QtSendOperator.h"

#include "ui/QtText.h"

namespace zentavo::ui {

QtSendOperator::QtSendOperator(QWidget* mainWindow) : main_(mainWindow), boxes_(mainWindow) {}

QtSendOperator::~QtSendOperator() { delete progress_.data(); }

MsgAnswer QtSendOperator::Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                                  std::string_view detail) {
  return boxes_.Message(caption, text, icon, buttons, detail);
}

void QtSendOperator::Progress(std::string_view text) {
  if (progress_) progress_->setProgress(ToQ(std::string(text)));
}

std::optional<std::filesystem::path> QtSendOperator::ChooseOpenFile(const FileChoice& choice) {
  return boxes_.ChooseOpenFile(choice);
}

std::optional<std::filesystem::path> QtSendOperator::ChooseSaveFile(const FileChoice& choice) {
  return boxes_.ChooseSaveFile(choice);
}

void QtSendOperator::SendRunStarted() {}

void QtSendOperator::SendRunEnded() { CloseProgressWindow(); }

void QtSendOperator::ShowProgressWindow() {
  if (!progress_) progress_ = new SendProgressWindow(main_);
  progress_->setProgress(QStringLiteral("処理を開始しました"));
  if (main_) progress_->move(main_->geometry().center() - progress_->rect().center());
  progress_->show();
}

void QtSendOperator::CloseProgressWindow() {
  if (progress_) progress_->hide();
}

bool QtSendOperator::ConfirmSplit(const SplitVerdict& verdict) {
  SplitConfirmWindow window(verdict, main_);
  return window.exec() == QDialog::Accepted;
}

void QtSendOperator::ShowUnregistered(const std::vector<UnregisteredRow>& rows) {
  const bool wasVisible = main_ && main_->isVisible();
  if (wasVisible) main_->hide();
  UnregisteredWindow window(rows, nullptr);
  window.exec();
  if (wasVisible) main_->show();
}

}  // namespace zentavo::ui
