#include "program/ConnectionCheck.h"

#include "base/DiagnosticLog.h"
#include "net/ServerTrust.h"
#include "send/SendRun.h"
#include "text/SjisUnicode.h"

namespace zentavo {

std::string DescribeCheck(std::string_view role, const std::string& server, const SessionSecurity* security,
                          const std::string& failure) {
  std::string text = std::string(role) + " " + Utf8ToSjis(server).text + "\r" + Sj("　");
  if (!security) return text + Sj("接続できませんでした：") + failure;
  text += security->tls ? Utf8ToSjis(security->version).text + Sj(" で暗号化しています。") : Sj("暗号化していません。");
  return text + Sj("ログインできました。");
}

namespace {

// The failure as the operator reads it: the security notice when there is
// one, else what the server said.
std::string Reason(const ServerFailure& failure) {
  return failure.notice.empty() ? Utf8ToSjis(failure.detail).text : failure.notice;
}

}  // namespace

RunTask CheckConnections(ConnectionCheckContext c) {
  if (c.running) co_return;
  c.running = true;
  const Settings settings = c.settings;
  c.op.Progress(Sj("接続を確認しています"));
  std::string summary;
  ServerFailure smtpFailure, popFailure;
  try {
    const SmtpAccount account = SmtpAccountFor(settings);
    OffThread<SessionSecurity> smtp(c.runner, [account, transport = c.smtp] { return transport->Check(account); });
    const SessionSecurity used = co_await smtp;
    KeepSessionSecurity(c.settings, c.folder, MailServer::Smtp, used);
    summary += DescribeCheck(Sj("送信(SMTP)サーバ"), settings.smtpHost + ":" + settings.smtpPort, &used, {});
  } catch (const std::exception& e) {
    smtpFailure = FailureOf(e);
    summary += DescribeCheck(Sj("送信(SMTP)サーバ"), settings.smtpHost + ":" + settings.smtpPort, nullptr,
                             Reason(smtpFailure));
  }
  try {
    OffThread<SessionSecurity> pop3(c.runner, [account = Pop3AccountFor(settings), transport = c.pop3] {
      std::unique_ptr<Mailbox> box = transport->Open(account);
      const SessionSecurity used = box->Security();
      box->Quit();
      return used;
    });
    const SessionSecurity used = co_await pop3;
    KeepSessionSecurity(c.settings, c.folder, MailServer::Pop3, used);
    summary += "\r" + DescribeCheck(Sj("受信(POP)サーバ"), settings.popHost + ":" + settings.popPort, &used, {});
  } catch (const std::exception& e) {
    popFailure = FailureOf(e);
    summary += "\r" + DescribeCheck(Sj("受信(POP)サーバ"), settings.popHost + ":" + settings.popPort, nullptr,
                                    Reason(popFailure));
  }
  c.op.Progress({});
  for (const auto* failure : {&smtpFailure, &popFailure})
    if (failure->failed) LogDiagnostic("connection check: " + failure->detail);
  Warn(c.op, Sj("接続確認の結果\r\r") + summary);
  // A certificate of the office's own server can be trusted now.
  if (smtpFailure.certificate)
    ReportServerFailure(c.op, Sj("送信(SMTP)サーバ"), smtpFailure, c.settings, c.folder, MailServer::Smtp);
  if (popFailure.certificate)
    ReportServerFailure(c.op, Sj("受信(POP)サーバ"), popFailure, c.settings, c.folder, MailServer::Pop3);
  KeepFailureSecurity(c.settings, c.folder, MailServer::Smtp, smtpFailure);
  KeepFailureSecurity(c.settings, c.folder, MailServer::Pop3, popFailure);
  c.running = false;
  c.finished();
}

}  // namespace zentavo
