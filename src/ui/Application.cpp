#include "ui/Application.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTranslator>
#include <csignal>

#include "program/InstanceGuard.h"
#include "program/Lifecycle.h"
#include "program/ProgramFolder.h"
#include "ui/MainWindow.h"

namespace zentavo::ui {

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  // Only async-signal-safe work here: the event loop does the rest.
  char c = 1;
  (void)!::write(signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT save everything and end, even in the middle of a
// modal box: the notifier is served by whatever event loop runs.
void EndOnSignals(QApplication& app, MainWindow& window) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [&window] {
    char c;
    (void)!::read(signalPipe[0], &c, 1);
    SilentOperator silent;
    window.setOperator(&silent);
    window.shutDown();
    std::fflush(nullptr);
    ::_exit(0);
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

void SetUpJapanese(QApplication& app) {
  auto* translator = new QTranslator(&app);
  if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(translator);
  }
  QFont font(QStringLiteral("Noto Sans CJK JP"));
  font.setPixelSize(12);
  QApplication::setFont(font);
}

int RunApplication(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Zentavo"));
  SetUpJapanese(app);

  InstanceGuard guard("ZentavoMutex");
  if (guard.AnotherInstanceRuns()) {
    QMessageBox::warning(nullptr, QStringLiteral("重複起動"),
                         QStringLiteral("Zentavoは既に起動されています\nタスクトレイ等を確認してください。"));
    return 0;
  }

  ProgramLocation location;
  try {
    location = LocateProgramFolder(RunningProgram());
  } catch (const std::exception& e) {
    // Without a data folder of its own the program has nowhere safe to keep
    // the password and the lists.
    QMessageBox::warning(nullptr, QStringLiteral("確認"),
                         QStringLiteral("データフォルダを用意できませんでした。\n") + QString::fromLocal8Bit(e.what()));
    return 1;
  }
  // The data folder itself is locked too: a second instance with another
  // runtime folder (another session of the same user) must not work on it,
  // or two schedulers could send one booked notice twice.
  InstanceGuard folderGuard(location.programName + ".lock", location.folder);
  if (folderGuard.AnotherInstanceRuns()) {
    QMessageBox::warning(nullptr, QStringLiteral("重複起動"),
                         QStringLiteral("Zentavoは既に起動されています\nタスクトレイ等を確認してください。"));
    return 0;
  }
  AppState state;
  state.folder = DataFolder(location.folder, location.programName);

  // A hidden main window (stand-by) must not end the program when a dialog
  // closes; only the main window's own close does.
  QApplication::setQuitOnLastWindowClosed(false);
  MainWindow window(state);

  EndOnSignals(app, window);
  // The desktop session ending: save now (the session may still be
  // cancelled), and do the whole shut-down when the application quits.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                   [&window](QSessionManager&) { window.saveForSessionEnd(); });
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&window] {
    static SilentOperator silent;  // the window keeps pointing at it
    window.setOperator(&silent);
    window.shutDown();
  });

  window.startUp();
  window.show();
  return app.exec();
}

}  // namespace zentavo::ui
