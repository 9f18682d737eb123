// What became of a notice's messages beyond its three logs: the Message-ID
// of every message sent for it, so that a reply that lost its MailNo is
// still tied to the notice by the thread it answers, and the recipients
// whose mail came back undelivered ("不達"), with the status and reason the
// report gave. A file of its own, "3_" + key in "LOG" (enciphered line by
// line), so that the recipient log stays as every reader of it expects:
// its fourth field is a reply time or nothing.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "store/DataFolder.h"
#include "store/StoredFile.h"

namespace zentavo {

struct Undelivered {
  std::string address;  // as the recipient log has it
  std::string status;   // "5.1.1", "" when the report gave none
  std::string time;     // when the report came, "yyyy/MM/dd HH:mm:ss"
  std::string reason;   // the server's words (Shift_JIS)
};

struct DeliveryRecord {
  std::string identifier;  // the notice's identifier and MailNo
  std::string mailNo;
  std::vector<std::string> messageIds;  // "<...>", one per message sent
  std::vector<Undelivered> undelivered;
};

std::filesystem::path DeliveryRecordPath(const DataFolder& folder, std::string_view key);

// A missing file is an empty record.
ReadResult LoadDeliveryRecord(const std::filesystem::path& file, DeliveryRecord& record);

// The record's lines as the file holds them (before enciphering).
std::vector<std::string> DeliveryRecordLines(const DeliveryRecord& record);

// Replaces the file atomically. Throws FileError.
void SaveDeliveryRecord(const std::filesystem::path& file, const DeliveryRecord& record);

// A message of notice `key` has gone to the server: its id joins the
// record. Throws FileError.
void AddSentMessageId(const DataFolder& folder, std::string_view key, std::string_view identifier,
                      std::string_view mailNo, std::string_view messageId);

// Every notice's records, by key (Shift_JIS), for tying replies and
// reports to the notices they answer.
std::map<std::string, DeliveryRecord> LoadDeliveryRecords(const DataFolder& folder);

// The undelivered entry of `address` (compared without regard to letter
// case), or nullptr.
const Undelivered* FindUndelivered(const DeliveryRecord& record, std::string_view address);

}  // namespace zentavo
