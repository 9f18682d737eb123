// The real program as a separate process: the second instance and the
// shut-down when SIGTERM arrives while a modal box is open.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <thread>

#include "store/LineCipher.h"
#include "store/NameList.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace zentavo;

namespace {

// The program copied into a fresh folder: its data folder is its own.
fs::path InstallProgram(const fs::path& dir) {
  fs::copy_file(ZENTAVO_PROGRAM, dir / "zentavo");
  return dir / "zentavo";
}

bool WaitFor(const std::function<bool()>& condition, int ms = 20000) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return condition();
}

QProcessEnvironment Environment(const fs::path& runtime) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime.string()));
  return env;
}

}  // namespace

class ProcessTest : public QObject {
  Q_OBJECT

 private slots:
  // First start in an empty folder shows the staff box, modally, during
  // start-up. SIGTERM then must still save what was loaded (the old 16-line
  // settings file comes back with 17 lines) and must not write the lists
  // that were not read yet.
  void sigtermDuringAModalBoxSavesAndEnds() {
    test::TempFolder dir, runtime;
    fs::path program = InstallProgram(dir.path());
    fs::create_directory(dir.path() / "JIAN");
    std::vector<std::string> settings;
    for (const char* v : {"smtp.example.jp", "25", "", "pop.example.jp", "110", "user", "pw", "", "a@x.jp",
                          "1500", "1", "", "0", "30", "0", "MailNo"}) {
      settings.push_back(EncryptLine(v));
    }
    settings[2] = "dumy";
    WriteTextLines(dir.path() / "zentavo.ini", settings);
    WriteTextLines(dir.path() / "JIAN" / "jian", {EncryptLine("G")});
    const std::string groupsBefore = test::ReadFile(dir.path() / "JIAN" / "jian");

    QProcess process;
    process.setProcessEnvironment(Environment(runtime.path()));
    process.start(QString::fromStdString(program.string()), {});
    QVERIFY(process.waitForStarted());
    // Start-up has begun once the data folders exist; the signal handler is
    // in place before that.
    QVERIFY(WaitFor([&] { return fs::exists(dir.path() / "RESERVE"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    QCOMPARE(process.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    auto lines = ReadTextLines(dir.path() / "zentavo.ini");
    QCOMPARE(lines.size(), size_t(17));
    QCOMPARE(DecryptLine(lines[0]), std::string("smtp.example.jp"));
    QCOMPARE(DecryptLine(lines[9]), std::string("1500"));
    QCOMPARE(test::ReadFile(dir.path() / "JIAN" / "jian"), groupsBefore);
  }

  void aSecondInstanceIsRefused() {
    test::TempFolder dir, runtime;
    fs::path program = InstallProgram(dir.path());
    // A staff file, so that the first instance starts without a box.
    fs::create_directory(dir.path() / "SYOKUIN");
    WriteTextLines(dir.path() / "SYOKUIN" / "name", {EncryptLine("h")});
    QProcess first;
    first.setProcessEnvironment(Environment(runtime.path()));
    first.start(QString::fromStdString(program.string()), {});
    QVERIFY(first.waitForStarted());
    QVERIFY(WaitFor([&] { return fs::exists(runtime.path() / "ZentavoMutex"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    // The second shows "重複起動" and ends; with no one to answer the box in
    // an offscreen session, close it from a timer inside that process is not
    // possible, so answer it with SIGTERM's default: it must not touch the
    // first instance or the data.
    QProcess second;
    second.setProcessEnvironment(Environment(runtime.path()));
    second.start(QString::fromStdString(program.string()), {});
    QVERIFY(second.waitForStarted());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    QCOMPARE(first.state(), QProcess::Running);
    second.kill();
    second.waitForFinished();
    QCOMPARE(first.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    QVERIFY(first.waitForFinished(20000));
    QCOMPARE(first.exitCode(), 0);
    QVERIFY(fs::exists(dir.path() / "zentavo.ini"));
  }
};

QTEST_GUILESS_MAIN(ProcessTest)
#include "process_test.moc"
