#include "send/SendRun.h"

#include <exception>

#include "history/DeliveryRecord.h"
#include "history/TransmissionLogs.h"
#include "base/DiagnosticLog.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

void EndRun(SendContext& c) {
  c.run.running = false;
  c.op.SendRunEnded();
}

}  // namespace

void RecordBatchMessageId(const DataFolder& folder, std::string_view key, std::string_view identifier,
                          std::string_view mailNo, std::string_view messageId, std::string& failure) {
  if (key.empty()) return;
  try {
    AddSentMessageId(folder, key, identifier, mailNo, messageId);
  } catch (const std::exception& e) {
    failure = e.what();
  }
}

std::optional<std::string> FailedSendCheck(const Settings& settings, const SendPage& page,
                                           const Grid& recipients) {
  // Nothing is trimmed: a value of blanks counts as given.
  if (settings.smtpHost.empty()) return Sj("SMTPサーバが指定されていません");
  if (settings.smtpPort.empty()) return Sj("SMTPサーバのポートが指定されていません");
  if (settings.user.empty()) return Sj("ユーザ情報のユーザ名が指定されていません");
  // With an OAuth 2.0 sign-in there is no password.
  if (settings.password.empty() && settings.security.oauth.method == AuthMethod::Password)
    return Sj("ユーザ情報のパスワードが指定されていません");
  if (page.subject.empty()) return Sj("伝達件名が指定されていません");
  if (page.body.empty()) return Sj("伝達内容が指定されていません");
  if (recipients.RowCount() < 2 || RecipientCell(recipients, 0, 1).empty())
    return Sj("伝達者が指定されていません");
  if (settings.identifier.empty()) return Sj("伝達件名の識別が指定されていません");
  return std::nullopt;
}

