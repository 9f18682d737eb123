#include "receive/ServerMail.h"

#include <algorithm>

#include "receive/ReceivedList.h"
#include "send/ServerTrust.h"
#include "store/DataFolder.h"
#include "store/DiagnosticLog.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

struct DeletionTexts {
  const char* caption;
  const char* failure;
};

DeletionTexts TextsFor(Deletion kind) {
  switch (kind) {
    case Deletion::Others:
      return {"職員以外メール削除中", "職員以外メール削除中にエラーが発生しました\r「受信確認」で確認してください"};
    case Deletion::Selected:
      return {"メール削除中", "メール削除中にエラーが発生しました\r「受信確認」で確認してください"};
    default:
      return {"職員メール削除中", "職員メール削除中にエラーが発生しました\r「受信確認」で確認してください"};
  }
}

bool Chosen(const Grid& list, int row, Deletion kind, const std::set<int>& rows) {
  const bool staff = !list.Cell(kStaffColumn, row).empty();
  switch (kind) {
    case Deletion::All: return true;
    case Deletion::Staff: return staff;
    case Deletion::Others: return !staff;
    case Deletion::Selected: return rows.count(row) != 0;
  }
  return false;
}

// The list after the server has deleted `deleted`: those rows gone, the
// others renumbered as the server numbers them now, in number order.
void RenumberAfterDeletion(Grid& list, const std::vector<int>& deleted) {
  std::vector<std::pair<int, std::vector<std::string>>> kept;
  for (int r = 1; r < list.RowCount(); ++r) {
    const std::optional<int> number = RowMessageNumber(list, r);
    if (!number || std::count(deleted.begin(), deleted.end(), *number) != 0) continue;
    const auto below = std::count_if(deleted.begin(), deleted.end(), [&](int d) { return d < *number; });
    kept.emplace_back(*number - static_cast<int>(below), list.rows[static_cast<std::size_t>(r)]);
  }
  std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  ClearReceivedList(list);
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    list.SetRowCount(row + 2);
    list.rows[static_cast<std::size_t>(row)] = kept[i].second;
    list.Cell(kNumberColumn, row) = FormatMessageNumber(kept[i].first);
  }
}

}  // namespace

RunTask RetrieveSelectedMessage(ReceptionContext c, int row) {
  const std::optional<int> number = RowMessageNumber(c.state.received, row);
  if (c.state.running || !number) co_return;
  c.state.running = true;
  const Settings settings = c.settings;
  const bool reply = !c.state.received.Cell(kMailNoColumn, row).empty();
  c.op.ShowProgress(Sj(reply ? "返信メール受信中" : "返信メール以外受信中"), 10);
  c.op.SetProgress(1);
  std::shared_ptr<Mailbox> mailbox;
  try {
    OffThread<ReceivedMail> fetch(c.runner, [account = Pop3AccountFor(settings), transport = c.transport, n = *number] {
      std::unique_ptr<Mailbox> box = transport->Open(account);
      std::optional<std::string> raw = box->Retrieve(n);
      box->Quit();
      return raw ? ReadReceivedMail(*raw) : ReceivedMail{};
    });
    const ReceivedMail mail = co_await fetch;
    c.op.SetProgress(10);
    c.state.bodyLines = BodyDisplayLines(c.state.received, row, mail, settings.identifier, false);
  } catch (const std::exception& e) {
    LogDiagnostic(std::string("fetching a listed message failed: ") + e.what());
  }
  CleanTempFiles(c.folder);
  c.op.CloseProgress();
  c.state.running = false;
  c.finished(true);
}

RunTask DeleteServerMail(ReceptionContext c, Deletion kind, std::set<int> rows) {
  if (c.state.running) co_return;
  c.state.running = true;
  c.state.cancel = false;
  const DeletionTexts texts = TextsFor(kind);
  std::vector<int> numbers;
  for (int r = 1; r < c.state.received.RowCount(); ++r) {
    const std::optional<int> number = RowMessageNumber(c.state.received, r);
    if (number && Chosen(c.state.received, r, kind, rows)) numbers.push_back(*number);
  }
  c.op.ShowProgress(Sj(texts.caption), static_cast<int>(numbers.size()));

  ServerFailure failure;
  std::vector<int> deleted;
  try {
    OffThread<std::shared_ptr<Mailbox>> open(c.runner, [account = Pop3AccountFor(c.settings), transport = c.transport] {
      return std::shared_ptr<Mailbox>(transport->Open(account));
    });
    std::shared_ptr<Mailbox> mailbox = co_await open;
    KeepSessionSecurity(c.settings, c.folder, MailServer::Pop3, mailbox->Security());
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      OffThread<bool> dele(c.runner, [mailbox, number = numbers[i]] { return mailbox->Delete(number); });
      if (co_await dele) deleted.push_back(numbers[i]);  // "-ERR": that one stays on the server
      c.op.SetProgress(static_cast<int>(i) + 1);
    }
    OffThread<void> quit(c.runner, [mailbox] { mailbox->Quit(); });
    co_await quit;
    // Only QUIT makes the deletions final; a session that broke before it
    // deleted nothing, and the count stays.
    c.settings.lastSeenCount = std::max(0, c.settings.lastSeenCount - static_cast<int>(deleted.size()));
  } catch (const std::exception& e) {
    failure = FailureOf(e);
  }
  c.op.CloseProgress();
  if (failure.failed) {
    ReportServerFailure(c.op, Sj(texts.failure), failure, c.settings, c.folder, MailServer::Pop3);
  } else if (kind == Deletion::All) {
    ClearReceivedList(c.state.received);
  } else {
    RenumberAfterDeletion(c.state.received, deleted);
  }
  c.state.bodyLines.clear();
  c.state.running = false;
  c.finished(!failure.failed);
}

}  // namespace zentavo
