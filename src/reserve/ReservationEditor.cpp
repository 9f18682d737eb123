#include "reserve/ReservationEditor.h"

#include <algorithm>
#include <exception>
#include <tuple>

#include "base/DiagnosticLog.h"
#include "history/TransmissionLogs.h"
#include "send/SplitSend.h"
#include "store/Staff.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

namespace {

void SetListHeader(Grid& list) {
  list.SetHeader({Sj("予約日"), Sj("時間"), Sj("グループ名"), Sj("伝達件名"), "1", "2", "3", Sj("送信結果"), ""});
}

std::string Flag(bool on) { return on ? "1" : "0"; }

// The columns a reservation fills in its list row, result columns apart.
void FillRow(Grid& list, int row, const Reservation& r) {
  list.Cell(kReservationDateColumn, row) = r.date;
  list.Cell(kReservationTimeColumn, row) = r.time;
  list.Cell(kReservationGroupColumn, row) = r.group;
  list.Cell(kReservationSubjectColumn, row) = r.identifier + r.mailNo + "_" + r.subject;
  list.Cell(kReservationOption1Column, row) = Flag(r.copyToSelf);
  list.Cell(kReservationOption1Column + 1, row) = Flag(r.appendGroup);
  list.Cell(kReservationOption1Column + 2, row) = Flag(r.appendNames);
}

std::string RowFileName(const Grid& list, int row) {
  return ReservationFileName(list.Cell(kReservationDateColumn, row), list.Cell(kReservationTimeColumn, row));
}

// What the input area and a reservation say alike of a notice.
template <class To, class From>
void CopyNotice(To& to, const From& from) {
  to.group = from.group;
  to.identifier = from.identifier;
  to.mailNo = from.mailNo;
  to.subject = from.subject;
  to.body = from.body;
  to.copyToSelf = from.copyToSelf;
  to.appendGroup = from.appendGroup;
  to.appendNames = from.appendNames;
}

// The reservation the input area describes.
Reservation FromInput(const ReservationInput& in) {
  Reservation r;
  r.scheduled = true;
  r.date = in.date;
  r.time = in.time;
  CopyNotice(r, in);
  for (int row = 1; row < in.recipients.RowCount(); ++row) {
    if (RecipientCell(in.recipients, 0, row).empty()) continue;
    r.recipients.push_back({RecipientCell(in.recipients, 0, row), RecipientCell(in.recipients, 1, row),
                            RecipientCell(in.recipients, 2, row)});
  }
  return r;
}

// The first check of the input that fails, as the operator is told it.
std::string FailedBookingCheck(const ReservationInput& in, const LocalDateTime& now) {
  if (RecipientCell(in.recipients, 0, 1).empty()) return Sj("伝達者が指定されていません");
  if (in.subject.empty()) return Sj("伝達件名ががありません");
  if (in.body.empty()) return Sj("伝達本文がありません");
  const std::string today = DateText(now);
  if (in.date < today) return Sj("予約日が本日以前の指定となっています");
  if (in.date == today && in.time < TimeText(now)) return Sj("予約時間が現時点以前の指定となっています");
  return {};
}

}  // namespace

ReservationEditor::ReservationEditor() : list(kReservationColumnCount, 2) {
  SetListHeader(list);
  input.recipients.SetHeader(StaffHeader());
}

bool HasReservations(const ReservationEditor& editor) {
  return editor.list.RowCount() > 1 && !editor.list.Cell(kReservationDateColumn, 1).empty();
}

void LoadReservationList(const DataFolder& folder, ReservationEditor& editor, const LocalDateTime& now) {
  struct Listed {
    std::string fileName;
    Reservation reservation;
  };
  std::vector<Listed> listed;
  std::error_code ec;
  for (fs::directory_iterator it(folder.Path(kReserveDir), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string fileName = it->path().filename().string();
    if (!it->is_regular_file(ec) || IsTempFileName(fileName)) continue;
    const ReservationFileRead read = ReadReservationFile(it->path());
    Reservation r = ParseReservation(read.lines);
    // A result appended after a damaged line still tells what became of it.
    if (const Reservation later = ParseReservation(read.afterDamage); !later.resultStatus.empty()) {
      r.resultStatus = later.resultStatus;
      r.resultDetail = later.resultDetail;
    }
    // Without a moment there is nothing to list or send; such a file is
    // left where it is.
    if (!r.scheduled || ReservationFileName(r.date, r.time).empty()) continue;
    listed.push_back({fileName, std::move(r)});
  }
  std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
    return std::tie(a.reservation.date, a.reservation.time, a.fileName) <
           std::tie(b.reservation.date, b.reservation.time, b.fileName);
  });

  Grid& list = editor.list;
  list.Clear(std::max<int>(2, static_cast<int>(listed.size()) + 1));
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    const Reservation& r = listed[i].reservation;
    FillRow(list, row, r);
    const ShownResultText shown = ShownResult(r.date, r.time, r.resultStatus, r.resultDetail, now);
    list.Cell(kReservationResultColumn, row) = shown.status;
    list.Cell(kReservationDetailColumn, row) = shown.detail;
  }
}

void ShowReservationEditor(ReservationEditor& editor, const DataFolder& folder, const Settings& settings,
                           const SendPage& page, const Grid& sendRecipients, const LocalDateTime& now) {
  LoadReservationList(folder, editor, now);
  ReservationInput& in = editor.input;
  in.date = DateText(now);
  in.time = TimeText(now);
  in.group = page.group.empty() ? Sj("個別伝達") : page.group;
  in.identifier = settings.identifier;
  in.mailNo.clear();
  in.subject = page.subject;
  in.copyToSelf = page.copyToSelf;
  in.appendGroup = page.appendGroup;
  in.appendNames = page.appendNames;
  in.recipients.Clear(std::max(30, sendRecipients.RowCount()));
  for (int row = 1; row < sendRecipients.RowCount(); ++row) {
    for (int col = 0; col < 3; ++col) in.recipients.Cell(col, row) = RecipientCell(sendRecipients, col, row);
  }
  in.body = page.body;
  editor.resultLine.clear();
}

