// The operator interface on real windows: modal message boxes and the
// standard file dialogs, all in Japanese.
#pragma once

#include <QPointer>
#include <QWidget>

#include "base/Operator.h"

namespace zentavo::ui {

class QtOperator : public Operator {
 public:
  explicit QtOperator(QWidget* parent) : parent_(parent) {}
  MsgAnswer Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                    std::string_view detail) override;
  void Progress(std::string_view text) override;
  std::optional<std::filesystem::path> ChooseOpenFile(const FileChoice& choice) override;
  std::optional<std::filesystem::path> ChooseSaveFile(const FileChoice& choice) override;

 protected:
  QWidget* parent() const { return parent_; }

 private:
  QPointer<QWidget> parent_;
};

// An operator for moments when no box may be shown (the session is ending,
// a signal asked the program to stop): messages go to standard error.
class SilentOperator : public Operator {
 public:
  MsgAnswer Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                    std::string_view detail) override;
  void Progress(std::string_view) override {}
  std::optional<std::filesystem::path> ChooseOpenFile(const FileChoice&) override { return std::nullopt; }
  std::optional<std::filesystem::path> ChooseSaveFile(const FileChoice&) override { return std::nullopt; }
};

// "CSVﾌｧｲﾙ|*.csv" -> "CSVﾌｧｲﾙ (*.csv)".
QString QtFilter(const std::string& sjisFilter);

}  // namespace zentavo::ui
