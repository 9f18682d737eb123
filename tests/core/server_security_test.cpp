// How each server is spoken to: the plan by choice and port, the security
// file, and what the runs keep of a session or ask the operator.
#include <gtest/gtest.h>

#include "net/ServerTrust.h"
#include "net/SmtpTransport.h"
#include "program/ConnectionCheck.h"
#include "program/Lifecycle.h"
#include "support/ReceiveDoubles.h"
#include "support/SendDoubles.h"

namespace zentavo {
namespace {

TEST(ServerSecurity, PlanByChoicePortAndHistory) {
  const struct {
    Security mode;
    bool seen;
    std::uint16_t port;
    TlsPlan plan;
  } rows[] = {
      {Security::Automatic, false, 465, TlsPlan::Implicit},
      {Security::Automatic, false, 587, TlsPlan::Upgrade},
      {Security::Automatic, false, 25, TlsPlan::Opportunistic},
      {Security::Automatic, true, 25, TlsPlan::Upgrade},
      {Security::None, true, 465, TlsPlan::Clear},
      {Security::StartTls, false, 465, TlsPlan::Upgrade},
      {Security::Tls, false, 25, TlsPlan::Implicit},
  };
  for (const auto& r : rows) { EXPECT_EQ(PlanTls({r.mode, r.seen, ""}, r.port, 465, 587), r.plan) << r.port; }
  EXPECT_EQ(PlanTls({}, 995, 995, 0), TlsPlan::Implicit);
  EXPECT_EQ(PlanTls({}, 110, 995, 0), TlsPlan::Opportunistic);
}

TEST(ServerSecurity, FileRunsAndTheOperatorsTrust) {
  test::TempFolder dir;
  DataFolder folder(dir.path());
  Settings settings;
  settings.smtpHost = "Mail.Example.JP";
  settings.smtpPort = "587";
  settings.popHost = "mail.example.jp";
  settings.popPort = "995";
  settings.security.smtp = Security::StartTls;

  // A session that found STARTTLS offered pins the server; one that did
  // not changes nothing.
  KeepSessionSecurity(settings, folder, MailServer::Pop3, {true, false, "TLSv1.3", "x"});
  EXPECT_FALSE(std::filesystem::exists(folder.SecurityFile()));
  KeepSessionSecurity(settings, folder, MailServer::Smtp, {true, true, "TLSv1.3", "x"});
  EXPECT_TRUE(SecurityFor(settings, MailServer::Smtp).tlsSeen);

  // A certificate not accepted is put to the operator with the server, the
  // reason and the fingerprint; only "yes" keeps it, for that server.
  SmtpError refused(
      "TLS: the certificate of mail.example.jp:995 is not accepted: self-signed certificate",
      MailServerError({}, {}, CertificateProblem{"mail.example.jp:995", "self-signed certificate", "AB:CD"}));
  test::ScriptedOperator op;
  op.answers = {MsgAnswer::No, MsgAnswer::Yes};
  for (int i = 0; i < 2; ++i)
    ReportServerFailure(op, S("受信メール確認中にエラーが発生しました"), FailureOf(refused), settings, folder,
                        MailServer::Pop3);
  ASSERT_EQ(op.Texts().size(), 2u);
  for (const std::string& fragment : {"mail.example.jp:995", "self-signed certificate", "AB:CD", "信頼しますか"})
    EXPECT_NE(op.Texts()[0].find(fragment), std::string::npos) << fragment;
  EXPECT_EQ(SecurityFor(settings, MailServer::Pop3).trustedFingerprint, "AB:CD");
  EXPECT_EQ(SecurityFor(settings, MailServer::Smtp).trustedFingerprint, "");

  // The file holds it all, host names in lower case; the 17-line settings
  // file knows nothing of it.
  Settings reread;
  EXPECT_EQ(LoadServerSecurity(folder.SecurityFile(), reread.security), ReadResult::Whole);
  EXPECT_EQ(reread.security.smtp, Security::StartTls);
  EXPECT_EQ(reread.security.tlsSeen, (std::set<std::string>{"smtp mail.example.jp:587"}));
  EXPECT_EQ(reread.security.trusted, (std::map<std::string, std::string>{{"pop3 mail.example.jp:995", "AB:CD"}}));
  EXPECT_EQ(test::Deciphered(folder.SecurityFile()),
            (std::vector<std::string>{"SMTP,STARTTLS", "POP3,AUTO", "TRUST,AB:CD,pop3 mail.example.jp:995",
                                      "SEEN,smtp mail.example.jp:587"}));

  // Other failures show the security notice under the run's message; a
  // server that offered TLS before it failed is held to it at once.
  test::ScriptedOperator told;
  SmtpError failed("x", MailServerError({}, S("暗号化せずには接続しません。")));
  failed.offeredUpgrade = true;
  settings.popHost = "other.example.jp";
  ReportServerFailure(told, S("伝達の送信に失敗しました"), FailureOf(failed), settings, folder, MailServer::Pop3);
  EXPECT_EQ(told.Texts(), (std::vector<std::string>{"伝達の送信に失敗しました\r暗号化せずには接続しません。"}));
  EXPECT_TRUE(SecurityFor(settings, MailServer::Pop3).tlsSeen);

  // The sign-in settings travel in the same file, values with commas whole.
  settings.security.oauth = {AuthMethod::Manual, "id,1", "t", "", "https://a/x?b=1,2", "https://a/t", "s1 s2"};
  SaveServerSecurity(folder.SecurityFile(), settings.security);
  EXPECT_EQ(LoadServerSecurity(folder.SecurityFile(), reread.security), ReadResult::Whole);
  EXPECT_EQ(reread.security.oauth, settings.security.oauth);
}

// "接続確認": each server's TLS and login, or why not, in one summary; the
// sessions send and fetch nothing.
TEST(ServerSecurity, ConnectionCheckSaysWhatEachServerDid) {
  test::TempFolder dir;
  DataFolder folder(dir.path());
  Settings settings = test::FakeServerSettings("999");
  settings.popHost = "pop.example.jp";
  auto smtp = std::make_shared<test::FakeTransport>();
  smtp->security = {true, true, "TLSv1.3", "x"};
  auto pop3 = std::make_shared<test::FakePop3Transport>();
  pop3->failOn = "OPEN";
  test::ScriptedOperator op;
  InlineStepRunner runner;
  bool running = false;
  CheckConnections({folder, settings, op, smtp, pop3, runner, running});
  ASSERT_EQ(op.Texts().size(), 1u);
  EXPECT_EQ(op.Texts()[0],
            "接続確認の結果\r\r送信(SMTP)サーバ " + settings.smtpHost + ":" + settings.smtpPort +
                "\r　TLSv1.3 で暗号化しています。ログインできました。\r受信(POP)サーバ pop.example.jp:110"
                "\r　接続できませんでした：login refused: -ERR [AUTH] Authentication failed.");
  EXPECT_TRUE(smtp->batches.empty());
  EXPECT_EQ(pop3->commands, std::vector<std::string>{"OPEN " + settings.user});
  EXPECT_TRUE(SecurityFor(settings, MailServer::Smtp).tlsSeen);  // it offered STARTTLS
  EXPECT_FALSE(running);
}

}  // namespace
}  // namespace zentavo
