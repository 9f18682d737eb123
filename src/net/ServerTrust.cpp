#include "net/ServerTrust.h"

#include "base/DiagnosticLog.h"
#include "net/SmtpTransport.h"
#include "text/SjisUnicode.h"

namespace zentavo {

namespace {

std::string KeyOf(const Settings& settings, MailServer server) {
  return server == MailServer::Smtp ? ServerKey("smtp", settings.smtpHost, settings.smtpPort)
                                    : ServerKey("pop3", settings.popHost, settings.popPort);
}

void Save(const Settings& settings, const DataFolder& folder) {
  try {
    SaveServerSecurity(folder.SecurityFile(), settings.security);
  } catch (const std::exception& e) {
    LogDiagnostic(std::string("the security file could not be written: ") + e.what());
  }
}

}  // namespace

ConnectionSecurity SecurityFor(const Settings& settings, MailServer server) {
  const ServerSecurity& s = settings.security;
  const std::string key = KeyOf(settings, server);
  const auto trusted = s.trusted.find(key);
  return {server == MailServer::Smtp ? s.smtp : s.pop3, s.tlsSeen.contains(key),
          trusted == s.trusted.end() ? "" : trusted->second};
}

namespace {

struct NotSignedIn : AccessTokenSource {
  std::string AccessToken(bool) override {
    throw MailServerError("no OAuth 2.0 sign-in",
                          Sj("OAuth 2.0 でサインインしていません。\r「システム設定」で「サインイン」してください。"));
  }
};

}  // namespace

std::shared_ptr<AccessTokenSource> TokensFor(const Settings& settings) {
  if (settings.security.oauth.method == AuthMethod::Password) return nullptr;
  return settings.tokens ? settings.tokens : std::make_shared<NotSignedIn>();
}

ServerFailure FailureOf(const std::exception& e) {
  ServerFailure failure{true, false, e.what(), {}, std::nullopt};
  if (const auto* smtp = dynamic_cast<const SmtpError*>(&e)) failure.handedOver = smtp->messageHandedOver;
  if (const auto* server = dynamic_cast<const MailServerError*>(&e)) {
    failure.notice = server->notice;
    failure.certificate = server->certificate;
    failure.offeredUpgrade = server->offeredUpgrade;
  }
  return failure;
}

void KeepFailureSecurity(Settings& settings, const DataFolder& folder, MailServer server,
                         const ServerFailure& failure) {
  SessionSecurity offered;
  offered.offeredUpgrade = failure.offeredUpgrade;
  KeepSessionSecurity(settings, folder, server, offered);
}

void KeepSessionSecurity(Settings& settings, const DataFolder& folder, MailServer server,
                         const SessionSecurity& security) {
  if (!security.offeredUpgrade || !settings.security.tlsSeen.insert(KeyOf(settings, server)).second) return;
  Save(settings, folder);
}

void ReportServerFailure(Operator& op, std::string_view message, const ServerFailure& failure, Settings& settings,
                         const DataFolder& folder, MailServer server) {
  KeepFailureSecurity(settings, folder, server, failure);
  if (!failure.certificate) {
    ReportFailure(op, std::string(message) + (failure.notice.empty() ? "" : "\r" + failure.notice), failure.detail);
    return;
  }
  const CertificateProblem& c = *failure.certificate;
  LogDiagnostic(failure.detail + " (fingerprint " + c.fingerprint + ")");
  const std::string question =
      std::string(message) + Sj("\r\rサーバの証明書を確かめられませんでした。\rサーバ：") + Utf8ToSjis(c.server).text +
      Sj("\r理由：") + c.reason + Sj("\r指紋(SHA-256)：") + c.fingerprint +
      Sj("\r\r自分たちのサーバで、この指紋がサーバの管理者の示すものと同じときに限り、信頼してください。"
         "\rこの証明書を信頼しますか？（信頼すると、次回からこの証明書で接続します）");
  if (c.fingerprint.empty() || !AskYesNo(op, question)) return;
  settings.security.trusted[KeyOf(settings, server)] = c.fingerprint;
  Save(settings, folder);
  LogDiagnostic("the operator trusts the certificate of " + c.server + " (" + c.fingerprint + ")");
}

}  // namespace zentavo
