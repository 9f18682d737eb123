// The operator of a benchmark: nobody watches, and a failure's detail is
// kept for the end.
#pragma once

#include "receive/RunReception.h"

namespace zentavo {

struct QuietOperator : ReceptionOperator {
  MsgAnswer Message(std::string_view, std::string_view, MsgIcon, MsgButtons, std::string_view detail) override {
    failure = detail;
    return MsgAnswer::Ok;
  }
  void Progress(std::string_view) override {}
  std::optional<std::filesystem::path> ChooseOpenFile(const FileChoice&) override { return {}; }
  std::optional<std::filesystem::path> ChooseSaveFile(const FileChoice&) override { return {}; }
  void ShowProgress(std::string_view, int) override {}
  void SetProgress(int) override {}
  void CloseProgress() override {}
  std::string failure;
};

}  // namespace zentavo
