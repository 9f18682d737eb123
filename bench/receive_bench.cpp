// Receives a whole mailbox of the test mail stack (run-receive-bench.sh puts
// 1,000 staff replies there) twice, one POP3 session each: first every
// message through PocoPop3Transport and ReadReceivedMail alone, then the
// reception run itself with the tab's first options (staff mail listed, no
// bodies shown), which also fills the received-mail list.
//
//   receive_bench HOST PORT USER PASSWORD DOMAIN PROGRAM_DIR
//
// The mailbox is USER's on a running tests/mailstack stack, whose staff
// have their addresses at DOMAIN; PROGRAM_DIR is an empty folder for the
// run's data (its temporary files).
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <tuple>

#include "receive/RunReception.h"

namespace {

using namespace zentavo;

// Nobody watches: a failure's detail is kept for the end.
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

template <typename Work>
double Seconds(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: receive_bench HOST PORT USER PASSWORD DOMAIN PROGRAM_DIR\n");
    return 2;
  }
  try {
    Settings settings;
    std::tie(settings.popHost, settings.popPort, settings.user, settings.password) =
        std::tie(argv[1], argv[2], argv[3], argv[4]);
    // In clear, as curl reads the same mailbox: the measure is of the run,
    // not of TLS.
    settings.security.pop3 = Security::None;
    auto transport = std::make_shared<PocoPop3Transport>();

    std::size_t messages = 0, bytes = 0, subjects = 0;
    const double session = Seconds([&] {
      const auto mailbox = transport->Open(Pop3AccountFor(settings));
      for (int n = 1, count = mailbox->Count(); n <= count; ++n, ++messages) {
        const std::string raw = mailbox->Retrieve(n).value_or("");
        bytes += raw.size();
        subjects += !ReadReceivedMail(raw).subject.empty();
      }
      mailbox->Quit();
    });

    // The staff who send the replies, so that each is listed as staff mail.
    Grid staff(3, 7);
    for (int r = 1; r <= 5; ++r)
      staff.rows[r] = {"staff" + std::to_string(r), "staff" + std::to_string(r) + "@" + argv[5], ""};
    const DataFolder folder(argv[6]);
    ReceptionState state;
    QuietOperator op;
    InlineStepRunner runner;
    const double run = Seconds([&] {
      RunReception({folder, settings, staff, ReceptionOptions{}, state, op, transport, runner});
    });
    if (!op.failure.empty()) throw std::runtime_error("the run failed: " + op.failure);

    std::printf("PocoPop3Transport and ReadReceivedMail: %zu messages, %zu bytes, %zu subjects read, %.3f s\n",
                messages, bytes, subjects, session);
    std::printf("RunReception: %d rows listed, %.3f s\nsession_seconds=%.6f\nrun_seconds=%.6f\nbytes=%zu\n",
                state.received.RowCount() - 2, run, session, run, bytes);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "receive_bench: %s\n", e.what());
    return 1;
  }
}
