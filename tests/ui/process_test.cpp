// The real program as a separate process. Each run gets its own
// XDG_DATA_HOME, so its data folder is <home>/data/zentavo inside the test's
// temporary folder, and its own XDG_RUNTIME_DIR for the single-instance lock.
#include <QProcess>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <thread>

#include "store/LineCipher.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace zentavo;

template <class Condition>
static bool WaitFor(Condition condition) {
  for (int i = 0; i < 400 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return condition();
}

static bool Start(QProcess& process, const test::TempFolder& home, const test::TempFolder& runtime) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString((home / "data").string()));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime.path().string()));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(ZENTAVO_PROGRAM), {});
  return process.waitForStarted();
}

// SIGTERM (QProcess's terminate) must save and end the program normally.
static bool Terminate(QProcess& process) {
  process.terminate();
  return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

class ProcessTest : public QObject {
  Q_OBJECT

 private slots:
  // No staff file: start-up shows the staff reader's box, modally. SIGTERM
  // then must still save what was loaded (the old 16-line settings file comes
  // back with 17 lines), must not write the lists that were not read yet, and
  // leaves the data folder, found open to others, private to the user.
  void sigtermDuringAModalBoxSavesAndEnds() {
    test::TempFolder home, runtime;
    const fs::path data = home / "data" / "zentavo";
    fs::create_directories(data / "JIAN");
    fs::permissions(data, fs::perms(0755));
    std::vector<std::string> settings = {"smtp.example.jp",
                                         "25",
                                         "dumy",
                                         "pop.example.jp",
                                         "110",
                                         "user",
                                         "pw",
                                         "",
                                         "a@x.jp",
                                         "1500",
                                         "1",
                                         "",
                                         "0",
                                         "30",
                                         "0",
                                         "MailNo"};
    for (std::string& line : settings) line = line == "dumy" ? line : EncryptLine(line);  // an old file's filler
    WriteTextLines(data / "zentavo.ini", settings);
    WriteTextLines(data / "JIAN" / "jian", {EncryptLine("G")});
    const std::string groupsBefore = test::ReadFile(data / "JIAN" / "jian");

    QProcess program;
    QVERIFY(Start(program, home, runtime));
    // The signal handler is in place before start-up makes the folders; a
    // signal that comes before the box is served by the box's event loop.
    QVERIFY(WaitFor([&] { return fs::exists(data / "RESERVE"); }));
    QVERIFY(Terminate(program));

    auto lines = ReadTextLines(data / "zentavo.ini");
    QCOMPARE(lines.size(), size_t(17));
    QCOMPARE(DecryptLine(lines[0]), std::string("smtp.example.jp"));
    QCOMPARE(test::ReadFile(data / "JIAN" / "jian"), groupsBefore);
    QCOMPARE(fs::status(data).permissions() & fs::perms::all, fs::perms::owner_all);
  }

  // A second start is refused whether it shares the lock folder or the data
  // folder with the first (two schedulers on one folder would send one
  // booked notice twice). A refused one waits at its "重複起動" box, before
  // the signal handler of a started program exists: SIGTERM then ends it
  // as a signal does, where a started one would save and exit normally.
  void aSecondStartIsRefusedAndTheFirstRunsOn_data() {
    QTest::addColumn<bool>("sameData");
    QTest::newRow("the same lock folder") << false;
    QTest::newRow("the same data folder") << true;
  }
  void aSecondStartIsRefusedAndTheFirstRunsOn() {
    QFETCH(bool, sameData);
    test::TempFolder firstHome, secondHome, firstRuntime, secondRuntime;
    const fs::path firstData = firstHome / "data" / "zentavo";
    QProcess first, second;
    const auto started = std::chrono::steady_clock::now();
    QVERIFY(Start(first, firstHome, firstRuntime));
    QVERIFY(WaitFor([&] { return fs::exists(firstData / "RESERVE"); }));
    const auto startUp = std::chrono::steady_clock::now() - started;

    QVERIFY(Start(second, sameData ? firstHome : secondHome, sameData ? secondRuntime : firstRuntime));
    std::this_thread::sleep_for(3 * startUp + std::chrono::seconds(1));
    QCOMPARE(second.state(), QProcess::Running);
    if (!sameData) QVERIFY(!fs::exists(secondHome / "data" / "zentavo"));
    second.terminate();
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::CrashExit);
    QVERIFY(Terminate(first));
  }
};

QTEST_GUILESS_MAIN(ProcessTest)
#include "process_test.moc"