OffThread<SessionSecurity> BatchSession(StepRunner& runner, std::shared_ptr<SmtpTransport> transport,
                                        const Settings& settings, BatchMail& mail) {
  return OffThread<SessionSecurity>(runner, [account = SmtpAccountFor(settings), envelope = mail.envelope,
                                             data = std::move(mail.data), transport = std::move(transport)] {
    return transport->Send(account, envelope, data);
  });
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

SmtpAccount SmtpAccountFor(const Settings& settings) {
  std::int32_t port = 0;
  if (!ParseInt32(settings.smtpPort, port) || port < 0 || port > 65535) {
    throw SmtpError("the SMTP port is not a port number");
  }
  return {settings.smtpHost, settings.smtpPort, settings.user, settings.password,
          SecurityFor(settings, MailServer::Smtp), TokensFor(settings)};
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
      const std::string_view entry = TrimBlanks(rest.substr(0, comma));
      if (!entry.empty()) addresses.emplace_back(entry);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return addresses;
}

BatchMail BuildBatchMail(const Settings& settings, const SendPage& page, const Grid& recipients,
                         std::string_view mailNo, std::string_view groupName,
                         const std::vector<std::string>& addresses, const LocalDateTime& now) {
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

RunTask SendNotice(SendContext c) {
  if (c.run.running) co_return;
  c.run.running = true;
  c.run.cancel = false;
  c.op.SendRunStarted();

  // The run works on the values as they stood when the button was pressed:
  // every batch of one notice carries the same subject, sender and options,
  // whatever happens on the other pages meanwhile.
  const Settings settings = c.settings;
  const SendPage page = c.page;
  const Grid recipients = c.recipients;

  c.run.sent = false;
  c.run.batchCount = 0;

  if (auto warning = FailedSendCheck(settings, page, recipients)) {
    Warn(c.op, *warning);
    EndRun(c);
    co_return;
  }

  bool go = false;
  if (settings.splitSend && settings.confirmSplit) {
    const SplitVerdict verdict = MakeSplitVerdict(recipients, settings.splitSize);
    c.run.batchCount = verdict.batchCount;
    go = c.op.ConfirmSplit(verdict);
  } else if (settings.splitSend) {
    c.run.batchCount = SplitBatchCount(CountAddressedRows(recipients), settings.splitSize);
    go = AskYesNo(c.op, Sj("分割送信の準備が完了しました\r送信を実行してよろしいですか？"));
  } else if ((go = AskYesNo(c.op, Sj("送信の準備が完了しました\r送信を実行してよろしいですか？")))) {
    c.run.batchCount = 1;
  }
  if (!go) {
    EndRun(c);
    co_return;
  }

  if (CountAddressedRows(recipients) == 0) {
    Warn(c.op, Sj("伝達者が選択されていません"));
    EndRun(c);
    co_return;
  }

  ServerFailure failure;
  std::string logFailure;
  bool progressOpen = false;
  std::string mailNo;
  std::string key;
  std::string takenMailNo;  // the last MailNo once this notice took its number
  try {
    c.op.ShowProgressWindow();
    progressOpen = true;
    c.op.Progress(Sj("処理を開始しました"));

    const std::optional<std::string> next = NextMailNo(settings.lastMailNo);
    if (!next) throw SmtpError("the last MailNo \"" + settings.lastMailNo + "\" is not a number");
    mailNo = *next;
    c.page.shownMailNo = mailNo;
    c.op.Progress(settings.identifier + mailNo + Sj("を送信します"));

    // The number and the record of the notice are stored before anything
    // leaves: whatever cuts the run short later (a crash, the session
    // ending), the next notice gets a new number and the logs say who was
    // addressed. The text log holds the operator's text until the last
    // batch has gone.
    AdvanceMailNo(c.settings, c.folder.SettingsFile());
    takenMailNo = c.settings.lastMailNo;
    try {
      key = WriteTransmissionLogs(c.folder, settings.identifier, mailNo, page.subject, recipients, page.body,
                                  c.clock());
    } catch (const std::exception& e) {
      logFailure = e.what();
    }

    const int batches = c.run.batchCount;
    const int limit = settings.splitSend ? settings.splitSize : 0;
    int cursor = 0;
    for (int b = 1; b <= batches && !c.run.cancel; ++b) {
      if (batches != 1) {
        c.op.Progress(std::to_string(b) + "/" + std::to_string(batches) + Sj("を送信しています"));
      }
      const std::vector<std::string> addresses = TakeBatch(recipients, cursor, limit);
      BatchMail mail = BuildBatchMail(settings, page, recipients, mailNo, page.group, addresses, c.clock());
      RecordBatchMessageId(c.folder, key, settings.identifier, mailNo, mail.messageId, logFailure);
      OffThread<SessionSecurity> session = BatchSession(c.runner, c.transport, settings, mail);
      const SessionSecurity used = co_await session;
      KeepSessionSecurity(c.settings, c.folder, MailServer::Smtp, used);
      c.run.sent = true;
      if (b == batches) {
        c.page.body = std::move(mail.composed);
        if (!key.empty()) {
          try {
            RewriteTextLog(c.folder, key, c.page.body);
          } catch (const std::exception& e) {
            logFailure = e.what();
          }
        }
        if (!c.run.cancel) {
          c.op.Progress(settings.identifier + mailNo + Sj("は正常に送信しました"));
          // Long enough to read before the window goes.
          Pause readable(c.runner, 1000);
          co_await readable;
        }
        c.op.CloseProgressWindow();
        progressOpen = false;
      }
    }
  } catch (const std::exception& e) {
    failure = FailureOf(e);
  }
  // The progress window goes first, so that the warning stands alone.
  if (progressOpen) c.op.CloseProgressWindow();

  if (failure.failed && !c.run.sent && !failure.handedOver && !takenMailNo.empty()) {
    // Nothing can have gone out: the number is free again and there is no
    // notice to record. (Unless something else took a number meanwhile.)
    if (c.settings.lastMailNo == takenMailNo) {
      c.settings.lastMailNo = settings.lastMailNo;
      try {
        SaveSettings(c.folder.SettingsFile(), c.settings);
      } catch (const std::exception& e) {
        LogDiagnostic(std::string("the MailNo could not be given back: ") + e.what());
      }
    }
    if (!key.empty()) RemoveTransmissionLogs(c.folder, key);
    logFailure.clear();
  }
  if (c.run.sent || failure.handedOver) c.page.shownMailNo = MailNoShownAfterSend(mailNo);
  if (c.run.sent) c.run.settled = SendPageContentOf(c.page, c.recipients);

  // While the program ends nobody is there to read a box.
  if (!c.run.cancel) {
    if (failure.failed) {
      ReportServerFailure(c.op, Sj("伝達の送信に失敗しました"), failure, c.settings, c.folder, MailServer::Smtp);
    }
    if (c.run.sent && HasUnregistered(recipients)) c.op.ShowUnregistered(UnregisteredRows(recipients));
    if (!logFailure.empty()) ReportFailure(c.op, Sj("ログの出力に失敗しました"), logFailure);
  } else if (failure.failed) {
    LogDiagnostic(failure.detail);
  }
  EndRun(c);
}

}  // namespace zentavo
