#include "receive/StartupCheck.h"
#include "text/Ascii.h"

#include <algorithm>
#include <numeric>
#include <span>

#include "net/ServerTrust.h"
#include "receive/ReceivedList.h"
#include "receive/ReplyCollector.h"
#include "receive/ServerMail.h"
#include "store/DataFolder.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

// Whatever four bytes follow the identifier: the screen shows them as they
// are, so a notice's number can be read even from a reply that mangled it.
std::string FourAfter(const std::string& subject, const std::string& identifier) {
  if (identifier.empty()) return {};
  const std::size_t at = LowerAscii(subject).find(LowerAscii(identifier));
  return at == std::string::npos ? std::string() : subject.substr(at + identifier.size(), 4);
}

}  // namespace

const std::vector<std::string>& StartupListHeader() {
  static const std::vector<std::string> header = {Sj("番号"), Sj("氏名"), "MailNo", Sj("件名"), Sj("受信日時")};
  return header;
}

namespace {

// Deletes the listed replies in a session of their own, each found again
// by its unique id (or in an unchanged mailbox): what another client did
// meanwhile must not make this delete other mail.
OffThread<ResolvedMessages> DeleteListedReplies(ReceptionContext& c, const Settings& settings,
                                                std::vector<int> replies) {
  return OffThread<ResolvedMessages>(c.runner, [account = Pop3AccountFor(settings), transport = c.transport,
                                                listing = c.state.listing, replies = std::move(replies)] {
    std::unique_ptr<Mailbox> box = transport->Open(account);
    const ResolvedMessages resolved = ResolveListed(listing, ListMailbox(*box, box->Count()), replies);
    std::vector<int> numbers;
    for (const auto& [listed, now] : resolved.now) numbers.push_back(now);
    for (std::size_t i = 0; i < numbers.size(); ++i) box->Delete(numbers[i], std::span(numbers).subspan(i + 1));
    box->Quit();
    return resolved;
  });
}

const std::string& DeletionQuestion() {
  static const std::string question =
      Sj("これまでの送信に対する返信メールの存在を確認しました\r"
         "この返信メールを削除しておかなければ\r"
         "今回の送信に対する返信と区別が出来なくなる恐れがあります。\r"
         "「受信確認」でも削除は可能ですが、ここで、返信メールを削除しますか？");
  return question;
}

void AddStartupRow(Grid& list, int number, const std::string& name, const ReceivedMail& mail,
                   const std::string& identifier) {
  const int row = list.RowCount() - 1;
  list.SetRowCount(row + 2);
  list.Cell(kStartupNumberColumn, row) = std::to_string(number);
  list.Cell(kStartupNameColumn, row) = name;
  list.Cell(kStartupMailNoColumn, row) = FourAfter(mail.subject, identifier);
  list.Cell(kStartupSubjectColumn, row) = mail.subject;
  list.Cell(kStartupDateColumn, row) = mail.date ? FormatDisplayTime(*mail.date) : std::string();
}

}  // namespace

RunTask CheckRepliesAtStartup(ReceptionContext c) {
  if (c.state.running) co_return;
  c.state.running = true;
  Grid& list = c.state.received;
  list = Grid(5, 2);
  list.SetHeader(StartupListHeader());
  const Settings settings = c.settings;
  if (settings.popHost.empty()) {
    Warn(c.op, Sj("メール設定を確認してください"));
    c.state.running = false;
    c.finished(false);
    co_return;
  }

  std::vector<int> replies;
  ServerFailure failure;
  std::optional<ReplyCollector> collector;
  try {
    c.op.ShowProgress(Sj("返信メール確認中"), 0);
    OffThread<std::shared_ptr<Mailbox>> open = OpenMailbox(c, settings);
    std::shared_ptr<Mailbox> mailbox = co_await open;
    KeepSessionSecurity(c.settings, c.folder, MailServer::Pop3, mailbox->Security());
    OffThread<std::pair<MailboxListing, std::map<std::string, DeliveryRecord>>> opening(
        c.runner, [mailbox, folder = c.folder] {
          return std::pair(ListMailbox(*mailbox, mailbox->Count()), LoadDeliveryRecords(folder));
        });
    auto [listing, records] = co_await opening;
    c.state.listing = std::move(listing);
    collector.emplace(std::move(records), settings.identifier);
    const int total = c.state.listing.count;
    c.op.ShowProgress(Sj("返信メール確認中"), total);
    auto numbers = std::make_shared<std::vector<int>>(static_cast<std::size_t>(total));
    std::iota(numbers->begin(), numbers->end(), 1);
    for (int n = 1; n <= total && !c.state.cancel; ++n) {
      c.op.SetProgress(n);
      OffThread<ReceivedMail> fetch = FetchMessage(c.runner, mailbox, numbers, static_cast<std::size_t>(n - 1), false);
      const ReceivedMail mail = co_await fetch;
      const Sender sender = ClassifySender(mail.from, mail.fromAddress, c.staff, "");
      const std::string name = sender.kind == Sender::Kind::Staff ? c.staff.Cell(0, sender.staffRow) : "";
      collector->Take(mail, sender, name);
      if (sender.kind != Sender::Kind::Staff) continue;
      AddStartupRow(list, n, name, mail, settings.identifier);
      replies.push_back(n);
    }
    OffThread<void> quit(c.runner, [mailbox] { mailbox->Quit(); });
    co_await quit;
  } catch (const std::exception& e) { failure = FailureOf(e); }
  // The replies count before the operator is asked whether to delete them.
  if (collector) c.state.recorded = RecordFoundMail(c, collector->Found());
  c.op.CloseProgress();
  if (failure.failed) {
    ReportServerFailure(c.op, Sj("受信メール確認中にエラーが発生しました\r「受信確認」で受信メールの確認してください"),
                        failure, c.settings, c.folder, MailServer::Pop3);
  } else if (!replies.empty() && !c.state.cancel && AskYesNo(c.op, DeletionQuestion())) {
    c.op.ShowProgress(Sj("返信メール削除"), static_cast<int>(replies.size()));
    ResolvedMessages deleted;
    try {
      OffThread<ResolvedMessages> remove = DeleteListedReplies(c, settings, replies);
      deleted = co_await remove;
    } catch (const std::exception& e) { failure = FailureOf(e); }
    c.op.CloseProgress();
    if (failure.failed) {
      ReportServerFailure(c.op, Sj("返信メール削除中にエラーが発生しました\r「受信確認」で確認してください"), failure,
                          c.settings, c.folder, MailServer::Pop3);
    } else if (deleted.changed) {
      Warn(c.op, MailboxChangedNotice());
    } else if (!deleted.gone.empty()) {
      Warn(c.op, GoneNotice(deleted.gone.size()));
    }
  }
  CleanTempFiles(c.folder);
  c.state.running = false;
  c.finished(!failure.failed);
}

}  // namespace zentavo
