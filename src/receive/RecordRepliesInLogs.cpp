#include "receive/RecordRepliesInLogs.h"

#include <algorithm>
#include <map>
#include <string>
#include <unordered_map>

#include "receive/ReceivedList.h"
#include "receive/ReplyLogs.h"
#include "store/DiagnosticLog.h"
#include "store/StoredFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

namespace {

// The replies to one MailNo: for each sender, the time of the reply nearest
// the top of the list.
struct Replies {
  std::string mailNo;
  std::unordered_map<std::string, std::string> firstTime;
};

std::vector<Replies> RepliesByMailNo(const Grid& received) {
  std::vector<Replies> byMailNo;
  std::unordered_map<std::string, size_t> index;
  for (int r = 1; r < received.RowCount(); ++r) {
    const std::string& mailNo = received.Cell(kMailNoColumn, r);
    const std::string& time = received.Cell(kDateColumn, r);
    // A message without a date has no time to record; a later reply of the
    // same sender may still have one.
    if (mailNo.empty() || time.empty()) continue;
    const auto [at, fresh] = index.emplace(mailNo, byMailNo.size());
    if (fresh) byMailNo.push_back({mailNo, {}});
    byMailNo[at->second].firstTime.emplace(received.Cell(kSenderColumn, r), time);
  }
  return byMailNo;
}

struct LogReplies {
  fs::path log;
  std::vector<const Replies*> replies;
  int recorded = 0;
  bool partlyRead = false;
};

// Writes the replies of every MailNo that leads to this log; MailNos that
// appeared earlier in the list come first, as when the list is walked row
// by row.
void RecordInLog(LogReplies& to) {
  const fs::path& log = to.log;
  StoredFile file = ReadStoredFile(log);
  to.partlyRead = file.result == ReadResult::Partial;
  if (file.result != ReadResult::Whole) return;
  int recorded = 0;
  for (size_t i = 1; i < file.lines.size(); ++i) {
    RecipientLine line = CutRecipientLine(file.lines[i]);
    if (!line.replyTime.empty()) continue;  // only the first reply counts
    for (const Replies* replies : to.replies) {
      const auto found = replies->firstTime.find(line.name);
      if (found == replies->firstTime.end()) continue;
      line.replyTime = found->second;
      file.lines[i] = JoinRecipientLine(line);
      ++recorded;
      break;
    }
  }
  if (recorded == 0) return;
  try {
    WriteStoredFile(log, file.lines);
    to.recorded = recorded;
  } catch (const std::exception& e) {
    LogDiagnostic(std::string("reply times could not be recorded: ") + e.what());
  }
}

}  // namespace

RecordedReplies RecordRepliesInLogs(const DataFolder& folder, std::string_view identifier, const Grid& received) {
  RecordedReplies result;
  const std::vector<Replies> byMailNo = RepliesByMailNo(received);
  if (byMailNo.empty()) return result;

  // Newest first. Only the file names are searched: the folder above could
  // hold an identifier and a number of its own.
  std::vector<fs::path> logs = ListReplyLogs(folder);
  std::reverse(logs.begin(), logs.end());
  std::vector<std::string> names;
  names.reserve(logs.size());
  for (const auto& log : logs) names.push_back(LowerAscii(log.filename().string()));

  std::map<size_t, LogReplies> byLog;
  for (const Replies& replies : byMailNo) {
    const std::string wanted = LowerAscii(SjisToUtf8(std::string(identifier) + replies.mailNo));
    const auto found = std::find_if(names.begin(), names.end(),
                                    [&](const std::string& name) { return name.find(wanted) != std::string::npos; });
    if (found == names.end()) continue;
    LogReplies& log = byLog[static_cast<size_t>(found - names.begin())];
    log.log = logs[static_cast<size_t>(found - names.begin())];
    log.replies.push_back(&replies);
  }
  std::vector<LogReplies*> each;
  for (auto& [index, log] : byLog) each.push_back(&log);
  ForEachLog(each.size(), [&](size_t i) { RecordInLog(*each[i]); });
  for (const LogReplies* log : each) {
    result.recorded += log->recorded;
    if (log->partlyRead) result.partlyRead.push_back(log->log);
  }
  return result;
}

}  // namespace zentavo
