#include "receive/RunReception.h"

#include "receive/ReceivedList.h"
#include "send/ServerTrust.h"
#include "store/DataFolder.h"
#include "store/DiagnosticLog.h"
#include "text/SjisUnicode.h"

namespace zentavo {

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
  c.op.ShowProgress(Sj("返信メール確認中"), 0);

  ServerFailure failure;
  std::shared_ptr<Mailbox> mailbox;
  try {
    const Pop3Account account = Pop3AccountFor(settings);
    OffThread<std::shared_ptr<Mailbox>> open(c.runner, [account, transport = c.transport] {
      return std::shared_ptr<Mailbox>(transport->Open(account));
    });
    mailbox = co_await open;
    KeepSessionSecurity(c.settings, c.folder, MailServer::Pop3, mailbox->Security());
    OffThread<int> count(c.runner, [mailbox] { return mailbox->Count(); });
    c.state.serverCount = co_await count;
    c.op.ShowProgress(Sj("返信メール確認中"), c.state.serverCount);

    const int seen = settings.lastSeenCount;
    const int first = options.unseenOnly ? seen + 1 : 1;
    for (int n = std::max(first, 1); n <= c.state.serverCount; ++n) {
      if (c.state.cancel) {
        c.op.ShowProgress(Sj("受信をキャンセルしました"), c.state.serverCount);
        break;
      }
      c.op.SetProgress(n);
      // The message is read into plain values on the worker too: a large
      // one never holds up the window.
      OffThread<ReceivedMail> fetch(c.runner, [mailbox, n] {
        std::optional<std::string> raw = mailbox->Retrieve(n);
        return raw ? ReadReceivedMail(*raw) : ReceivedMail{};
      });
      const ReceivedMail mail = co_await fetch;
      const Sender sender = ClassifySender(mail.from, staff, settings.senderAddress);
      const bool staffMail = sender.kind != Sender::Kind::Other;
      if (!staffMail && !options.listOthers) continue;  // leaves no trace
      const int row = AddReceivedRow(c.state.received, n, mail, sender, staff, settings.identifier);
      if (staffMail ? options.staffBodies : options.otherBodies) {
        for (auto& line : BodyDisplayLines(c.state.received, row, mail, settings.identifier, true))
          c.state.bodyLines.push_back(std::move(line));
      }
    }
    OffThread<void> quit(c.runner, [mailbox] { mailbox->Quit(); });
    co_await quit;
    // With "未受信受信" and "連続受信" both on, the count stays where it was when
    // continuous reception began, so every run lists all that came since.
    if (!(options.unseenOnly && options.continuous)) c.settings.lastSeenCount = c.state.serverCount;
  } catch (const std::exception& e) {
    failure = FailureOf(e);
  }
  mailbox.reset();  // a session left without QUIT is closed; the server keeps every message
  CleanTempFiles(c.folder);
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
