// Stand-ins for what the send run reaches outside the core: a transport
// that records every batch (and can refuse one), an operator that records
// every call in one timeline, and a step runner that holds each step until
// the test lets it go.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "send/SendRun.h"
#include "support/TestSupport.h"

namespace zentavo::test {

// Settings complete enough for a send to reach the transport: the office's
// account on a server that FakeTransport stands in for.
Settings FakeServerSettings(const std::string& lastMailNo);

class FakeTransport : public SmtpTransport {
 public:
  struct Batch {
    SmtpAccount account;
    SmtpEnvelope envelope;
    std::string data;
  };
  SessionSecurity Send(const SmtpAccount& account, const SmtpEnvelope& envelope, const std::string& data) override;
  SessionSecurity Check(const SmtpAccount&) override { return security; }

  std::vector<Batch> batches;
  int calls = 0;
  int failAt = 0;               // the call that is refused (0: none)
  bool failHandedOver = false;  // the refusal comes after the message went over
  SessionSecurity security;     // what every session reports

  // The decoded subject of every batch delivered, in UTF-8.
  std::vector<std::string> Subjects() const;
};

class RecordingSendOperator : public SendOperator {
 public:
  MsgAnswer Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                    std::string_view detail) override;
  void Progress(std::string_view text) override;
  std::optional<std::filesystem::path> ChooseOpenFile(const FileChoice& c) override { return script.ChooseOpenFile(c); }
  std::optional<std::filesystem::path> ChooseSaveFile(const FileChoice& c) override { return script.ChooseSaveFile(c); }
  void SendRunStarted() override { events.push_back("started"); }
  void SendRunEnded() override { events.push_back("ended"); }
  void ShowProgressWindow() override { events.push_back("window open"); }
  void CloseProgressWindow() override { events.push_back("window closed"); }
  bool ConfirmSplit(const SplitVerdict& verdict) override;
  void ShowUnregistered(const std::vector<UnregisteredRow>& rows) override;

  ScriptedOperator script;
  std::vector<std::string> events;  // UTF-8
  std::vector<SplitVerdict> verdicts;
  std::vector<std::vector<UnregisteredRow>> unregistered;
  bool splitAnswer = true;
};

class HeldRunner : public StepRunner {
 public:
  void Start(std::function<void()> work, std::function<void()> done) override {
    pending.emplace_back(std::move(work), std::move(done));
  }
  void After(int, std::function<void()> done) override {
    pending.emplace_back([] {}, std::move(done));
  }
  void Drain() override { ReleaseAll(); }
  // Runs the oldest held step; false when none is held.
  bool ReleaseOne();
  // Runs every held step, also those that released steps add.
  void ReleaseAll() {
    while (ReleaseOne()) {}
  }
  std::vector<std::pair<std::function<void()>, std::function<void()>>> pending;
};

}  // namespace zentavo::test
