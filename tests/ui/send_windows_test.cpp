// The send run's windows, and the send button wired to the run with a fake
// server in place of the real one.
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <future>
#include <thread>

#include "send/SendRun.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#include "ui/QtStepRunner.h"
#include "ui/QtText.h"
#include "ui/SendWindows.h"

namespace fs = std::filesystem;
using namespace zentavo;
using namespace zentavo::ui;
using zentavo::test::S;

namespace {

struct FakeServer : SmtpTransport {
  void Send(const SmtpAccount&, const SmtpEnvelope& envelope, const std::string& data) override {
    batches.push_back(envelope);
    messages.push_back(data);
  }
  std::vector<SmtpEnvelope> batches;
  std::vector<std::string> messages;
};

// Holds each step until released, like a worker whose answer is not back.
struct HeldRunner : StepRunner {
  void Start(std::function<void()> work, std::function<void()> done) override {
    pending.emplace_back(std::move(work), std::move(done));
  }
  void After(int, std::function<void()> done) override { pending.emplace_back([] {}, std::move(done)); }
  void ReleaseAll() {
    while (!pending.empty()) {
      auto [work, done] = std::move(pending.front());
      pending.erase(pending.begin());
      work();
      done();
    }
  }
  std::vector<std::pair<std::function<void()>, std::function<void()>>> pending;
};

struct ScriptedSendOperator : SendOperator {
  MsgAnswer Message(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons,
                    std::string_view detail) override {
    return boxes.Message(caption, text, icon, buttons, detail);
  }
  void Progress(std::string_view text) override { boxes.Progress(text); }
  std::optional<fs::path> ChooseOpenFile(const FileChoice& c) override { return boxes.ChooseOpenFile(c); }
  std::optional<fs::path> ChooseSaveFile(const FileChoice& c) override { return boxes.ChooseSaveFile(c); }
  void SendRunStarted() override {
    ++started;
    if (window) lockedDuringRun = !window->TabSheet1->isEnabled();
  }
  void SendRunEnded() override { ++ended; }
  void ShowProgressWindow() override {}
  void CloseProgressWindow() override {}
  bool ConfirmSplit(const SplitVerdict&) override { return true; }
  void ShowUnregistered(const std::vector<UnregisteredRow>& rows) override { unregistered = rows; }

  test::ScriptedOperator boxes;
  MainWindow* window = nullptr;
  int started = 0, ended = 0;
  bool lockedDuringRun = false;
  std::vector<UnregisteredRow> unregistered;
};

}  // namespace

class SendWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void splitConfirmationSaysTheVerdictAndDecides() {
    Grid g(3, 40);
    for (int r = 1; r <= 31; ++r) g.Cell(1, r) = "a" + std::to_string(r) + "@x";
    SplitVerdict verdict = MakeSplitVerdict(g, 30);
    SplitConfirmWindow window(verdict);
    QCOMPARE(window.windowTitle(), QStringLiteral("分割送信"));
    QCOMPARE(window.Panel1->text(), QStringLiteral("2分割で送信します。"));
    QCOMPARE(window.SpeedButton1->text(), QStringLiteral("送信実行"));
    QCOMPARE(window.SpeedButton2->text(), QStringLiteral("キャンセル"));
    QTimer::singleShot(0, window.SpeedButton1, &QPushButton::click);
    QCOMPARE(window.exec(), int(QDialog::Accepted));
    QTimer::singleShot(0, window.SpeedButton2, &QPushButton::click);
    QCOMPARE(window.exec(), int(QDialog::Rejected));
    QTimer::singleShot(0, &window, &QDialog::close);  // closing counts as "キャンセル"
    QCOMPARE(window.exec(), int(QDialog::Rejected));
  }

  void unregisteredListShowsTheFirst99() {
    std::vector<UnregisteredRow> rows;
    for (int i = 0; i < 120; ++i) rows.push_back({S("職員") + std::to_string(i), "", std::to_string(i)});
    UnregisteredWindow window(rows);
    QCOMPARE(window.windowTitle(), QStringLiteral("未送信"));
    QCOMPARE(window.StringGrid1->rowCount(), 99);
    QCOMPARE(window.StringGrid1->horizontalHeaderItem(1)->text(), QStringLiteral("メールアドレス"));
    QCOMPARE(window.StringGrid1->item(98, 0)->text(), QStringLiteral("職員98"));
    QCOMPARE(window.StringGrid1->item(98, 2)->text(), QStringLiteral("98"));
  }

  // The send button runs the notice through the run; the send page is
  // locked until the run ends, and a second press meanwhile does nothing.
  void sendButtonRunsTheNoticeAndLocksThePage() {
    test::TempFolder dir;
    AppState state;
    state.folder = DataFolder(dir.path(), "zentavo");
    MainWindow window(state);
    test::ScriptedOperator op;
    window.setOperator(&op);
    window.FormCreate();
    auto serverShare = std::make_shared<FakeServer>();
    FakeServer& server = *serverShare;
    HeldRunner runner;
    ScriptedSendOperator sendOp;
    sendOp.window = &window;
    window.setSendBackends(serverShare, &runner, &sendOp);

    window.Edit3->setText(QStringLiteral("smtp.example.jp"));
    window.Edit8->setText(QStringLiteral("user"));
    window.MaskEdit1->setText(QStringLiteral("pw"));
    window.Edit11->setText(QStringLiteral("soumu@example.jp"));
    window.Edit1->setText(QStringLiteral("会議"));
    window.Memo1->setPlainText(QStringLiteral("本日は会議です"));
    state.recipients.Cell(0, 1) = S("山田");
    state.recipients.Cell(1, 1) = "yamada@example.jp";
    state.recipients.Cell(0, 2) = S("佐藤");  // no address
    window.RefreshAll();

    window.SpeedButton3->click();
    QCOMPARE(sendOp.started, 1);
    QVERIFY(sendOp.lockedDuringRun || !window.TabSheet1->isEnabled());
    window.SpeedButton3Click();  // pressed again while the first run waits
    QCOMPARE(sendOp.started, 1);
    runner.ReleaseAll();
    QCOMPARE(sendOp.ended, 1);
    QVERIFY(window.TabSheet1->isEnabled());
    QCOMPARE(server.batches.size(), size_t(1));
    QCOMPARE(server.batches[0].recipients, std::vector<std::string>{"yamada@example.jp"});
    QCOMPARE(window.Edit9->text(), QStringLiteral("1000"));
    QVERIFY(window.Memo1->toPlainText().startsWith(QStringLiteral("本日は会議です\n \nSEND:")));
    QCOMPARE(sendOp.unregistered.size(), size_t(1));
    QCOMPARE(sendOp.unregistered[0].name, S("佐藤"));
    window.FormDestroy();
  }

  // With the real runner the session runs on a worker thread: the window's
  // event loop keeps turning while the server takes its time, and the run
  // goes on on the window's thread afterwards.
  void sessionRunsOffTheWindowThread() {
    test::TempFolder dir;
    AppState state;
    state.folder = DataFolder(dir.path(), "zentavo");
    MainWindow window(state);
    test::ScriptedOperator op;
    window.setOperator(&op);
    window.FormCreate();

    struct SlowServer : SmtpTransport {
      void Send(const SmtpAccount&, const SmtpEnvelope&, const std::string&) override {
        sessionThread = std::this_thread::get_id();
        release.get_future().wait();
      }
      std::promise<void> release;
      std::atomic<std::thread::id> sessionThread{};
    };
    auto serverShare = std::make_shared<SlowServer>();
    SlowServer& server = *serverShare;
    QtStepRunner runner;
    ScriptedSendOperator sendOp;
    window.setSendBackends(serverShare, &runner, &sendOp);
    state.settings.smtpHost = "smtp.example.jp";
    state.settings.user = "user";
    state.settings.password = "pw";
    state.settings.senderAddress = "soumu@example.jp";
    state.send.subject = S("会議");
    state.send.body = {S("本文")};
    state.recipients.Cell(0, 1) = S("山田");
    state.recipients.Cell(1, 1) = "yamada@example.jp";

    window.SpeedButton3Click();
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QTRY_VERIFY(ticks >= 5);  // the event loop turns while the server waits
    QCOMPARE(sendOp.ended, 0);
    QTRY_VERIFY(server.sessionThread.load() != std::thread::id());
    QVERIFY(server.sessionThread.load() != std::this_thread::get_id());
    server.release.set_value();
    QTRY_COMPARE_WITH_TIMEOUT(sendOp.ended, 1, 5000);
    QCOMPARE(window.Edit9->text(), QStringLiteral("1000"));
    QVERIFY(window.TabSheet1->isEnabled());
    window.FormDestroy();
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  SetUpJapanese(app);
  SendWindowsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "send_windows_test.moc"
