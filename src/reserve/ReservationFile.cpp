#include "reserve/ReservationFile.h"

#include <cstdio>
#include <exception>

#include "base/DiagnosticLog.h"
#include "store/LineCipher.h"
#include "store/StoredFile.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

namespace {

bool Digits(std::string_view s, std::size_t from, std::size_t count) {
  for (std::size_t i = from; i < from + count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

bool IsDateText(std::string_view d) {
  return d.size() == 10 && Digits(d, 0, 4) && d[4] == '/' && Digits(d, 5, 2) && d[7] == '/' && Digits(d, 8, 2);
}

bool IsTimeText(std::string_view t) {
  return t.size() == 8 && Digits(t, 0, 2) && t[2] == ':' && Digits(t, 3, 2) && t[5] == ':' && Digits(t, 6, 2);
}

// The tag and `count` values of a record whose last value may hold commas:
// it runs to the end of the line.
std::vector<std::string> CutRecord(std::string_view line, std::size_t count) {
  std::vector<std::string> fields;
  while (fields.size() < count) {
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) break;
    fields.emplace_back(line.substr(0, comma));
    line.remove_prefix(comma + 1);
  }
  fields.emplace_back(line);
  fields.resize(count + 1);
  return fields;
}

std::string Flag(bool on) { return on ? "1" : "0"; }

}  // namespace

std::string DateText(const LocalDateTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d", t.year, t.month, t.day);
  return text;
}

std::string TimeText(const LocalDateTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

std::string ReservationFileName(std::string_view date, std::string_view time) {
  if (!IsDateText(date) || !IsTimeText(time)) return {};
  std::string name;
  name.append(date.substr(0, 4)).append(date.substr(5, 2)).append(date.substr(8, 2));
  name += ' ';
  name.append(time.substr(0, 2)).append(time.substr(3, 2)).append(time.substr(6, 2));
  return name;
}

fs::path ReservationPath(const DataFolder& folder, std::string_view fileName) {
  return folder.Path(kReserveDir) / fs::path(std::string(fileName));
}

Record SplitRecord(std::string_view line) {
  Record record;
  std::size_t field = 0;
  for (const char c : line) {
    if (c == ',') {
      ++field;
    } else if (field == 0) {
      record.tag += c;
    } else if (field <= 4) {
      record.values[field - 1] += c;
    }
  }
  return record;
}

Reservation ParseReservation(const std::vector<std::string>& lines) {
  Reservation r;
  for (const auto& line : lines) {
    const Record record = SplitRecord(line);
    const auto& v = record.values;
    if (record.tag == "A0") {
      r.scheduled = true;
      r.date = v[0];
      r.time = v[1];
    } else if (record.tag == "B0") {
      r.group = CutRecord(line, 1)[1];
    } else if (record.tag == "B1") {
      const auto f = CutRecord(line, 3);
      r.recipients.push_back({f[1], f[2], f[3]});
    } else if (record.tag == "C0") {
      const auto f = CutRecord(line, 3);
      r.identifier = f[1];
      r.mailNo = f[2];
      r.subject = f[3];
    } else if (record.tag == "C1") {
      r.body.push_back(CutRecord(line, 1)[1]);
    } else if (record.tag == "D0") {
      r.copyToSelf = v[0] == "1";
      r.appendGroup = v[1] == "1";
      r.appendNames = v[2] == "1";
    } else if (record.tag == "X0") {
      r.resultStatus = v[0];
    } else if (record.tag == "X1") {
      r.resultDetail = v[0];
    }
  }
  return r;
}

std::vector<std::string> ReservationRecords(const Reservation& r) {
  std::vector<std::string> lines{"A0," + r.date + "," + r.time, "B0," + r.group};
  for (const auto& to : r.recipients) {
    if (!to.name.empty()) lines.push_back("B1," + to.name + "," + to.address + "," + to.phone);
  }
  lines.push_back("C0," + r.identifier + "," + r.mailNo + "," + r.subject);
  for (const auto& line : r.body) lines.push_back("C1," + line);
  lines.push_back("D0," + Flag(r.copyToSelf) + "," + Flag(r.appendGroup) + "," + Flag(r.appendNames));
  return lines;
}

void WriteReservationFile(const fs::path& file, const Reservation& reservation) {
  WriteStoredFile(file, ReservationRecords(reservation));
}

ReservationFileRead ReadReservationFile(const fs::path& file) {
  ReservationFileRead read;
  try {
    read.stored = ReadFileBytes(file);
  } catch (const std::exception& e) {
    std::error_code ec;
    read.exists = fs::exists(file, ec) || ec;
    if (read.exists) LogDiagnostic(e.what());
    return read;
  }
  read.exists = true;
  read.whole = true;
  const std::vector<std::string> stored = SplitLines(read.stored);
  for (std::size_t i = 0; i < stored.size(); ++i) {
    try {
      (read.whole ? read.lines : read.afterDamage).push_back(DecryptLine(stored[i]));
    } catch (const std::exception& e) {
      if (read.whole) {
        LogDiagnostic(file.string() + ": line " + std::to_string(i + 1) + " cannot be deciphered (" + e.what() + ")");
      }
      read.whole = false;
    }
  }
  return read;
}

std::string NotSentStatus() { return Sj("未送信"); }
std::string SentStatus() { return Sj("送信済"); }
std::string AttentionStatus() { return Sj("要注意"); }
std::string PassedStatus() { return Sj("未処理"); }

std::vector<std::string> ResultPair(std::string_view status, std::string_view reason, const LocalDateTime& at) {
  return {"X0," + std::string(status) + ",", "X1," + FormatDisplayTime(at) + std::string(reason)};
}

void AppendReservationRecords(const fs::path& file, std::string_view stored, const std::vector<std::string>& records) {
  std::string bytes(stored);
  if (!bytes.empty() && bytes.back() != '\n') bytes += "\r\n";
  for (const auto& record : records) bytes += EncryptLine(record) + "\r\n";
  WriteFileAtomic(file, bytes);
}

ShownResultText ShownResult(std::string_view date, std::string_view time, std::string_view status,
                            std::string_view detail, const LocalDateTime& now) {
  if (!status.empty()) return {std::string(status), std::string(detail)};
  const std::string today = DateText(now);
  if (date < today) return {PassedStatus(), Sj("予約日が既に経過しました")};
  if (date == today && time <= TimeText(now)) return {PassedStatus(), Sj("予約時間が既に経過しました")};
  return {};
}

}  // namespace zentavo
