// The MailNo counter and the three log files a notice leaves in "LOG": the
// notice log "0_" + key (the subject in Base64, the one file that is not
// enciphered), the recipient log "1_" + key (who was addressed; reply times
// are added later) and the text log "2_" + key (the body as sent). The key,
// "yyyyMMdd HHmmss_" + identifier + MailNo + "_" + subject, is how the
// history and the reply matching find a notice again.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Grid.h"
#include "base/LocalTime.h"
#include "store/DataFolder.h"
#include "store/SendPage.h"
#include "store/Settings.h"

namespace zentavo {

inline constexpr std::string_view kLogDir = "LOG";

// The MailNo the next notice carries: the last MailNo plus one, in decimal.
// Nothing when the last MailNo is not a number.
std::optional<std::string> NextMailNo(std::string_view lastMailNo);

// Takes the next MailNo for good: the last MailNo becomes it, and after 9999
// becomes "999" so that the next notice gets 1000. Then the settings file is
// rewritten. The counter advances in memory even when the file cannot be
// written, so this session never reuses a number; the result says whether
// the file was written. False without any change when the last MailNo is
// not a number.
bool AdvanceMailNo(Settings& settings, const std::filesystem::path& settingsFile);

// What the MailNo box shows once notice `mailNo` went out: the number
// itself, or "1000" after 9999, the number the next notice will carry.
std::string MailNoShownAfterSend(std::string_view mailNo);

// identifier + MailNo + "_" + subject, nothing between them: the subject
// every message of a notice carries, and its key after the send stamp.
std::string NoticeSubject(std::string_view identifier, std::string_view mailNo, std::string_view subject);

// "yyyyMMdd HHmmss", one per notice, shared by its three files.
std::string LogStamp(const LocalDateTime& t);

// The history key as the notice has it: stamp + "_" + identifier + MailNo +
// "_" + subject (Shift_JIS).
std::string HistoryKey(std::string_view stamp, std::string_view identifier, std::string_view mailNo,
                       std::string_view subject);

// The key as the log files are named: every "/" becomes "／" and, when the
// file name ("0_" + key, in UTF-8) would be too long for the file system,
// the subject is shortened at a character boundary. Identifier and MailNo
// always stay whole, so replies can still be matched.
std::string LogFileKey(std::string_view stamp, std::string_view identifier, std::string_view mailNo,
                       std::string_view subject);

// The longest log file name in UTF-8 bytes that can still be written
// safely (the atomic writer's temporary name is longer than the final one).
std::size_t MaxLogFileNameBytes();

// The recipient log's lines before enciphering: the header, then
// name,address,telephone for every data row with both a name and an address.
std::vector<std::string> RecipientLogLines(const Grid& recipients);

// The path of log file `prefix` ("0_", "1_", "2_") + key.
std::filesystem::path LogFilePath(const DataFolder& folder, std::string_view prefix, std::string_view key);

// Writes the three logs of a notice with the stamp of `now` and returns the
// key they are named by. The notice log holds the whole subject even when
// the key had to be shortened. Throws FileError at the first file that
// cannot be written; files written before it stay.
std::string WriteTransmissionLogs(const DataFolder& folder, std::string_view identifier, std::string_view mailNo,
                                  std::string_view subject, const Grid& recipients,
                                  const std::vector<std::string>& body, const LocalDateTime& now);

// Replaces the text log of notice `key` with `body` (the text as sent once
// the last batch went out). Throws FileError.
void RewriteTextLog(const DataFolder& folder, std::string_view key, const std::vector<std::string>& body);

// Removes the three logs of notice `key` and its delivery record (a notice
// of which nothing went out, or one deleted from the history); failures are
// ignored.
void RemoveTransmissionLogs(const DataFolder& folder, std::string_view key);

}  // namespace zentavo
