// A booked notice on disk: one file per reservation in "RESERVE", named
// after its moment ("yyyyMMdd HHmmss"), holding one record per line
// ("A0,date,time", "B0,group", "B1,name,address,telephone",
// "C0,identifier,MailNo,subject", "C1,body line", "D0,1,0,1"), each line
// enciphered on its own. The scheduler appends result pairs ("X0,status,"
// and "X1," + stamp + reason) after an attempt to send it.
//
// The format is shared with installations that already hold such files, so
// records are written exactly as they always were: values unquoted, one
// comma before each.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/LocalTime.h"
#include "store/DataFolder.h"

namespace zentavo {

inline constexpr std::string_view kReserveDir = "RESERVE";

// "yyyy/MM/dd" and "HH:mm:ss": the forms every date and time of a
// reservation takes. Such texts sort in the order of the moments they name,
// so moments are compared as texts.
std::string DateText(const LocalDateTime& t);
std::string TimeText(const LocalDateTime& t);

// The file name for a moment given as those texts: "yyyyMMdd HHmmss". Empty
// when either text is not of its form, so that no other name can be made.
std::string ReservationFileName(std::string_view date, std::string_view time);

// The path of reservation `fileName` in the data folder.
std::filesystem::path ReservationPath(const DataFolder& folder, std::string_view fileName);

struct ReservationRecipient {
  std::string name, address, phone;
  bool operator==(const ReservationRecipient&) const = default;
};

// One reservation as read from its file (Shift_JIS texts).
struct Reservation {
  bool scheduled = false;  // an A0 record was read
  std::string date, time;
  std::string group;
  std::vector<ReservationRecipient> recipients;
  std::string identifier, mailNo, subject;
  std::vector<std::string> body;
  bool copyToSelf = false;   // "自分宛にコピーを送る"
  bool appendGroup = false;  // "伝達内容に伝達グループ名を追加"
  bool appendNames = false;  // "伝達内容に同報伝達者名を追加"
  std::string resultStatus;  // the last X0's value, "" when the file holds none
  std::string resultDetail;  // the last X1's: stamp and reason
};

// A record cut at every comma: the tag and the first four values (missing
// ones empty, further ones dropped).
struct Record {
  std::string tag;
  std::array<std::string, 4> values;
};
Record SplitRecord(std::string_view line);

// The reservation the records describe. A later record of a tag replaces an
// earlier one, B1 and C1 add a row or line each, other tags are ignored. The
// last value of B0, B1, C0 and C1 is the rest of the line, so a subject,
// group name, body line or telephone number holding commas reads back
// whole. An option counts as on only when it is exactly "1".
Reservation ParseReservation(const std::vector<std::string>& lines);

// The plain records of a reservation, A0 to D0, without result records.
// Recipients without a name are left out.
std::vector<std::string> ReservationRecords(const Reservation& reservation);

// Replaces the file with the records, each enciphered, atomically. Throws
// FileError.
void WriteReservationFile(const std::filesystem::path& file, const Reservation& reservation);

struct ReservationFileRead {
  bool exists = false;
  bool whole = false;                    // every line was read and deciphered
  std::vector<std::string> lines;        // plain lines up to the first failure
  std::vector<std::string> afterDamage;  // what could still be deciphered after it
  std::string stored;                    // the file's bytes as read
};

// Reads and deciphers a reservation file. A line that cannot be deciphered
// ends `lines`; the reason goes to the diagnostic log.
ReservationFileRead ReadReservationFile(const std::filesystem::path& file);

// The result statuses and the reasons that go with them (Shift_JIS).
std::string NotSentStatus();    // "未送信"
std::string SentStatus();       // "送信済"
std::string AttentionStatus();  // "要注意"
std::string PassedStatus();     // "未処理": shown, never stored

// "X0," + status + "," and "X1," + "yyyy/MM/dd HH:mm:ss" of `at` + reason.
// A reason begins with an ideographic space.
std::vector<std::string> ResultPair(std::string_view status, std::string_view reason, const LocalDateTime& at);

// Writes the file as `stored` followed by `records`, each enciphered, with
// a line break first when `stored` does not end with one. What could not be
// read stays byte for byte. Atomic; throws FileError.
void AppendReservationRecords(const std::filesystem::path& file, std::string_view stored,
                              const std::vector<std::string>& records);

// What the list and the result line show for a reservation: its last result
// when it has one; "未処理" with "予約日が既に経過しました" when its day has
// passed, or with "予約時間が既に経過しました" when its moment today has come
// (the current second counts as passed); else nothing (still waiting).
struct ShownResultText {
  std::string status, detail;
};
ShownResultText ShownResult(std::string_view date, std::string_view time, std::string_view status,
                            std::string_view detail, const LocalDateTime& now);

}  // namespace zentavo
