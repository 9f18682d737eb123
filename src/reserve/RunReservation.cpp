#include "reserve/RunReservation.h"

#include <exception>
#include <filesystem>

#include "send/SendRun.h"
#include "send/SplitSend.h"
#include "history/TransmissionLogs.h"
#include "base/DiagnosticLog.h"
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

// The list row of the reservation shows at once what became of it (and the
// number it went out with).
void ShowResultInList(ReservationEditor& editor, std::string_view fileName, const std::vector<std::string>& pairs,
                      const Reservation* sent = nullptr) {
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

// The unattended send of the notice the reservation holds: nothing is
// shown or asked; every outcome becomes a result pair.
RunTask SendReservation(ReservationContext c, std::string fileName, ReservationFileRead read) {
  c.scheduler.running = true;
  c.run.running = true;
  c.observer.ReservationRunStarted();

  const fs::path file = ReservationPath(c.folder, fileName);
  Reservation r = ParseReservation(read.lines);
  ReservedNotice n = NoticeOf(r, c.settings);
  std::vector<std::string> pairs;
  auto record = [&](const std::string& status, std::string_view reason) {
    const auto pair = ResultPair(status, Reason(reason), c.clock());
    pairs.insert(pairs.end(), pair.begin(), pair.end());
  };

  const int addressed = CountAddressedRows(n.recipients);
  const int batches = n.settings.splitSend ? SplitBatchCount(addressed, n.settings.splitSize) : 1;
  bool clean = false;
  if (auto failed = FailedSendCheck(n.settings, n.page, n.recipients)) {
    pairs = ResultPair(NotSentStatus(), Sj("　") + *failed, c.clock());
  } else if (addressed == 0) {
    record(NotSentStatus(), "伝達者が選択されていません");
  } else {
    // A number that is not one, or that a later notice already carries,
    // would tie replies to the wrong notice: the notice goes out on time
    // with the next number instead, and its file says which.
    bool drawn = false;
    bool counterSaved = true;
    std::error_code ec;
    const fs::file_time_type bookedAt = fs::last_write_time(file, ec);
    if (!NextMailNo(r.mailNo) || (!ec && MailNoUsedSince(c.folder, r.identifier, r.mailNo, bookedAt))) {
      if (const auto next = NextMailNo(c.settings.lastMailNo)) {
        LogDiagnostic("reservation " + fileName + ": MailNo \"" + r.mailNo + "\" is taken or no number; sent as " +
                      *next);
        counterSaved = AdvanceMailNo(c.settings, c.folder.SettingsFile());
        r.mailNo = *next;
        n.page.shownMailNo = *next;
        drawn = true;
        for (auto& line : read.lines) {
          if (SplitRecord(line).tag == "C0") line = "C0," + r.identifier + "," + r.mailNo + "," + r.subject;
        }
      }
    }

    // As for a send by hand, the logs exist before anything leaves.
    std::string key, logFailure;
    try {
      key = WriteTransmissionLogs(c.folder, r.identifier, r.mailNo, r.subject, n.recipients, r.body, c.clock());
    } catch (const std::exception& e) {
      logFailure = e.what();
    }

    int sentBatches = 0;
    ServerFailure failure;
    try {
      const int limit = n.settings.splitSend ? n.settings.splitSize : 0;
      int cursor = 0;
      for (int b = 1; b <= batches && !c.run.cancel; ++b) {
        const std::vector<std::string> addresses = TakeBatch(n.recipients, cursor, limit);
        BatchMail mail = BuildBatchMail(n.settings, n.page, n.recipients, r.mailNo, r.group, addresses, c.clock());
        RecordBatchMessageId(c.folder, key, r.identifier, r.mailNo, mail.messageId, logFailure);
        OffThread<SessionSecurity> session = BatchSession(c.runner, c.transport, n.settings, mail);
        const SessionSecurity used = co_await session;
        KeepSessionSecurity(c.settings, c.folder, MailServer::Smtp, used);
        ++sentBatches;
        if (b == batches) n.page.body = std::move(mail.composed);
      }
    } catch (const std::exception& e) {
      failure = FailureOf(e);
    }
    if (failure.failed) {
      KeepFailureSecurity(c.settings, c.folder, MailServer::Smtp, failure);
      LogDiagnostic("reservation " + fileName + ": " + failure.detail +
                    (failure.certificate ? " (fingerprint " + failure.certificate->fingerprint + ")" : ""));
      record(NotSentStatus(), "送信中にエラーが発生しました");
    } else if (sentBatches < batches) {
      record(NotSentStatus(), "終了のため送信を中断しました");
    }

    if (sentBatches > 0 || failure.handedOver) {
      if (!drawn) counterSaved = AdvanceMailNo(c.settings, c.folder.SettingsFile());
      bool recorded = logFailure.empty() && counterSaved;
      if (!key.empty() && sentBatches == batches) {
        try {
          RewriteTextLog(c.folder, key, n.page.body);
        } catch (const std::exception& e) {
          logFailure = e.what();
          recorded = false;
        }
      }
      if (!logFailure.empty()) LogDiagnostic("reservation " + fileName + ": " + logFailure);
      if (recorded) {
        record(SentStatus(), "正常に送信しました");
        clean = !failure.failed && sentBatches == batches;
      } else {
        record(AttentionStatus(), "送信しましたがログの出力に失敗しました");
      }
      n.page.shownMailNo = MailNoShownAfterSend(r.mailNo);
    } else if (!key.empty()) {
      RemoveTransmissionLogs(c.folder, key);
    }
  }

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
  ShowResultInList(ctx.editor, fileName, pairs);
  ctx.observer.ReservationRunEnded();
}

}  // namespace zentavo
