#include "history/RecordRepliesInLogs.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "base/DiagnosticLog.h"
#include "base/MailAddress.h"
#include "history/DeliveryRecord.h"
#include "history/ReplyLogs.h"
#include "history/TransmissionLogs.h"
#include "store/StoredFile.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

namespace {

struct LogWork {
  fs::path log;
  std::vector<const FoundReply*> replies;
  std::vector<const FoundBounce*> bounces;
  RecordedReplies done;
  std::vector<std::pair<fs::path, std::string>> writes;  // what is to be replaced, all at once
};

// The delivery record beside a recipient log.
fs::path RecordFileOf(const fs::path& log) { return log.parent_path() / ("3_" + log.filename().string().substr(2)); }

// The line of the sender's address, or else the first of their name
// without a reply; nothing when neither exists.
std::optional<std::size_t> LineFor(const std::vector<RecipientLine>& lines, const FoundReply& reply) {
  if (!reply.address.empty()) {
    for (std::size_t i = 1; i < lines.size(); ++i)
      if (NormalAddress(lines[i].address) == reply.address) return i;
  }
  for (std::size_t i = 1; i < lines.size(); ++i)
    if (lines[i].name == reply.name && lines[i].replyTime.empty()) return i;
  return std::nullopt;
}

int RecordTimes(LogWork& to, StoredFile& file) {
  std::vector<RecipientLine> lines(file.lines.size());
  for (std::size_t i = 1; i < file.lines.size(); ++i) lines[i] = CutRecipientLine(file.lines[i]);
  int recorded = 0;
  for (const FoundReply* reply : to.replies) {
    const std::optional<std::size_t> i = LineFor(lines, *reply);
    if (!i || !lines[*i].replyTime.empty()) continue;  // only the first reply counts
    lines[*i].replyTime = reply->time;
    file.lines[*i] = JoinRecipientLine(lines[*i]);
    ++recorded;
  }
  return recorded;
}

int RecordBounces(LogWork& to, const StoredFile& file) {
  if (to.bounces.empty()) return 0;
  const fs::path recordFile = RecordFileOf(to.log);
  DeliveryRecord record;
  LoadDeliveryRecord(recordFile, record);
  int marked = 0;
  for (const FoundBounce* bounce : to.bounces) {
    const std::string address = NormalAddress(bounce->address);
    const auto line = std::find_if(file.lines.begin() + 1, file.lines.end(), [&](const std::string& l) {
      return NormalAddress(CutRecipientLine(l).address) == address;
    });
    if (line == file.lines.end()) {
      LogDiagnostic("a delivery report names " + bounce->address + ", no recipient of " + to.log.filename().string());
      continue;
    }
    const std::string logged = CutRecipientLine(*line).address;
    if (FindUndelivered(record, logged)) continue;
    record.undelivered.push_back({logged, bounce->status, bounce->time, bounce->reason});
    ++marked;
  }
  if (marked > 0) to.writes.emplace_back(recordFile, StoredBytes(DeliveryRecordLines(record)));
  return marked;
}

void RecordInLog(LogWork& to) {
  StoredFile file = ReadStoredFile(to.log);
  if (file.result == ReadResult::Partial) to.done.partlyRead.push_back(to.log);
  if (file.result != ReadResult::Whole || file.lines.empty()) return;
  if (const int recorded = RecordTimes(to, file); recorded > 0) {
    to.writes.emplace_back(to.log, StoredBytes(file.lines));
    to.done.recorded = recorded;
  }
  to.done.undelivered = RecordBounces(to, file);
}

// The recipient logs, newest first, and how to find a notice among them.
class Logs {
 public:
  explicit Logs(const DataFolder& folder) : folder_(folder), paths_(ListReplyLogs(folder)) {
    std::reverse(paths_.begin(), paths_.end());
    for (const auto& path : paths_) names_.push_back(LowerAscii(path.filename().string()));
  }

  // The log of notice `key` when there is one, else the newest whose own
  // identifier + MailNo field is the one wanted.
  std::optional<std::size_t> Find(std::string_view identifier, std::string_view mailNo, std::string_view key) {
    if (!key.empty()) {
      const std::string name = LowerAscii(LogFilePath(folder_, "1_", key).filename().string());
      if (const auto at = std::find(names_.begin(), names_.end(), name); at != names_.end())
        return static_cast<std::size_t>(at - names_.begin());
    }
    if (mailNo.empty()) return std::nullopt;
    const std::string wanted = LowerAscii(SjisToUtf8(std::string(identifier) + std::string(mailNo)));
    // "1_" + send stamp + "_" + identifier + MailNo + "_" + subject: the
    // field starts after the stamp, which holds no "_".
    const auto at = std::find_if(names_.begin(), names_.end(), [&](const std::string& name) {
      const std::size_t field = name.find('_', 2) + 1;
      return field != 0 && name.size() > field + wanted.size() && name.compare(field, wanted.size(), wanted) == 0 &&
             name[field + wanted.size()] == '_';
    });
    if (at == names_.end()) return std::nullopt;
    return static_cast<std::size_t>(at - names_.begin());
  }
  const fs::path& Path(std::size_t i) const { return paths_[i]; }

 private:
  const DataFolder& folder_;
  std::vector<fs::path> paths_;
  std::vector<std::string> names_;
};

}  // namespace

RecordedReplies RecordRepliesInLogs(const DataFolder& folder, std::string_view identifier, const FoundMail& found) {
  RecordedReplies result;
  if (found.replies.empty() && found.bounces.empty()) return result;
  Logs logs(folder);
  std::map<std::size_t, LogWork> byLog;
  for (const FoundReply& reply : found.replies) {
    // A reply without a time has nothing to record; a later one of the
    // same sender may have one.
    if (reply.time.empty()) continue;
    if (const auto at = logs.Find(identifier, reply.mailNo, reply.key)) byLog[*at].replies.push_back(&reply);
  }
  for (const FoundBounce& bounce : found.bounces) {
    if (const auto at = logs.Find(identifier, bounce.mailNo, bounce.key)) byLog[*at].bounces.push_back(&bounce);
  }
  std::vector<LogWork*> each;
  for (auto& [index, work] : byLog) {
    work.log = logs.Path(index);
    each.push_back(&work);
  }
  ForEachLog(each.size(), [&](size_t i) { RecordInLog(*each[i]); });
  // Deciphering is spread over the cores; the files are then replaced in
  // one go, with one flush to disk for all of them. What could not be
  // written is not recorded.
  std::vector<std::pair<fs::path, std::string>> writes;
  for (const LogWork* work : each) writes.insert(writes.end(), work->writes.begin(), work->writes.end());
  std::set<fs::path> failed;
  for (const auto& [path, why] : WriteFilesAtomic(writes)) {
    LogDiagnostic("replies could not be recorded: " + why);
    failed.insert(path);
  }
  for (const LogWork* work : each) {
    if (!failed.contains(work->log)) result.recorded += work->done.recorded;
    if (!failed.contains(RecordFileOf(work->log))) result.undelivered += work->done.undelivered;
    result.partlyRead.insert(result.partlyRead.end(), work->done.partlyRead.begin(), work->done.partlyRead.end());
  }
  return result;
}

}  // namespace zentavo
