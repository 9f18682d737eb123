// Reply tracking at an office's scale: 1,000 replies recorded among 2,000
// notices of 100 recipients in under a second (each log answered is read and
// rewritten once), and the start-up with 10,000 staff and the history of
// 5,000 such notices with every reply rate, as the main window opens it, in
// under a second (warm: from the kept counts; cold, after an update or with
// the counts lost, counts all).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <unistd.h>

#include <fstream>

#include "QuietOperator.h"
#include "history/RecordRepliesInLogs.h"
#include "history/RefreshHistoryList.h"
#include "history/TransmissionLogs.h"
#include "program/Lifecycle.h"
#include "store/LineCipher.h"
#include "store/StoredFile.h"

namespace {
using namespace zentavo;
namespace fs = std::filesystem;

std::string Key(int notice) {
  return "2012" + std::to_string(1000000 + notice).substr(1) + " 090000_MailNo" + std::to_string(1000 + notice) + "_x";
}

// A recipient log of 100 recipients "s0" ... without replies.
const std::string& FreshRecipientLog() {
  static const std::string log = [] {
    std::string bytes = EncryptLine("name,address,telephone,time") + "\r\n";
    for (int s = 0; s < 100; ++s) {
      const std::string name = "s" + std::to_string(s);
      bytes += EncryptLine(name + "," + name + "@example.jp,0") + "\r\n";
    }
    return bytes;
  }();
  return log;
}

struct Logs : DataFolder {
  explicit Logs(int count) : DataFolder(Temp()) {  // the logs of `count` notices
    fs::create_directory(Path(kLogDir));
    for (int i = 0; i < count; ++i) {
      std::ofstream(LogFilePath(*this, "0_", Key(i))) << "eA==\r\n";
      std::ofstream(LogFilePath(*this, "1_", Key(i))) << FreshRecipientLog();
      std::ofstream(LogFilePath(*this, "2_", Key(i))) << EncryptLine("text") << "\r\n";
    }
    ::sync();  // the measure is of the program's flushes, not of the set-up's
  }
  ~Logs() { fs::remove_all(Root()); }  // the folder goes when the program ends
  static fs::path Temp() {
    std::string root = (fs::temp_directory_path() / "zentavo-bench-XXXXXX").string();
    return mkdtemp(root.data()) ? root : throw std::runtime_error("mkdtemp failed");
  }
};

void RecordReplies(benchmark::State& state) {
  static const Logs folder(2000);
  const int answered = static_cast<int>(state.range(0));  // the newest notices, each sender once
  FoundMail received;
  for (int r = 1; r <= 1000; ++r) {
    const std::string name = "s" + std::to_string((r - 1) / answered % 100);
    received.replies.push_back(
        {name, name + "@example.jp", std::to_string(1000 + 1999 - (r - 1) % answered), "", "2012/06/01 09:00:00"});
  }
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < answered; ++i) std::ofstream(LogFilePath(folder, "1_", Key(1999 - i))) << FreshRecipientLog();
    ::sync();
    state.ResumeTiming();
    if (RecordRepliesInLogs(folder, "MailNo", received).recorded != 1000) return state.SkipWithError("missed");
  }
}
BENCHMARK(RecordReplies)->ArgName("notices")->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void StartUpWithHistory(benchmark::State& state) {
  static const Logs folder(5000);
  CreateDataDirectories(folder);
  std::vector<std::string> staff = {"name,address,telephone"};
  for (int r = 1; r <= 10000; ++r)
    staff.push_back("s" + std::to_string(r) + ",s" + std::to_string(r) + "@example.jp,0");
  WriteStoredFile(folder.Path(kStaffFile), staff);
  const bool warm = state.range(0) == 1;
  RefreshHistoryList(folder);
  for (auto _ : state) {
    if (!warm) fs::remove(folder.Path(kLogDir) / std::string(kReplyRatesFile));
    AppState app;
    app.folder = folder;
    QuietOperator op;
    StartUp(app, op);
    if (app.staff.grid.RowCount() < 10001 || RefreshHistoryList(folder).size() != 5000)
      return state.SkipWithError("not all read");
  }
}
BENCHMARK(StartUpWithHistory)->ArgName("warm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace

BENCHMARK_MAIN();
