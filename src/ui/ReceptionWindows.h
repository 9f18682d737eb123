// The windows around reception: its progress window ("返信メール確認中",
// the message being read out of how many, a bar), and the operator that
// reception talks to on real windows.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <functional>

#include "receive/RunReception.h"
#include "ui/QtOperator.h"

namespace zentavo::ui {

class ReceptionProgressWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ReceptionProgressWindow(QWidget* parent = nullptr);
  void Show(const QString& caption, int total);
  void SetCurrent(int current);

 private:
  QLabel* caption_;
  QLabel* current_;
  QLabel* total_;
  QProgressBar* bar_;
};

// Message boxes go through the window's operator (whatever answers for the
// window: the boxes, or a test's script); the progress window is its own.
class QtReceptionOperator : public ReceptionOperator {
 public:
  QtReceptionOperator(QWidget* window, std::function<Operator&()> boxes) : window_(window), boxes_(std::move(boxes)) {}
  ~QtReceptionOperator() override { delete progress_.data(); }

  MsgAnswer Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                    std::string_view detail) override {
    return boxes_().Message(caption, text, icon, buttons, detail);
  }
  void Progress(std::string_view) override {}
  std::optional<std::filesystem::path> ChooseOpenFile(const FileChoice& c) override {
    return boxes_().ChooseOpenFile(c);
  }
  std::optional<std::filesystem::path> ChooseSaveFile(const FileChoice& c) override {
    return boxes_().ChooseSaveFile(c);
  }
  void ShowProgress(std::string_view caption, int total) override;
  void SetProgress(int current) override;
  void CloseProgress() override;

 private:
  QPointer<QWidget> window_;
  std::function<Operator&()> boxes_;
  QPointer<ReceptionProgressWindow> progress_;
};

}  // namespace zentavo::ui
