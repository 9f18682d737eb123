#include "receive/ServerMail.h"

#include <algorithm>
#include <span>

#include "base/DiagnosticLog.h"
#include "net/ServerTrust.h"
#include "receive/ReceivedList.h"
#include "store/DataFolder.h"
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
    default: return {"職員メール削除中", "職員メール削除中にエラーが発生しました\r「受信確認」で確認してください"};
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

std::vector<int> ListedNumbers(const Grid& list) {
  std::vector<int> numbers;
  for (int r = 1; r < list.RowCount(); ++r)
    if (const std::optional<int> number = RowMessageNumber(list, r)) numbers.push_back(*number);
  return numbers;
}

// The list after the server has deleted `deleted` (numbers of the deleting
// session): those rows gone, and rows of mail that another client took
// away; the others renumbered as the server numbers them now, in number
// order.
void RenumberAfterDeletion(Grid& list, const ResolvedMessages& resolved, const std::vector<int>& deleted) {
  std::vector<std::pair<int, std::vector<std::string>>> kept;
  for (int r = 1; r < list.RowCount(); ++r) {
    const std::optional<int> number = RowMessageNumber(list, r);
    const std::optional<int> after = number ? NumberAfter(resolved, deleted, *number) : std::nullopt;
    if (after) kept.emplace_back(*after, list.rows[static_cast<std::size_t>(r)]);
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

// The mailbox as it is now, to find the listed messages in.
OffThread<MailboxListing> Relist(StepRunner& runner, std::shared_ptr<Mailbox> mailbox) {
  return OffThread<MailboxListing>(runner, [mailbox] { return ListMailbox(*mailbox, mailbox->Count()); });
}

}  // namespace

std::string MailboxChangedNotice() {
  return Sj(
      "受信一覧を作成した後にサーバのメールが変わっているため、削除しませんでした\r「受信確認」で確認してください");
}

std::string GoneNotice(std::size_t gone) {
  return Sj("選択したメールのうち") + std::to_string(gone) +
         Sj("件は既にサーバにないため削除しませんでした\r「受信確認」で確認してください");
}

RunTask RetrieveSelectedMessage(ReceptionContext c, int row) {
  const std::optional<int> number = RowMessageNumber(c.state.received, row);
  if (c.state.running || !number) co_return;
  c.state.running = true;
  const Settings settings = c.settings;
  const bool reply = !c.state.received.Cell(kMailNoColumn, row).empty();
  c.op.ShowProgress(Sj(reply ? "返信メール受信中" : "返信メール以外受信中"), 10);
  c.op.SetProgress(1);
  try {
    // The number of the list holds for the listing session only: the
    // message is found again by its id, and never guessed.
    OffThread<ReceivedMail> fetch(c.runner, [account = Pop3AccountFor(settings), transport = c.transport,
                                             listing = c.state.listing, n = *number] {
      std::unique_ptr<Mailbox> box = transport->Open(account);
      const ResolvedMessages resolved = ResolveListed(listing, ListMailbox(*box, box->Count()), {n});
      std::optional<std::string> raw;
      if (const auto now = resolved.now.find(n); now != resolved.now.end())
        raw = box->Retrieve(now->second);
      else
        LogDiagnostic("listed message " + std::to_string(n) + " is no longer on the server as listed");
      box->Quit();
      return raw ? ReadReceivedMail(*raw) : ReceivedMail{};
    });
    const ReceivedMail mail = co_await fetch;
    c.op.SetProgress(10);
    c.state.bodyLines = BodyDisplayLines(c.state.received, row, mail, settings.identifier, false);
  } catch (const std::exception& e) { LogDiagnostic(std::string("fetching a listed message failed: ") + e.what()); }
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
  ResolvedMessages resolved;
  std::vector<int> deleted;  // numbers of the deleting session
  try {
    OffThread<std::shared_ptr<Mailbox>> open = OpenMailbox(c, c.settings);
    std::shared_ptr<Mailbox> mailbox = co_await open;
    KeepSessionSecurity(c.settings, c.folder, MailServer::Pop3, mailbox->Security());
    OffThread<MailboxListing> relist = Relist(c.runner, mailbox);
    const MailboxListing now = co_await relist;
    resolved = ResolveListed(c.state.listing, now, ListedNumbers(c.state.received));
    // The chosen messages by their numbers in this session (none when the
    // mailbox changed), each DELE with those after it asked for ahead where
    // the server takes commands in a pipeline.
    auto targets = std::make_shared<std::vector<int>>();
    for (const int n : numbers)
      if (const auto at = resolved.now.find(n); at != resolved.now.end()) targets->push_back(at->second);
    c.op.ShowProgress(Sj(texts.caption), static_cast<int>(targets->size()));
    for (std::size_t i = 0; i < targets->size(); ++i) {
      OffThread<bool> dele(c.runner, [mailbox, targets, i] {
        return mailbox->Delete((*targets)[i], std::span(*targets).subspan(i + 1));
      });
      if (co_await dele) deleted.push_back((*targets)[i]);  // "-ERR": that one stays on the server
      c.op.SetProgress(static_cast<int>(i) + 1);
    }
    OffThread<void> quit(c.runner, [mailbox] { mailbox->Quit(); });
    co_await quit;
    // Only QUIT makes the deletions final; a session that broke before it
    // deleted nothing, and the count stays. It drops by the deleted
    // messages it counted, so that it still points at the same mail.
    const auto below =
        std::count_if(deleted.begin(), deleted.end(), [&](int d) { return d <= c.settings.lastSeenCount; });
    c.settings.lastSeenCount = std::max(0, c.settings.lastSeenCount - static_cast<int>(below));
    c.state.listing = AfterDeletion(now, deleted);
    c.state.serverCount = c.state.listing.count;
  } catch (const std::exception& e) { failure = FailureOf(e); }
  c.op.CloseProgress();
  std::size_t gone = 0;
  for (const int n : numbers) gone += !resolved.changed && !resolved.now.contains(n);
  if (failure.failed) {
    ReportServerFailure(c.op, Sj(texts.failure), failure, c.settings, c.folder, MailServer::Pop3);
  } else if (resolved.changed) {
    LogDiagnostic("the mailbox changed since it was listed and keeps no unique ids; nothing was deleted");
    Warn(c.op, MailboxChangedNotice());
  } else {
    if (kind == Deletion::All)
      ClearReceivedList(c.state.received);
    else
      RenumberAfterDeletion(c.state.received, resolved, deleted);
    if (gone > 0) Warn(c.op, GoneNotice(gone));
  }
  c.state.bodyLines.clear();
  c.state.running = false;
  c.finished(!failure.failed);
}

}  // namespace zentavo
