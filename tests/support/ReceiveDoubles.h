// Stand-ins for what the reception reaches outside the core: a mailbox held
// in memory that records what a session did to it (and can fail on a given
// command), and an operator that records the progress window.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "receive/RunReception.h"
#include "support/TestSupport.h"

namespace zentavo::test {

class FakePop3Transport : public Pop3Transport {
 public:
  std::unique_ptr<Mailbox> Open(const Pop3Account& account) override;

  std::vector<std::string> messages;  // the mailbox, message 1 first
  std::vector<std::string> ids;       // their unique ids; none: a server without UIDL
  std::vector<std::string> commands;  // "OPEN user", "STAT", "UIDL", "LIST", "RETR 2", "DELE 3", "QUIT"
  std::string failOn;                 // the command that breaks the session ("OPEN", "RETR 3", ...)
  std::size_t window = 1;             // RETR and DELE asked for ahead, at most (1: no PIPELINING)
};

class RecordingReceptionOperator : public ReceptionOperator {
 public:
  MsgAnswer Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                    std::string_view detail) override {
    return script.Message(caption, text, icon, buttons, detail);
  }
  void Progress(std::string_view text) override { script.Progress(text); }
  std::optional<std::filesystem::path> ChooseOpenFile(const FileChoice& c) override { return script.ChooseOpenFile(c); }
  std::optional<std::filesystem::path> ChooseSaveFile(const FileChoice& c) override { return script.ChooseSaveFile(c); }
  void ShowProgress(std::string_view caption, int total) override {
    captions.push_back(U(std::string(caption)) + " " + std::to_string(total));
  }
  void SetProgress(int current) override { positions.push_back(current); }
  void CloseProgress() override { captions.push_back("closed"); }

  ScriptedOperator script;
  std::vector<std::string> captions;  // UTF-8 caption and total, "closed"
  std::vector<int> positions;
};

}  // namespace zentavo::test
