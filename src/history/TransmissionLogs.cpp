#include "history/TransmissionLogs.h"

#include "base/Base64.h"
#include "base/DiagnosticLog.h"
#include "store/Recipients.h"
#include "store/StoredFile.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

// Byte length of each Shift_JIS character, so that a cut never falls
// between the two bytes of one.
std::vector<size_t> CharacterLengths(std::string_view s) {
  std::vector<size_t> lengths;
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    const size_t n = lead && i + 1 < s.size() ? 2 : 1;
    lengths.push_back(n);
    i += n;
  }
  return lengths;
}

// "/" separates directories and so cannot stand in a file name; the
// full-width solidus reads the same to the operator. A "/" byte is never the
// second byte of a Shift_JIS character, so replacing bytes is safe.
std::string WithoutSlashes(std::string_view s) {
  static const std::string fullWidthSolidus = Sj("／");
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == '/') {
      out += fullWidthSolidus;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string LogFileName(std::string_view prefix, std::string_view key) {
  std::string name(prefix);
  name += key;
  return SjisToUtf8(name);
}

}  // namespace

std::optional<std::string> NextMailNo(std::string_view lastMailNo) {
  std::int32_t last = 0;
  if (!ParseInt32(lastMailNo, last)) return std::nullopt;
  return std::to_string(static_cast<long long>(last) + 1);
}

bool AdvanceMailNo(Settings& settings, const std::filesystem::path& settingsFile) {
  const std::optional<std::string> next = NextMailNo(settings.lastMailNo);
  if (!next) return false;
  settings.lastMailNo = *next == "9999" ? "999" : *next;
  try {
    SaveSettings(settingsFile, settings);
    return true;
  } catch (const std::exception& e) {
    LogDiagnostic(std::string("the MailNo could not be stored: ") + e.what());
    return false;
  }
}

std::string MailNoShownAfterSend(std::string_view mailNo) { return mailNo == "9999" ? "1000" : std::string(mailNo); }

std::string LogStamp(const LocalDateTime& t) {
  // The display form without its separators: "yyyyMMdd HHmmss".
  std::string stamp;
  for (char c : FormatDisplayTime(t)) {
    if (c != '/' && c != ':') stamp.push_back(c);
  }
  return stamp;
}

std::string NoticeSubject(std::string_view identifier, std::string_view mailNo, std::string_view subject) {
  std::string s(identifier);
  s += mailNo;
  s += '_';
  s += subject;
  return s;
}

std::string HistoryKey(std::string_view stamp, std::string_view identifier, std::string_view mailNo,
                       std::string_view subject) {
  std::string key(stamp);
  key += '_';
  key += NoticeSubject(identifier, mailNo, subject);
  return key;
}

std::size_t MaxLogFileNameBytes() {
  // The atomic writer's temporary name (the target's name and a suffix)
  // must fit the file system's 255 bytes as well, or the log could never be
  // written.
  constexpr std::size_t kNameMax = 255;
  return kNameMax - kTempSuffixMaxBytes;
}

std::string LogFileKey(std::string_view stamp, std::string_view identifier, std::string_view mailNo,
                       std::string_view subject) {
  const std::string head = WithoutSlashes(HistoryKey(stamp, identifier, mailNo, ""));
  const std::string tail = WithoutSlashes(subject);
  const std::size_t limit = MaxLogFileNameBytes();
  if (LogFileName("0_", head + tail).size() <= limit) return head + tail;

  // Keep as many whole characters of the subject as fit: estimate from the
  // characters' own lengths, then check the whole name, since damaged bytes
  // may convert differently alone than in company.
  std::vector<size_t> ends = {0};  // byte offsets after each character
  for (size_t n : CharacterLengths(tail)) ends.push_back(ends.back() + n);
  std::size_t used = LogFileName("0_", head).size();
  size_t k = 0;
  while (k + 1 < ends.size()) {
    const std::size_t add = SjisToUtf8(tail.substr(ends[k], ends[k + 1] - ends[k])).size();
    if (used + add > limit) break;
    used += add;
    ++k;
  }
  while (k > 0 && LogFileName("0_", head + tail.substr(0, ends[k])).size() > limit) --k;
  const size_t cut = ends[k];
  return head + tail.substr(0, cut);
}

std::vector<std::string> RecipientLogLines(const Grid& recipients) {
  // Line 1 is always the header, even from a grid whose header cells were
  // never set: the readers of the log take the first line as the header.
  std::vector<std::string> lines = {Sj("氏名,メールアドレス,電話番号,返信時間")};
  for (int r = 1; r < recipients.RowCount(); ++r) {
    const std::string& name = RecipientCell(recipients, 0, r);
    const std::string& address = RecipientCell(recipients, 1, r);
    if (name.empty() || address.empty()) continue;
    lines.push_back(name + "," + address + "," + RecipientCell(recipients, 2, r));
  }
  return lines;
}

std::filesystem::path LogFilePath(const DataFolder& folder, std::string_view prefix, std::string_view key) {
  return folder.Path(kLogDir) / std::filesystem::path(LogFileName(prefix, key));
}

std::string WriteTransmissionLogs(const DataFolder& folder, std::string_view identifier, std::string_view mailNo,
                                  std::string_view subject, const Grid& recipients,
                                  const std::vector<std::string>& body, const LocalDateTime& now) {
  const std::string key = LogFileKey(LogStamp(now), identifier, mailNo, subject);

  WriteTextLines(LogFilePath(folder, "0_", key), {EncodeBase64(subject)});

  WriteStoredFile(LogFilePath(folder, "1_", key), RecipientLogLines(recipients));

  RewriteTextLog(folder, key, body);
  return key;
}

void RewriteTextLog(const DataFolder& folder, std::string_view key, const std::vector<std::string>& body) {
  WriteStoredFile(LogFilePath(folder, "2_", key), body);
}

void RemoveTransmissionLogs(const DataFolder& folder, std::string_view key) {
  for (const char* prefix : {"0_", "1_", "2_", "3_"}) {
    std::error_code ignored;
    std::filesystem::remove(LogFilePath(folder, prefix, key), ignored);
  }
}

}  // namespace zentavo
