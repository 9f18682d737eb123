// The reservation editor "送信予約": the list of booked notices with their
// results, and the input area in which a notice is booked, loaded back for
// editing, or deleted. The list is also what the scheduler compares with the
// clock, so it lives for the whole session, shown or not.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "base/Grid.h"
#include "base/LocalTime.h"
#include "base/Operator.h"
#include "reserve/ReservationFile.h"
#include "store/DataFolder.h"
#include "store/SendPage.h"
#include "store/Settings.h"

namespace zentavo {

// The columns of the reservation list.
enum ReservationColumn {
  kReservationDateColumn = 0,     // "予約日"
  kReservationTimeColumn = 1,     // "時間"
  kReservationGroupColumn = 2,    // "グループ名"
  kReservationSubjectColumn = 3,  // "伝達件名": identifier + MailNo + "_" + subject
  kReservationOption1Column = 4,  // "1", "2", "3": "1" or "0"
  kReservationResultColumn = 7,   // "送信結果"
  kReservationDetailColumn = 8,   // the result's stamp and reason
  kReservationColumnCount = 9,
};

// The input area: the notice being booked.
struct ReservationInput {
  std::string date;        // "送信予約日", "yyyy/MM/dd"
  std::string time;        // "送信時間", "HH:mm:ss"
  std::string group;       // "グループ名" (read-only)
  std::string identifier;  // "識別" (read-only)
  std::string mailNo;      // "ＭａｉｌＮｏ" (read-only): set by registering or loading
  std::string subject;     // "件名"
  bool copyToSelf = false;
  bool appendGroup = false;
  bool appendNames = false;
  Grid recipients{3, 30};  // name, address, telephone
  std::vector<std::string> body;
};

struct ReservationEditor {
  ReservationEditor();
  Grid list;  // header row, then one row per reservation (one empty row when none)
  ReservationInput input;
  bool deleteWhenSent = false;  // "正常送信時は予約リストから削除する": off at every start
  std::string resultLine;       // "結果詳細" of the reservation loaded last
};

// True when the list holds a reservation ("削除" can be offered).
bool HasReservations(const ReservationEditor& editor);

// Fills the list from the files in "RESERVE", sorted by date and time. A
// file without a moment (no A0 record) is not listed. A reservation without
// a result whose moment has passed shows "未処理" and why.
void LoadReservationList(const DataFolder& folder, ReservationEditor& editor, const LocalDateTime& now);

// Opening the editor: the list is read again and the input area starts from
// the notice on the send page, to be booked at the current moment.
void ShowReservationEditor(ReservationEditor& editor, const DataFolder& folder, const Settings& settings,
                           const SendPage& page, const Grid& sendRecipients, const LocalDateTime& now);

enum class Booking { Refused, New, Overwritten };

// "予約登録": checks the input, refuses a second reservation in the same
// minute of the same day, then books: a new reservation takes the next
// MailNo (and the settings file keeps it), a reservation for a moment already
// booked replaces that one and keeps its MailNo. Tells the operator either
// way. Nothing is listed when the file could not be written.
Booking RegisterReservation(ReservationEditor& editor, const DataFolder& folder, Settings& settings, Operator& op,
                            const LocalDateTime& now);

// A double click on list row `row`: the reservation's file fills the input
// area (as far as it can be read) and the result line tells its result.
void LoadReservationIntoEditor(ReservationEditor& editor, const DataFolder& folder, int row, const LocalDateTime& now);

// "削除": the files of the chosen rows are deleted without asking and the
// rows leave the list.
void DeleteReservation(ReservationEditor& editor, const DataFolder& folder, const std::set<int>& rows);

}  // namespace zentavo
