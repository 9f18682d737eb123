// The MailNo counter and the three log files a notice leaves in "LOG": the
// notice log "0_" + key (the subject in Base64, the one file that is not
// enciphered), the recipient log "1_" + key (who was addressed; reply times
// are added later) and the text log "2_" + key (the body as sent). The key,
// "yyyyMMdd HHmmss_" + identifier + MailNo + "_" + subject, is how the
// history and the reply matching find a notice again.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "send/NoticeMessage.h"
#include "send/SendPage.h"
#include "store/DataFolder.h"
#include "store/Grid.h"
#include "store/Settings.h"

namespace zentavo {

inline constexpr std::string_view kLogDir = "LOG";

// After a notice went out: the MailNo box gets the last MailNo plus one (the
// number the notice carried), the last MailNo follows it, and 9999 wraps so
// that the next notice gets 1000 (box "1000", last MailNo "999"). Then the
// settings file is rewritten. The counter advances in memory even when the
// file cannot be written, so the next notice never reuses a number that has
// gone out; the result says whether the file was written. False without any
// change when the last MailNo is not a number.
bool AdvanceMailNo(Settings& settings, SendPage& page, const std::filesystem::path& settingsFile);

// "yyyyMMdd HHmmss", one per notice, shared by its three files.
std::string LogStamp(const LocalDateTime& t);

// The history key as the notice has it: stamp + "_" + identifier + MailNo +
// "_" + subject (Shift_JIS).
std::string HistoryKey(std::string_view stamp, std::string_view identifier,
                       std::string_view mailNo, std::string_view subject);

// The key as the log files are named: every "/" becomes "／" and, when the
// file name ("0_" + key, in UTF-8) would be too long for the file system,
// the subject is shortened at a character boundary. Identifier and MailNo
// always stay whole, so replies can still be matched.
std::string LogFileKey(std::string_view stamp, std::string_view identifier,
                       std::string_view mailNo, std::string_view subject);

// The longest log file name in UTF-8 bytes that can still be written
// safely (the atomic writer's temporary name is longer than the final one).
std::size_t MaxLogFileNameBytes();

// The recipient log's lines before enciphering: the header, then
// name,address,telephone for every data row with both a name and an address.
std::vector<std::string> RecipientLogLines(const Grid& recipients);

// The path of log file `prefix` ("0_", "1_", "2_") + key.
std::filesystem::path LogFilePath(const DataFolder& folder, std::string_view prefix,
                                  std::string_view key);

// Writes the three logs of a notice with the stamp of `now` and returns the
// key they are named by. The notice log holds the whole subject even when
// the key had to be shortened. Throws FileError at the first file that
// cannot be written; files written before it stay.
std::string WriteTransmissionLogs(const DataFolder& folder, std::string_view identifier,
                                  std::string_view mailNo, std::string_view subject,
                                  const Grid& recipients, const std::vector<std::string>& body,
                                  const LocalDateTime& now);

}  // namespace zentavo
