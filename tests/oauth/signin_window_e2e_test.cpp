// The whole program signing in by OAuth 2.0 against the stack: "サインイン"
// on the settings page opens the stand-in browser (tests/oauth/bin), a
// notice goes out over SMTP with STARTTLS and the reply comes in over POP3
// in TLS, both logged in with the token, and the refresh token is in the
// test's private keyring (with-keyring.sh) and in no file of the data
// folder.
#include <QTest>
#include <QtWidgets>

#include <fstream>
#include <iterator>

#include "e2e/MailStack.h"
#include "net/SmtpTransport.h"
#include "oauth/OAuthProvider.h"
#include "oauth/TokenStore.h"
#include "support/SendDoubles.h"
#include "support/WindowDriver.h"
#include "ui/Application.h"

using namespace zentavo;
using test::Run, test::S, test::U;

class SignInWindowE2ETest : public QObject {
  Q_OBJECT

 private slots:
  void signsInSendsAndReceivesWithTokensKeptOutOfTheDataFolder() {
    const e2e::MailStack stack = e2e::MailStack::FromEnvironment();
    if (!stack.unavailable.empty()) QSKIP(("no mail stack: " + stack.unavailable).c_str());
    stack.ControlOAuth(R"({"reset": true})");
    test::TempFolder dir, config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path().string()));
    Run run(dir.path());
    Settings& s = run.state.settings;
    s.smtpHost = s.popHost = "127.0.0.1";
    s.smtpPort = stack.smtpStartTlsPort;
    s.popPort = stack.pop3sPort;
    s.security.smtp = Security::StartTls;
    s.security.pop3 = Security::Tls;
    s.user = s.senderAddress = stack.office();
    s.security.oauth = {AuthMethod::Manual,  stack.oauthClientId, "", "", stack.oauthAuthorizeUrl,
                        stack.oauthTokenUrl, stack.oauthScope};
    run.window->refreshAll();
    run.Get<QPushButton>("signInButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(run.Get<QLabel>("signInStatus")->text().startsWith(QStringLiteral("サインインしました")),
                             30000);

    const std::string marker = e2e::UniqueMarker("signin");
    run.state.send.subject = S("会議");
    run.state.send.body = {S("出欠を返信してください"), marker};
    run.state.recipients.rows[1] = {S("職員"), stack.staff(3), ""};
    test::RecordingSendOperator sendOp;  // answers the send's question
    run.window->setSendBackends(nullptr, nullptr, &sendOp);
    run.window->refreshAll();
    run.Get<QTabWidget>("pages")->setCurrentIndex(0);
    run.Get<QPushButton>("sendButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!run.state.run.running && run.state.run.sent, 30000);
    QCOMPARE(stack.Await(stack.staff(3), marker, 1).size(), size_t(1));

    const std::string reply = "From: " + stack.staff(3) + "\r\nSubject: Re: MailNo" + s.lastMailNo + "_meeting" +
                              "\r\nDate: Mon, 07 Dec 2026 09:00:00 +0900\r\n\r\n" + marker + "\r\n";
    PocoSmtpTransport().Send({stack.smtpHost, stack.smtpPort, stack.staff(3), stack.password, {}},
                             {stack.staff(3), {stack.office()}}, reply);
    QCOMPARE(stack.Await(stack.office(), marker, 1).size(), size_t(1));
    run.state.staff.grid.rows[1] = {S("職員"), stack.staff(3), ""};
    run.Get<QTabWidget>("pages")->setCurrentIndex(1);
    run.Get<QPushButton>("receiveButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!run.state.reception.running && run.state.reception.recorded.recorded == 1, 30000);

    // The refresh token is in the keyring, and in no file of the data folder.
    const auto stored = TokenStore().Load({s.user, ClientFor(s.security.oauth).endpoints.tokenUrl});
    QVERIFY(stored && stored->place == TokenPlace::Keyring);
    for (const auto& file : std::filesystem::recursive_directory_iterator(dir.path())) {
      if (!file.is_regular_file()) continue;
      std::ifstream in(file.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      QVERIFY2(bytes.find(stored->token) == std::string::npos, file.path().c_str());
    }
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ui::SetUpJapanese(app);
  SignInWindowE2ETest test;
  return QTest::qExec(&test, argc, argv);
}

#include "signin_window_e2e_test.moc"
