#include "receive/RunReception.h"

#include <span>

#include "base/DiagnosticLog.h"
#include "net/ServerTrust.h"
#include "receive/ReceivedList.h"
#include "receive/ReplyCollector.h"
#include "receive/UnseenMail.h"
#include "store/DataFolder.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

// What the session's first steps give: the count, how to know each message
// again, and the notices' records for tying replies to them.
struct Opening {
  int count = 0;
  MailboxListing listing;
  std::map<std::string, DeliveryRecord> records;
};

// Every message, or those not read before.
std::vector<int> NumbersToFetch(const Settings& settings, const MailboxListing& listing,
                                const ReceptionOptions& options) {
  if (options.unseenOnly) return UnseenNumbers(settings, listing);
  std::vector<int> numbers;
  for (int n = 1; n <= listing.count; ++n) numbers.push_back(n);
  return numbers;
}

// What the run holds while it reads the mailbox.
struct RunValues {
  const Settings& settings;
  const Grid& staff;
  const ReceptionOptions& options;
  ReplyCollector& collector;
};

// One message read: what it answers goes to the collector, and the list and
// the body pane show it when they should.
void TakeMessage(ReceptionState& state, const RunValues& run, int n, const ReceivedMail& mail) {
  const Sender sender = ClassifySender(mail.from, mail.fromAddress, run.staff, run.settings.senderAddress);
  const bool staffMail = sender.kind != Sender::Kind::Other;
  const ListedTie tie = run.collector.Take(mail, sender, staffMail ? run.staff.Cell(0, sender.staffRow) : "");
  if (!staffMail && !run.options.listOthers) return;  // leaves no trace in the list
  const int row = AddReceivedRow(state.received, n, mail, sender, run.staff, tie);
  if (staffMail ? run.options.staffBodies : run.options.otherBodies) {
    for (auto& line : BodyDisplayLines(state.received, row, mail, run.settings.identifier, true))
      state.bodyLines.push_back(std::move(line));
  }
}

void KeepSeen(const DataFolder& folder, const Settings& settings) {
  if (settings.seen.account.empty()) return;
  try {
    SaveSeenMail(folder.SeenMailFile(), settings.seen);
  } catch (const std::exception& e) { LogDiagnostic(std::string("the messages read could not be noted: ") + e.what()); }
}

}  // namespace

OffThread<std::shared_ptr<Mailbox>> OpenMailbox(const ReceptionContext& c, const Settings& settings) {
  return OffThread<std::shared_ptr<Mailbox>>(c.runner, [account = Pop3AccountFor(settings), transport = c.transport] {
    return std::shared_ptr<Mailbox>(transport->Open(account));
  });
}

OffThread<ReceivedMail> FetchMessage(StepRunner& runner, std::shared_ptr<Mailbox> mailbox,
                                     std::shared_ptr<const std::vector<int>> numbers, std::size_t i, bool text) {
  return OffThread<ReceivedMail>(runner, [mailbox = std::move(mailbox), numbers = std::move(numbers), i, text] {
    std::optional<std::string> raw = mailbox->Retrieve((*numbers)[i], std::span(*numbers).subspan(i + 1));
    return raw ? ReadReceivedMail(*raw, text) : ReceivedMail{};
  });
}

RecordedReplies RecordFoundMail(ReceptionContext& c, const FoundMail& found) {
  RecordedReplies recorded = RecordRepliesInLogs(c.folder, c.settings.identifier, found);
  for (const auto& log : recorded.partlyRead) LogDiagnostic(log.string() + " was read only in part; no reply recorded");
  return recorded;
}

void EndReceptionMarking(Settings& settings, const DataFolder& folder, const ReceptionState& state) {
  MarkRead(settings, state.listing, state.read);
  KeepSeen(folder, settings);
}

RunTask RunReception(ReceptionContext c) {
  if (c.state.running) co_return;
  c.state.running = true;
  c.state.cancel = false;

  // The run reads the settings and the staff list as they stood when it
  // began; what the operator changes meanwhile applies to the next run.
  const Settings settings = c.settings;
  const Grid staff = c.staff;
  const ReceptionOptions options = c.options;

  ClearReceivedList(c.state.received);
  c.state.bodyLines.clear();
  c.state.read.clear();
  c.op.ShowProgress(Sj("返信メール確認中"), 0);

  ServerFailure failure;
  std::shared_ptr<Mailbox> mailbox;
  std::optional<ReplyCollector> collector;
  try {
    OffThread<std::shared_ptr<Mailbox>> open = OpenMailbox(c, settings);
    mailbox = co_await open;
    KeepSessionSecurity(c.settings, c.folder, MailServer::Pop3, mailbox->Security());
    OffThread<Opening> opening(c.runner, [mailbox, folder = c.folder] {
      Opening o;
      o.count = mailbox->Count();
      o.listing = ListMailbox(*mailbox, o.count);
      o.records = LoadDeliveryRecords(folder);
      return o;
    });
    Opening o = co_await opening;
    c.state.serverCount = o.count;
    c.state.listing = std::move(o.listing);
    collector.emplace(std::move(o.records), settings.identifier);
    c.op.ShowProgress(Sj("返信メール確認中"), c.state.serverCount);

    const auto numbers = std::make_shared<const std::vector<int>>(NumbersToFetch(settings, c.state.listing, options));
    for (std::size_t i = 0; i < numbers->size(); ++i) {
      const int n = (*numbers)[i];
      // A stop asks for no more; what was asked for ahead is read by QUIT.
      if (c.state.cancel) {
        c.op.ShowProgress(Sj("受信をキャンセルしました"), c.state.serverCount);
        break;
      }
      c.op.SetProgress(n);
      OffThread<ReceivedMail> fetch =
          FetchMessage(c.runner, mailbox, numbers, i, options.staffBodies || options.otherBodies);
      const ReceivedMail mail = co_await fetch;
      c.state.read.push_back(n);
      TakeMessage(c.state, {settings, staff, options, *collector}, n, mail);
    }
    OffThread<void> quit(c.runner, [mailbox] { mailbox->Quit(); });
    co_await quit;
    // With "未受信受信" and "連続受信" both on, nothing becomes seen while
    // continuous reception goes on, so every run lists all that came since
    // it began; ending it marks what the latest run read.
    if (!(options.unseenOnly && options.continuous)) EndReceptionMarking(c.settings, c.folder, c.state);
  } catch (const std::exception& e) { failure = FailureOf(e); }
  mailbox.reset();  // a session left without QUIT is closed; the server keeps every message
  CleanTempFiles(c.folder);
  // Whatever ended the run, the replies it listed are recorded now, before
  // any deletion can take them from the server.
  if (collector) c.state.recorded = RecordFoundMail(c, collector->Found());
  c.op.CloseProgress();
  // Still "running" while the box shows: a timer tick now starts nothing.
  if (failure.failed) {
    ReportServerFailure(c.op, Sj("受信メール確認中にエラーが発生しました"), failure, c.settings, c.folder,
                        MailServer::Pop3);
  }
  c.state.running = false;
  c.finished(!failure.failed);
}

}  // namespace zentavo
