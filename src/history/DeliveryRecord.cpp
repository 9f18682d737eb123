#include "history/DeliveryRecord.h"
#include "text/Ascii.h"

#include <algorithm>

#include "base/DiagnosticLog.h"
#include "history/TransmissionLogs.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPrefix = "3_";

// Records are tab-separated: "I", identifier, MailNo; "M", message id;
// "U", address, status, time, reason (the reason last, since it is the
// server's text). No field holds a tab or a line end.
std::string Field(std::string_view text) {
  std::string out(text);
  std::replace_if(
      out.begin(), out.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

}  // namespace

fs::path DeliveryRecordPath(const DataFolder& folder, std::string_view key) {
  return LogFilePath(folder, kPrefix, key);
}

ReadResult LoadDeliveryRecord(const fs::path& file, DeliveryRecord& record) {
  const StoredFile read = ReadStoredFile(file);
  record = {};
  for (const std::string& line : read.lines) {
    const std::vector<std::string_view> f = Fields(line);
    if (f[0] == "I" && f.size() >= 3) {
      record.identifier = f[1];
      record.mailNo = f[2];
    } else if (f[0] == "M" && f.size() >= 2) {
      record.messageIds.emplace_back(f[1]);
    } else if (f[0] == "U" && f.size() >= 5) {
      record.undelivered.push_back({std::string(f[1]), std::string(f[2]), std::string(f[3]), std::string(f[4])});
    }
  }
  return read.result;
}

void SaveDeliveryRecord(const fs::path& file, const DeliveryRecord& record) {
  WriteStoredFile(file, DeliveryRecordLines(record));
}

std::vector<std::string> DeliveryRecordLines(const DeliveryRecord& record) {
  std::vector<std::string> lines{"I\t" + Field(record.identifier) + "\t" + Field(record.mailNo)};
  for (const auto& id : record.messageIds) lines.push_back("M\t" + Field(id));
  for (const auto& u : record.undelivered)
    lines.push_back("U\t" + Field(u.address) + "\t" + Field(u.status) + "\t" + Field(u.time) + "\t" + Field(u.reason));
  return lines;
}

void AddSentMessageId(const DataFolder& folder, std::string_view key, std::string_view identifier,
                      std::string_view mailNo, std::string_view messageId) {
  const fs::path file = DeliveryRecordPath(folder, key);
  DeliveryRecord record;
  // A record read only in part is protected: the writer refuses it.
  LoadDeliveryRecord(file, record);
  record.identifier = identifier;
  record.mailNo = mailNo;
  record.messageIds.emplace_back(messageId);
  SaveDeliveryRecord(file, record);
}

std::map<std::string, DeliveryRecord> LoadDeliveryRecords(const DataFolder& folder) {
  std::map<std::string, DeliveryRecord> records;
  std::error_code ec;
  for (fs::directory_iterator it(folder.Path(kLogDir), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with(kPrefix) || IsTempFileName(name)) continue;
    LoadDeliveryRecord(it->path(), records[Utf8ToSjis(name.substr(kPrefix.size())).text]);
  }
  return records;
}

const Undelivered* FindUndelivered(const DeliveryRecord& record, std::string_view address) {
  for (const auto& u : record.undelivered)
    if (EqualIgnoringCase(u.address, address)) return &u;
  return nullptr;
}

}  // namespace zentavo
