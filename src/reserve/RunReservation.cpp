#include "reserve/RunReservation.h"

#include <exception>
#include <filesystem>

#include "base/DiagnosticLog.h"
#include "history/TransmissionLogs.h"
#include "send/NoticeSend.h"
#include "send/SendRun.h"
#include "send/SplitSend.h"
#include "store/StoredFile.h"
#include "store/TextFile.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace fs = std::filesystem;

namespace {

// The send page as the reservation's records would fill it.
struct ReservedNotice {
  Settings settings;  // the settings of the moment, with the reservation's identifier
  SendPage page;
  Grid recipients{3, 30};
};

ReservedNotice NoticeOf(const Reservation& r, const Settings& settings) {
  ReservedNotice n{settings, {}, Grid(3, 30 + static_cast<int>(r.recipients.size()))};
  n.settings.identifier = r.identifier;
  n.page.group = r.group;
  n.page.subject = r.subject;
  n.page.body = r.body;
  n.page.shownMailNo = r.mailNo;
  n.page.copyToSelf = r.copyToSelf;
  n.page.appendGroup = r.appendGroup;
  n.page.appendNames = r.appendNames;
  for (std::size_t i = 0; i < r.recipients.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    n.recipients.Cell(0, row) = r.recipients[i].name;
    n.recipients.Cell(1, row) = r.recipients[i].address;
    n.recipients.Cell(2, row) = r.recipients[i].phone;
  }
  return n;
}

// True when a notice sent after the reservation was booked carries the
// same identifier and MailNo: the counter has come round to the number
// (or was set back), and replies to both would be tied to one notice.
bool MailNoUsedSince(const DataFolder& folder, std::string_view identifier, std::string_view mailNo,
                     fs::file_time_type booked) {
  const std::string marker = SjisToUtf8(std::string(identifier) + std::string(mailNo) + "_");
  constexpr std::size_t kKeyTail = 2 + 15 + 1;  // "0_" + "yyyyMMdd HHmmss" + "_"
  std::error_code ec;
  for (fs::directory_iterator it(folder.Path(kLogDir), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with("0_") || name.size() < kKeyTail || name.compare(kKeyTail, marker.size(), marker) != 0) {
      continue;
    }
    std::error_code timeError;
    const fs::file_time_type written = fs::last_write_time(it->path(), timeError);
    if (!timeError && written > booked) return true;
  }
  return false;
}

std::string Reason(std::string_view text) { return Sj("　") + Sj(text); }

void ShowOnSendPage(ReservationContext& c, const ReservedNotice& n);
void ShowResultInList(ReservationEditor& editor, std::string_view fileName, const std::vector<std::string>& pairs,
                      const Reservation* sent);
void RecordResults(const fs::path& file, const ReservationFileRead& read, std::vector<std::string> lines,
                   const std::vector<std::string>& pairs);

// The file keeps the outcome (or goes, after a clean send when the editor
// says so), the list shows it, and the send page the notice.
void FinishReservation(ReservationContext& c, const std::string& fileName, ReservationFileRead& read,
                       const std::vector<std::string>& pairs, const Reservation& r, const ReservedNotice& n,
                       bool clean) {
  const fs::path file = ReservationPath(c.folder, fileName);
  if (clean && c.editor.deleteWhenSent) {
    std::error_code ignored;
    fs::remove(file, ignored);
    LoadReservationList(c.folder, c.editor, c.clock());
  } else {
    RecordResults(file, read, read.lines, pairs);
    ShowResultInList(c.editor, fileName, pairs, &r);
  }
  ShowOnSendPage(c, n);
  c.scheduler.running = false;
  c.run.running = false;
  c.observer.ReservationRunEnded();
}

// The list row of the reservation shows at once what became of it (and the
// number it went out with).
void ShowResultInList(ReservationEditor& editor, std::string_view fileName, const std::vector<std::string>& pairs,
                      const Reservation* sent) {
  Grid& list = editor.list;
  for (int row = 1; row < list.RowCount(); ++row) {
    if (ReservationFileName(list.Cell(kReservationDateColumn, row), list.Cell(kReservationTimeColumn, row)) !=
        fileName) {
      continue;
    }
    if (sent) list.Cell(kReservationSubjectColumn, row) = sent->identifier + sent->mailNo + "_" + sent->subject;
    list.Cell(kReservationResultColumn, row) = SplitRecord(pairs[pairs.size() - 2]).values[0];
    list.Cell(kReservationDetailColumn, row) = pairs.back().substr(3);
  }
}

// Writes the result pairs back into the file, unless it went or changed
// while the notice was being sent: the operator deleted or rebooked it, and
// their decision stands.
void RecordResults(const fs::path& file, const ReservationFileRead& read, std::vector<std::string> lines,
                   const std::vector<std::string>& pairs) {
  std::string now;
  try {
    now = ReadFileBytes(file);
  } catch (const std::exception& e) {
    LogDiagnostic(std::string("the result of a reservation was not recorded: ") + e.what());
    return;
  }
  if (now != read.stored) {
    LogDiagnostic(file.string() + " changed while it was being sent; its result was not recorded");
    return;
  }
  try {
    lines.insert(lines.end(), pairs.begin(), pairs.end());
    WriteStoredFile(file, lines);
  } catch (const std::exception& e) {
    LogDiagnostic(std::string("the result of a reservation was not recorded: ") + e.what());
  }
}

// The send page shows the reservation, as the operator would see it after
// sending it by hand, unless it holds a notice of theirs not yet sent.
void ShowOnSendPage(ReservationContext& c, const ReservedNotice& n) {
  if (HoldsUnsentNotice(c.page, c.recipients, c.run)) return;
  c.page.subject = n.page.subject;
  c.page.body = n.page.body;
  c.page.shownMailNo = n.page.shownMailNo;
  c.page.copyToSelf = n.page.copyToSelf;
  c.page.appendGroup = n.page.appendGroup;
  c.page.appendNames = n.page.appendNames;
  c.recipients = n.recipients;
  c.run.settled = SendPageContentOf(c.page, c.recipients);
}

// The number the booking took, unless it is no number or a notice sent
// after the booking already carries it (the counter came round to it, or
// was set back): replies to both would be tied to one notice. Then the
// notice goes out on time with the next number, and its file says which.
std::optional<std::string> BookedMailNo(ReservationContext& c, const std::string& fileName, const Reservation& r) {
  std::error_code ec;
  const fs::file_time_type bookedAt = fs::last_write_time(ReservationPath(c.folder, fileName), ec);
  if (NextMailNo(r.mailNo) && (ec || !MailNoUsedSince(c.folder, r.identifier, r.mailNo, bookedAt))) return r.mailNo;
  LogDiagnostic("reservation " + fileName + ": MailNo \"" + r.mailNo + "\" is taken or no number; the next is drawn");
  return std::nullopt;
}

// The C0 record names the number the notice went out with.
void RecordDrawnMailNo(Reservation& r, ReservationFileRead& read, const std::string& mailNo) {
  r.mailNo = mailNo;
  for (auto& line : read.lines)
    if (SplitRecord(line).tag == "C0") line = "C0," + r.identifier + "," + r.mailNo + "," + r.subject;
}

// The result pairs of a notice that was due to go out: a failure or the end
// of the program first, then what went out. A notice that went out only in
// part says so, with how many batches.
void RecordOutcome(const NoticeSent& sent, const TakenMailNo& mailNo, bool cancelled,
                   const std::function<void(const std::string&, std::string_view)>& record) {
  if (sent.failure.failed)
    record(NotSentStatus(), "送信中にエラーが発生しました");
  else if (!sent.complete())
    record(NotSentStatus(), cancelled ? "終了のため送信を中断しました" : "送信できませんでした");
  if (!sent.anythingOut()) return;
  if (!sent.complete()) {
    record(AttentionStatus(), "一部のみ送信しました " + std::to_string(sent.sent) + "/" + std::to_string(sent.batches));
  } else if (sent.logFailure.empty() && mailNo.saved) {
    record(SentStatus(), "正常に送信しました");
  } else {
    record(AttentionStatus(), "送信しましたがログの出力に失敗しました");
  }
}

// The unattended send of the notice the reservation holds: nothing is
// shown or asked; every outcome becomes a result pair.
RunTask SendReservation(ReservationContext c, std::string fileName, ReservationFileRead read) {
  c.scheduler.running = true;
  c.run.running = true;
  c.observer.ReservationRunStarted();

  Reservation r = ParseReservation(read.lines);
  ReservedNotice n = NoticeOf(r, c.settings);
  std::vector<std::string> pairs;
  auto record = [&](const std::string& status, std::string_view reason) {
    const auto pair = ResultPair(status, Reason(reason), c.clock());
    pairs.insert(pairs.end(), pair.begin(), pair.end());
  };
  bool clean = false;
  const int addressed = CountAddressedRows(n.recipients);
  std::optional<TakenMailNo> taken;
  if (auto failed = FailedSendCheck(n.settings, n.page, n.recipients)) {
    pairs = ResultPair(NotSentStatus(), Sj("　") + *failed, c.clock());
  } else if (addressed == 0) {
    record(NotSentStatus(), "伝達者が選択されていません");
  } else if (!(taken = TakeMailNo(c.settings, c.folder, BookedMailNo(c, fileName, r)))) {
    record(NotSentStatus(), "MailNoが数値ではありません");
  } else {
    if (taken->drawn) RecordDrawnMailNo(r, read, taken->mailNo);
    n.page.shownMailNo = taken->mailNo;
    const int batches = n.settings.splitSend ? SplitBatchCount(addressed, n.settings.splitSize) : 1;
    Task<NoticeSent> out = SendNoticeOut({c.folder, c.settings, c.run, c.transport, c.runner, c.clock},
                                         {n.settings, n.page, n.recipients, r.group, batches, *taken});
    const NoticeSent sent = co_await out;
    if (sent.failure.failed)
      LogDiagnostic("reservation " + fileName + ": " + sent.failure.detail +
                    (sent.failure.certificate ? " (fingerprint " + sent.failure.certificate->fingerprint + ")" : ""));
    if (!sent.logFailure.empty()) LogDiagnostic("reservation " + fileName + ": " + sent.logFailure);
    RecordOutcome(sent, *taken, c.run.cancel, record);
    clean = sent.complete() && !sent.failure.failed && sent.logFailure.empty() && taken->saved;
    if (sent.complete()) n.page.body = sent.composed;
    if (sent.anythingOut()) n.page.shownMailNo = MailNoShownAfterSend(r.mailNo);
  }
  FinishReservation(c, fileName, read, pairs, r, n, clean);
}

}  // namespace

void RunReservation(ReservationContext ctx, std::string fileName) {
  if (ctx.run.running || ctx.scheduler.running || ctx.run.cancel) return;
  ctx.scheduler.attempted.insert(fileName);
  const fs::path file = ReservationPath(ctx.folder, fileName);
  ReservationFileRead read = ReadReservationFile(file);
  if (read.whole) {
    SendReservation(ctx, std::move(fileName), std::move(read));
    return;
  }
  // Nothing is sent from a file that could not be read to its end. Its
  // result goes after everything it holds, read or not; a file that is gone
  // is not made again.
  const auto pairs = ResultPair(NotSentStatus(), Sj("　予約ファイル読み込みでエラーが発生しました"), ctx.clock());
  if (read.exists) {
    try {
      AppendReservationRecords(file, read.stored, pairs);
    } catch (const std::exception& e) {
      LogDiagnostic(std::string("the result of a reservation was not recorded: ") + e.what());
    }
  } else {
    LogDiagnostic("reservation " + fileName + " is gone; nothing was sent");
  }
  ShowResultInList(ctx.editor, fileName, pairs, nullptr);
  ctx.observer.ReservationRunEnded();
}

}  // namespace zentavo
