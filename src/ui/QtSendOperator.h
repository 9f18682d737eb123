// The send run's operator on real windows: message boxes through
// QtOperator, the progress window, "分割送信" and "未送信".
#pragma once

#include <QPointer>
#include <functional>

#include "send/SendRun.h"
#include "ui/QtOperator.h"
#include "ui/SendWindows.h"

namespace zentavo::ui {

class QtSendOperator : public SendOperator {
 public:
  explicit QtSendOperator(QWidget* mainWindow);
  ~QtSendOperator() override;

  MsgAnswer Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                    std::string_view detail) override;
  void Progress(std::string_view text) override;
  std::optional<std::filesystem::path> ChooseOpenFile(const FileChoice& choice) override;
  std::optional<std::filesystem::path> ChooseSaveFile(const FileChoice& choice) override;

  void SendRunStarted() override;
  void SendRunEnded() override;
  void ShowProgressWindow() override;
  void CloseProgressWindow() override;
  bool ConfirmSplit(const SplitVerdict& verdict) override;
  void ShowUnregistered(const std::vector<UnregisteredRow>& rows) override;

  SendProgressWindow* progressWindow() const { return progress_; }

 private:
  QPointer<QWidget> main_;
  QtOperator boxes_;
  QPointer<SendProgressWindow> progress_;
};

}  // namespace zentavo::ui
