#include "send/NoticeSend.h"
#include "text/Ascii.h"

#include "base/DiagnosticLog.h"
#include "history/DeliveryRecord.h"
#include "history/TransmissionLogs.h"
#include "send/NoticeMessage.h"
#include "send/SendJournal.h"
#include "store/Recipients.h"

namespace zentavo {

namespace {

// The SMTP session of one batch, for the run to await by name. The session
// sees copies of its values (the message text is moved out of `mail`) and
// its own share of the transport, nothing of the window's state.
OffThread<SessionSecurity> BatchSession(StepRunner& runner, std::shared_ptr<SmtpTransport> transport,
                                        const Settings& settings, BatchMail& mail) {
  return OffThread<SessionSecurity>(
      runner, [account = SmtpAccountFor(settings), envelope = mail.envelope, data = std::move(mail.data),
               transport = std::move(transport)] { return transport->Send(account, envelope, data); });
}

// Nothing went out: no notice to record, and a number drawn for it is free
// again (unless something else took a number meanwhile).
void Withdraw(NoticeSendContext& c, const NoticeOut& n, const NoticeSent& sent) {
  if (n.mailNo.drawn && c.settings.lastMailNo == n.mailNo.mailNo) {
    c.settings.lastMailNo = n.mailNo.lastBefore;
    try {
      SaveSettings(c.folder.SettingsFile(), c.settings);
    } catch (const std::exception& e) { LogDiagnostic(std::string("the MailNo could not be given back: ") + e.what()); }
  }
  if (!sent.key.empty()) RemoveTransmissionLogs(c.folder, sent.key);
}

// The logs, the record of each message id and the journal before anything
// leaves.
void Prepare(NoticeSendContext& c, const NoticeOut& n, NoticeSent& sent) {
  try {
    sent.key = WriteTransmissionLogs(c.folder, n.settings.identifier, n.mailNo.mailNo, n.page.subject, n.recipients,
                                     n.page.body, c.clock());
  } catch (const std::exception& e) { sent.logFailure = e.what(); }
  WriteSendJournal(c.folder, {sent.key, 0, n.batches});
}

void RecordMessageId(NoticeSendContext& c, const NoticeOut& n, NoticeSent& sent, const std::string& id) {
  if (sent.key.empty()) return;
  try {
    AddSentMessageId(c.folder, sent.key, n.settings.identifier, n.mailNo.mailNo, id);
  } catch (const std::exception& e) { sent.logFailure = e.what(); }
}

// After the run: the text log holds the body as sent, and the journal goes
// unless the program ended with the notice out only in part, for the next
// start to say so.
void Conclude(NoticeSendContext& c, const NoticeOut& n, NoticeSent& sent) {
  if (sent.complete() && !sent.key.empty()) {
    try {
      RewriteTextLog(c.folder, sent.key, sent.composed);
    } catch (const std::exception& e) { sent.logFailure = e.what(); }
  }
  if (!sent.anythingOut()) Withdraw(c, n, sent);
  const bool cutShort = c.run.cancel && sent.anythingOut() && !sent.complete();
  if (cutShort) {
    LogDiagnostic("notice " + n.settings.identifier + n.mailNo.mailNo + " went out in part when the program ended: " +
                  std::to_string(sent.sent) + " of " + std::to_string(n.batches) + " batches");
  } else {
    RemoveSendJournal(c.folder);
  }
}

}  // namespace

SmtpAccount SmtpAccountFor(const Settings& settings) {
  std::int32_t port = 0;
  if (!ParseInt32(settings.smtpPort, port) || port < 0 || port > 65535) {
    throw SmtpError("the SMTP port is not a port number");
  }
  return {
      settings.smtpHost,  settings.smtpPort, settings.user, settings.password, SecurityFor(settings, MailServer::Smtp),
      TokensFor(settings)};
}

std::vector<std::string> TakeBatch(const Grid& recipients, int& cursor, int limit) {
  std::vector<std::string> addresses;
  int taken = 0;
  while (cursor + 1 < recipients.RowCount() && (limit <= 0 || taken < limit)) {
    ++cursor;
    const std::string& cell = RecipientCell(recipients, 1, cursor);
    if (cell.empty()) continue;
    ++taken;
    std::string_view rest = cell;
    while (true) {
      const size_t comma = rest.find(',');
      const std::string_view entry = TrimAscii(rest.substr(0, comma));
      if (!entry.empty()) addresses.emplace_back(entry);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return addresses;
}

BatchMail BuildBatchMail(const Settings& settings, const SendPage& page, const Grid& recipients,
                         std::string_view mailNo, std::string_view groupName, const std::vector<std::string>& addresses,
                         const LocalDateTime& now) {
  NoticeMessage message = BuildNoticeMessage(settings, page, mailNo);
  message.bcc = addresses;
  if (page.copyToSelf) message.to.push_back(settings.senderAddress);
  BatchMail mail;
  mail.composed = ComposeNoticeBody(page, recipients, groupName, now);
  message.body = ConvertBodyToJis(mail.composed);
  mail.envelope = NoticeEnvelope(message);
  message.messageId = mail.messageId = NewMessageId(message.from);
  // A server refuses DATA without a recipient anyway; say so before
  // connecting.
  if (mail.envelope.recipients.empty()) throw SmtpError("the batch has no recipient");
  mail.data = RenderNoticeMessage(message, now);
  return mail;
}

std::optional<TakenMailNo> TakeMailNo(Settings& settings, const DataFolder& folder,
                                      const std::optional<std::string>& booked) {
  TakenMailNo taken{booked.value_or(""), false, settings.lastMailNo, true};
  if (booked) return taken;  // the booking took it from the counter already
  const std::optional<std::string> next = NextMailNo(settings.lastMailNo);
  if (!next) return std::nullopt;
  taken.mailNo = *next;
  taken.drawn = true;
  taken.saved = AdvanceMailNo(settings, folder.SettingsFile());
  return taken;
}

Task<NoticeSent> SendNoticeOut(NoticeSendContext c, NoticeOut n) {
  NoticeSent sent;
  sent.batches = n.batches;
  Prepare(c, n, sent);
  try {
    const int limit = n.settings.splitSend ? n.settings.splitSize : 0;
    int cursor = 0;
    for (int b = 1; b <= n.batches && !c.run.cancel; ++b) {
      c.beforeBatch(b, n.batches);
      const std::vector<std::string> addresses = TakeBatch(n.recipients, cursor, limit);
      BatchMail mail = BuildBatchMail(n.settings, n.page, n.recipients, n.mailNo.mailNo, n.group, addresses, c.clock());
      RecordMessageId(c, n, sent, mail.messageId);
      OffThread<SessionSecurity> session = BatchSession(c.runner, c.transport, n.settings, mail);
      const SessionSecurity used = co_await session;
      KeepSessionSecurity(c.settings, c.folder, MailServer::Smtp, used);
      ++sent.sent;
      WriteSendJournal(c.folder, {sent.key, sent.sent, n.batches});
      if (b == n.batches) sent.composed = std::move(mail.composed);
    }
  } catch (const std::exception& e) {
    sent.failure = FailureOf(e);
    KeepFailureSecurity(c.settings, c.folder, MailServer::Smtp, sent.failure);
  }
  Conclude(c, n, sent);
  co_return sent;
}

}  // namespace zentavo
