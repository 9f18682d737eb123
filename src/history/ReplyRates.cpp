#include "history/ReplyRates.h"

#include <sys/stat.h>

#include <unordered_map>

#include "base/DiagnosticLog.h"
#include "history/ReplyLogs.h"
#include "history/TransmissionLogs.h"
#include "store/LineCipher.h"
#include "store/StoredFile.h"
#include "store/TextFile.h"

namespace zentavo {
namespace fs = std::filesystem;

namespace {

// What a recipient log looked like when it was counted. Every rewrite goes
// through a new file, and recording a reply always lengthens a line, so a
// change shows in one or the other.
struct Stamp {
  long long size = -1;
  long long mtime = 0;  // nanoseconds
  bool operator==(const Stamp&) const = default;
};

struct Counted {
  Stamp stamp;
  int replied = 0;
  int total = -1;  // -1: the log could be read only in part
};

std::optional<Stamp> StampOf(const fs::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return Stamp{static_cast<long long>(st.st_size),
               static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

Counted Count(const fs::path& log, const Stamp& stamp) {
  Counted counted{stamp};
  const StoredFile file = ReadStoredFile(log);
  if (file.result != ReadResult::Whole) return counted;
  counted.total = 0;
  for (size_t i = 1; i < file.lines.size(); ++i) {
    const RecipientLine line = CutRecipientLine(file.lines[i]);
    if (line.name.empty()) continue;  // the status lists leave such rows out too
    ++counted.total;
    if (HasReplied(line)) ++counted.replied;
  }
  return counted;
}

// Reads the counts file as far as it makes sense: it is only a copy of what
// the logs say, so a damaged line is simply counted again (and the file is
// read with the plain reader, which leaves it free to be rewritten).
std::unordered_map<std::string, Counted> ReadCounts(const fs::path& file) {
  std::unordered_map<std::string, Counted> counts;
  std::vector<std::string> stored;
  try {
    stored = ReadTextLines(file);
  } catch (const FileError&) { return counts; }
  for (const auto& line : stored) {
    std::string plain;
    try {
      plain = DecryptLine(line);
    } catch (const std::exception&) { continue; }
    long long numbers[4];
    size_t start = 0;
    bool whole = true;
    for (long long& n : numbers) {
      const size_t comma = plain.find(',', start);
      if (comma == std::string::npos) {
        whole = false;
        break;
      }
      try {
        n = std::stoll(plain.substr(start, comma - start));
      } catch (const std::exception&) {
        whole = false;
        break;
      }
      start = comma + 1;
    }
    if (!whole) continue;
    counts[plain.substr(start)] = {
        {numbers[0], numbers[1]}, static_cast<int>(numbers[2]), static_cast<int>(numbers[3])};
  }
  return counts;
}

std::string CountLine(const std::string& key, const Counted& c) {
  return std::to_string(c.stamp.size) + "," + std::to_string(c.stamp.mtime) + "," + std::to_string(c.replied) + "," +
         std::to_string(c.total) + "," + key;
}

}  // namespace

std::string FormatReplyRate(const ReplyRate& rate) {
  return std::to_string(rate.replied) + "/" + std::to_string(rate.total);
}

std::vector<std::optional<ReplyRate>> ReplyRates(const DataFolder& folder, const std::vector<std::string>& keys) {
  const fs::path countsFile = folder.Path(kLogDir) / std::string(kReplyRatesFile);
  const std::unordered_map<std::string, Counted> known = ReadCounts(countsFile);
  std::vector<std::optional<Counted>> counts(keys.size());
  std::vector<size_t> stale;
  for (size_t i = 0; i < keys.size(); ++i) {
    const std::optional<Stamp> stamp = StampOf(LogFilePath(folder, "1_", keys[i]));
    if (!stamp) continue;  // no recipient log: no rate
    const auto found = known.find(keys[i]);
    if (found != known.end() && found->second.stamp == *stamp) {
      counts[i] = found->second;
    } else {
      counts[i] = Counted{*stamp};
      stale.push_back(i);
    }
  }
  // The first opening (after an update, or with the counts file lost)
  // counts every log.
  ForEachLog(stale.size(), [&](size_t at) {
    const size_t i = stale[at];
    counts[i] = Count(LogFilePath(folder, "1_", keys[i]), counts[i]->stamp);
  });

  std::vector<std::optional<ReplyRate>> rates(keys.size());
  std::vector<std::string> lines;
  lines.reserve(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    if (!counts[i]) continue;
    if (counts[i]->total >= 0) rates[i] = ReplyRate{counts[i]->replied, counts[i]->total};
    lines.push_back(CountLine(keys[i], *counts[i]));
  }
  // Counts of notices no longer listed go too.
  if (stale.empty() && lines.size() == known.size()) return rates;
  try {
    WriteStoredFile(countsFile, lines);
  } catch (const std::exception& e) { LogDiagnostic(std::string("the reply counts could not be kept: ") + e.what()); }
  return rates;
}

}  // namespace zentavo