Booking RegisterReservation(ReservationEditor& editor, const DataFolder& folder, Settings& settings, Operator& op,
                            const LocalDateTime& now) {
  ReservationInput& in = editor.input;
  if (const std::string failed = FailedBookingCheck(in, now); !failed.empty()) {
    Warn(op, failed);
    return Booking::Refused;
  }
  const std::string fileName = ReservationFileName(in.date, in.time);
  if (fileName.empty()) return Booking::Refused;  // the pickers give nothing else

  Grid& list = editor.list;
  int overwritten = 0;
  for (int row = 1; row < list.RowCount() && overwritten == 0; ++row) {
    if (list.Cell(kReservationDateColumn, row) == in.date && list.Cell(kReservationTimeColumn, row) == in.time) {
      overwritten = row;
    }
  }
  if (overwritten == 0) {
    for (int row = 1; row < list.RowCount(); ++row) {
      if (list.Cell(kReservationDateColumn, row) == in.date &&
          list.Cell(kReservationTimeColumn, row).substr(0, 5) == in.time.substr(0, 5)) {
        Warn(op, Sj("予約時間が分単位で重複しています"));
        return Booking::Refused;
      }
    }
  }

  const fs::path file = ReservationPath(folder, fileName);
  std::string mailNo;
  if (overwritten != 0) {
    // The reservation replaced keeps its own number: the input area may
    // hold none, or the number of another reservation loaded earlier.
    mailNo = ParseReservation(ReadReservationFile(file).lines).mailNo;
    if (mailNo.empty()) mailNo = in.mailNo;
  } else {
    if (settings.lastMailNo.empty()) settings.lastMailNo = "999";
    const std::optional<std::string> next = NextMailNo(settings.lastMailNo);
    if (!next) {
      ReportFailure(op, Sj("予約の登録に失敗しました"),
                    "the last MailNo \"" + settings.lastMailNo + "\" is not a number");
      return Booking::Refused;
    }
    mailNo = *next;
  }

  Reservation reservation = FromInput(in);
  reservation.mailNo = mailNo;
  try {
    WriteReservationFile(file, reservation);
  } catch (const std::exception& e) {
    // Listing it would promise a send that cannot happen.
    ReportFailure(op, Sj("予約の登録に失敗しました"), e.what());
    return Booking::Refused;
  }
  in.mailNo = mailNo;

  int row = overwritten;
  if (row == 0) {
    if (!AdvanceMailNo(settings, folder.SettingsFile())) {
      LogDiagnostic("the settings file could not keep MailNo " + mailNo);
    }
    row = HasReservations(editor) ? list.RowCount() : 1;
    if (row == list.RowCount()) list.SetRowCount(row + 1);
  }
  FillRow(list, row, reservation);
  list.Cell(kReservationResultColumn, row).clear();
  list.Cell(kReservationDetailColumn, row).clear();

  op.Message("Zentavo",
             Sj("送信予約日：") + in.date + "\r" + Sj("　送信時間：") + in.time + "\r" + std::string(12, ' ') + "\r" +
                 Sj(overwritten != 0 ? "予約を【上書登録】しました" : "予約を【新規登録】しました"),
             MsgIcon::None, MsgButtons::Ok, {});
  return overwritten != 0 ? Booking::Overwritten : Booking::New;
}

void LoadReservationIntoEditor(ReservationEditor& editor, const DataFolder& folder, int row, const LocalDateTime& now) {
  const Grid& list = editor.list;
  if (row < 1 || row >= list.RowCount() || list.Cell(kReservationDateColumn, row).empty()) return;
  ReservationInput& in = editor.input;
  in.body.clear();
  in.recipients.Clear(30);
  const std::string fileName = RowFileName(list, row);
  const ReservationFileRead read =
      fileName.empty() ? ReservationFileRead{} : ReadReservationFile(ReservationPath(folder, fileName));
  if (!read.lines.empty()) {
    const Reservation r = ParseReservation(read.lines);
    if (r.scheduled) {
      in.date = r.date;
      in.time = r.time;
    }
    CopyNotice(in, r);
    for (std::size_t i = 0; i < r.recipients.size(); ++i) {
      const int to = static_cast<int>(i) + 1;
      in.recipients.Cell(0, to) = r.recipients[i].name;
      in.recipients.Cell(1, to) = r.recipients[i].address;
      in.recipients.Cell(2, to) = r.recipients[i].phone;
    }
    in.recipients.SetRowCount(30 + static_cast<int>(r.recipients.size()));
  }
  const ShownResultText shown =
      ShownResult(list.Cell(kReservationDateColumn, row), list.Cell(kReservationTimeColumn, row),
                  list.Cell(kReservationResultColumn, row), list.Cell(kReservationDetailColumn, row), now);
  editor.resultLine = shown.status.empty() ? "" : shown.status + Sj("：") + shown.detail;
}

void DeleteReservation(ReservationEditor& editor, const DataFolder& folder, const std::set<int>& rows) {
  std::set<int> chosen;
  for (const int row : rows) {
    if (row < 1 || row >= editor.list.RowCount()) continue;
    chosen.insert(row);
    const std::string fileName = RowFileName(editor.list, row);
    std::error_code ec;
    if (!fileName.empty()) fs::remove(ReservationPath(folder, fileName), ec);
  }
  DeleteSelectedRows(editor.list, chosen);
}

}  // namespace zentavo
