#include "send/SendRun.h"

#include <exception>

#include "base/DiagnosticLog.h"
#include "history/DeliveryRecord.h"
#include "history/TransmissionLogs.h"
#include "send/SplitSend.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

void EndRun(SendContext& c) {
  c.run.running = false;
  c.op.SendRunEnded();
}

}  // namespace

std::optional<std::string> FailedSendCheck(const Settings& settings, const SendPage& page, const Grid& recipients) {
  // Nothing is trimmed: a value of blanks counts as given.
  if (settings.smtpHost.empty()) return Sj("SMTPサーバが指定されていません");
  if (settings.smtpPort.empty()) return Sj("SMTPサーバのポートが指定されていません");
  if (settings.user.empty()) return Sj("ユーザ情報のユーザ名が指定されていません");
  // With an OAuth 2.0 sign-in there is no password.
  if (settings.password.empty() && settings.security.oauth.method == AuthMethod::Password)
    return Sj("ユーザ情報のパスワードが指定されていません");
  if (page.subject.empty()) return Sj("伝達件名が指定されていません");
  if (page.body.empty()) return Sj("伝達内容が指定されていません");
  if (recipients.RowCount() < 2 || RecipientCell(recipients, 0, 1).empty()) return Sj("伝達者が指定されていません");
  if (settings.identifier.empty()) return Sj("伝達件名の識別が指定されていません");
  return std::nullopt;
}

SendPageContent SendPageContentOf(const SendPage& page, const Grid& recipients) {
  SendPageContent content{page.group, page.subject, page.body, {}};
  for (int r = recipients.fixedRows; r < recipients.RowCount(); ++r) {
    if (!recipients.RowEmpty(r)) content.recipients.push_back(recipients.rows[r]);
  }
  return content;
}

bool HoldsUnsentNotice(const SendPage& page, const Grid& recipients, const SendRunState& run) {
  const SendPageContent content = SendPageContentOf(page, recipients);
  bool blank = content.group.empty() && content.subject.empty() && content.recipients.empty();
  for (const auto& line : content.body) blank = blank && line.empty();
  return !blank && content != run.settled;
}

namespace {

// The checks and the operator's go-ahead: the number of batches, or none
// when the run ends here.
std::optional<int> AskToSend(SendContext& c, const Settings& settings, const SendPage& page, const Grid& recipients) {
  if (auto warning = FailedSendCheck(settings, page, recipients)) {
    Warn(c.op, *warning);
    return std::nullopt;
  }
  int batches = 0;
  bool go = false;
  if (settings.splitSend && settings.confirmSplit) {
    const SplitVerdict verdict = MakeSplitVerdict(recipients, settings.splitSize);
    batches = verdict.batchCount;
    c.run.batchCount = batches;
    go = c.op.ConfirmSplit(verdict);
  } else if (settings.splitSend) {
    batches = SplitBatchCount(CountAddressedRows(recipients), settings.splitSize);
    go = AskYesNo(c.op, Sj("分割送信の準備が完了しました\r送信を実行してよろしいですか？"));
  } else {
    batches = 1;
    go = AskYesNo(c.op, Sj("送信の準備が完了しました\r送信を実行してよろしいですか？"));
  }
  if (!go) return std::nullopt;
  if (CountAddressedRows(recipients) == 0) {
    Warn(c.op, Sj("伝達者が選択されていません"));
    return std::nullopt;
  }
  return batches;
}

// What the operator hears once the run is over. While the program ends
// nobody is there to read a box.
void ReportSend(SendContext& c, const NoticeSent& sent, const Grid& recipients) {
  if (c.run.cancel) {
    if (sent.failure.failed) LogDiagnostic(sent.failure.detail);
    return;
  }
  if (sent.failure.failed) {
    ReportServerFailure(c.op, Sj("伝達の送信に失敗しました"), sent.failure, c.settings, c.folder, MailServer::Smtp);
  }
  if (sent.sent > 0 && HasUnregistered(recipients)) c.op.ShowUnregistered(UnregisteredRows(recipients));
  if (!sent.logFailure.empty() && sent.anythingOut())
    ReportFailure(c.op, Sj("ログの出力に失敗しました"), sent.logFailure);
}

}  // namespace

RunTask SendNotice(SendContext c) {
  if (c.run.running) co_return;
  c.run.running = true;
  c.run.cancel = false;
  c.op.SendRunStarted();

  // The run works on the values as they stood when the button was pressed:
  // every batch of one notice carries the same subject, sender and options,
  // whatever happens on the other pages meanwhile.
  NoticeOut n{c.settings, c.page, c.recipients, c.page.group, 1, {}};
  c.run.sent = false;
  c.run.batchCount = 0;
  const std::optional<int> batches = AskToSend(c, n.settings, n.page, n.recipients);
  if (!batches) {
    EndRun(c);
    co_return;
  }
  n.batches = c.run.batchCount = *batches;

  c.op.ShowProgressWindow();
  c.op.Progress(Sj("処理を開始しました"));
  NoticeSent sent;
  if (std::optional<TakenMailNo> taken = TakeMailNo(c.settings, c.folder, std::nullopt)) {
    n.mailNo = *taken;
    c.page.shownMailNo = taken->mailNo;
    c.op.Progress(n.settings.identifier + taken->mailNo + Sj("を送信します"));
    Task<NoticeSent> out =
        SendNoticeOut({c.folder, c.settings, c.run, c.transport, c.runner, c.clock,
                       [&c](int b, int of) {
                         if (of != 1)
                           c.op.Progress(std::to_string(b) + "/" + std::to_string(of) + Sj("を送信しています"));
                       }},
                      n);
    sent = co_await out;
  } else {
    sent.failure = FailureOf(SmtpError("the last MailNo \"" + c.settings.lastMailNo + "\" is not a number"));
  }
  c.run.sent = sent.sent > 0;
  if (sent.complete() && !c.run.cancel) {
    c.page.body = sent.composed;
    c.op.Progress(n.settings.identifier + n.mailNo.mailNo + Sj("は正常に送信しました"));
    Pause readable(c.runner, 1000);  // long enough to read before the window goes
    co_await readable;
  } else if (sent.complete()) {
    c.page.body = sent.composed;
  }
  c.op.CloseProgressWindow();  // first, so that a warning stands alone
  if (sent.anythingOut()) c.page.shownMailNo = MailNoShownAfterSend(n.mailNo.mailNo);
  if (c.run.sent) c.run.settled = SendPageContentOf(c.page, c.recipients);
  ReportSend(c, sent, n.recipients);
  EndRun(c);
}

}  // namespace zentavo
