// The mail sessions over a long network path: the program's sending and its
// reception run through a relay that holds every chunk a while each way
// (tests/support/RecordingRelay), against the test mail stack.
// run-network-bench.sh sets the stack up and runs these in turn.
//
//   network_bench relay HOST PORT DELAY_MS PORT_FILE
//       relays to HOST:PORT until killed; its own port goes to PORT_FILE
//   network_bench send HOST PORT USER PASSWORD FROM DIR
//       every DIR/N.eml to the recipients listed in DIR/N.rcpt, one SMTP
//       session each, as the send run sends a notice's batches
//   network_bench receive HOST PORT USER PASSWORD DOMAIN PROGRAM_DIR [bodies]
//       the reception run over USER's mailbox, whose staff1 to staff5 write
//       from DOMAIN, with the tab's first options (or "本文表示" on): its
//       time, the rows listed and the process's peak memory
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "QuietOperator.h"
#include "net/SmtpTransport.h"
#include "receive/RunReception.h"
#include "support/RecordingRelay.h"

namespace {

using namespace zentavo;

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Send(char** argv) {
  std::vector<std::pair<SmtpEnvelope, std::string>> mails;  // all read before the clock starts
  std::set<std::filesystem::path> names;
  for (const auto& entry : std::filesystem::directory_iterator(argv[7]))
    if (entry.path().extension() == ".eml") names.insert(entry.path());
  for (std::filesystem::path name : names) {
    std::ifstream eml(name, std::ios::binary), rcpt(name.replace_extension(".rcpt"));
    auto& [envelope, data] = mails.emplace_back(SmtpEnvelope{argv[6], {}}, std::string());
    data.assign(std::istreambuf_iterator<char>(eml), {});
    for (std::string to; std::getline(rcpt, to);) envelope.recipients.push_back(to);
  }
  const SmtpAccount account{argv[2], argv[3], argv[4], argv[5], {}, nullptr};
  PocoSmtpTransport transport;
  const auto start = std::chrono::steady_clock::now();
  for (const auto& [envelope, data] : mails) transport.Send(account, envelope, data);
  std::printf("PocoSmtpTransport: %zu messages, %.3f s\nsend_seconds=%.6f\n", mails.size(), Since(start), Since(start));
  return 0;
}

int Receive(char** argv, bool bodies) {
  Settings settings;
  std::tie(settings.popHost, settings.popPort, settings.user, settings.password) =
      std::tie(argv[2], argv[3], argv[4], argv[5]);
  settings.security.pop3 = Security::None;  // as curl reads it: the measure is of the run, not of TLS
  Grid staff(3, 7);
  for (int r = 1; r <= 5; ++r)
    staff.rows[r] = {"s" + std::to_string(r), "staff" + std::to_string(r) + "@" + argv[6], ""};
  ReceptionState state;
  QuietOperator op;
  InlineStepRunner runner;
  const auto start = std::chrono::steady_clock::now();
  RunReception({DataFolder(argv[7]),
                settings,
                staff,
                {.staffBodies = bodies},
                state,
                op,
                std::make_shared<PocoPop3Transport>(),
                runner});
  const double took = Since(start);
  if (!op.failure.empty()) throw std::runtime_error("the run failed: " + op.failure);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("RunReception%s: %d rows listed, %.3f s, peak memory %ld MiB\nrun_seconds=%.6f\npeak_kib=%ld\n",
              bodies ? " with the bodies" : "", state.received.RowCount() - 2, took, usage.ru_maxrss / 1024, took,
              usage.ru_maxrss);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  try {
    if (what == "relay" && argc == 6) {
      test::RecordingRelay relay(argv[2], argv[3], {}, std::chrono::milliseconds(std::stoi(argv[4])));
      std::ofstream(argv[5]) << relay.port() << "\n";
      for (;;) pause();
    }
    if (what == "send" && argc == 8) return Send(argv);
    if (what == "receive" && argc >= 8) return Receive(argv, argc > 8);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "network_bench %s: %s\n", what.c_str(), e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: see bench/network_bench.cpp\n");
  return 2;
}
