// Start-up and shut-down over a data folder: what a first start says, what
// survives a restart, and files that could not be read whole surviving a
// start and a stop byte for byte.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "program/InstanceGuard.h"
#include "program/Lifecycle.h"
#include "program/ProgramFolder.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {

struct Session {
  explicit Session(const fs::path& dir) {
    state.folder = DataFolder(dir, "zentavo");
    StartUp(state, op);
  }
  void Stop() { ShutDown(state, op); }
  AppState state;
  test::ScriptedOperator op;
};

TEST(Lifecycle, FirstStartSaysNothingAndARestartKeepsEverything) {
  test::TempFolder dir;
  {
    Session first(dir.path());
    for (const char* sub : kDataSubdirectories) EXPECT_TRUE(fs::is_directory(dir / sub)) << sub;
    EXPECT_TRUE(first.op.messages.empty());  // no staff file yet is no failure
    AppState& s = first.state;
    s.settings.smtpHost = "smtp.example.jp";
    s.settings.programLabel = S("庶務");
    s.staff.grid.Cell(0, 1) = S("山田");
    std::string box = "G";
    AddGroup(s.folder, s.groups, box, first.op);
    box = "T";
    AddTemplate(s.folder, s.templates, box, first.op);
    s.signature = {S("署名行"), ""};
    first.op.files.push_back(dir / "out.csv");
    ExportStaffCsv(s.staff, first.op);  // shut-down still writes the enciphered file
    first.Stop();
  }
  Session again(dir.path());
  EXPECT_TRUE(again.op.messages.empty());
  EXPECT_EQ(again.state.settings.smtpHost, "smtp.example.jp");
  EXPECT_EQ(again.state.settings.banner, S("庶務"));
  EXPECT_EQ(again.state.staff.grid.Cell(0, 1), S("山田"));
  EXPECT_EQ(again.state.groups.groups, Lines{"G"});
  EXPECT_EQ(again.state.templates.names, Lines{"T"});
  EXPECT_EQ(again.state.signature, (Lines{S("署名行"), ""}));
}

// Line 3 of a ten-line file damaged: the operator hears of it once, by the
// file's name, and the file is byte-identical after a start and a stop.
TEST(Lifecycle, FilesReadOnlyInPartSurviveAStartAndAStop) {
  test::TempFolder dir;
  CreateDataDirectories(DataFolder(dir.path()));
  Lines staff = {"氏名,メールアドレス,電話番号"};
  for (int i = 1; i < 10; ++i) staff.push_back("職員" + std::to_string(i) + ",s" + std::to_string(i) + "@x.jp,");
  const struct {
    const char* file;
    Lines plain;
    size_t damaged;  // index of the line made unreadable (12 bytes: no whole cipher block)
    std::string message;
  } cases[] = {
      {"SYOKUIN/name", staff, 2, "職員読込に失敗しました"},
      {"zentavo.ini",
       {"h", "25", "dumy", "p", "110", "u", "secret"},
       3,
       "次のファイルは途中までしか読み込めませんでした。"},
      {"JIAN/jian", {"A", "B", "C", "D"}, 2, "次のファイルは途中までしか読み込めませんでした。"},
      {"SYOMEI/Syomei", {"a", "b", "c"}, 2, "次のファイルは途中までしか読み込めませんでした。"},
  };
  for (const auto& c : cases) {
    test::WriteEnciphered(dir / c.file, c.plain);
    Lines stored = ReadTextLines(dir / c.file);
    stored[c.damaged] = "AAAAAAAAAAAAAAAA";
    WriteTextLines(dir / c.file, stored);
  }
  std::map<std::string, std::string> before;
  for (const auto& c : cases) before[c.file] = test::ReadFile(dir / c.file);

  Session session(dir.path());
  session.state.staff.grid.Cell(0, 20) = "new";
  session.state.groups.groups.push_back("E");
  session.Stop();
  ASSERT_EQ(session.op.Texts().size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(session.op.Texts()[i].substr(0, session.op.Texts()[i].find('\r')), cases[i].message);
    EXPECT_NE(session.op.Texts()[i].find((dir / cases[i].file).string()), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir / cases[i].file), before[cases[i].file]) << cases[i].file;
  }
  EXPECT_EQ(session.state.staff.grid.Cell(0, 1), S("職員1"));  // what was read is there
}

TEST(Lifecycle, MissingTemplateListIsRebuiltFromTheFiles) {
  test::TempFolder dir;
  CreateDataDirectories(DataFolder(dir.path()));
  test::WriteEnciphered(dir / "TEIKEI/two", {"b"});
  test::WriteEnciphered(dir / "TEIKEI/one", {"a"});
  Session session(dir.path());
  EXPECT_EQ(session.state.templates.names, (Lines{"one", "two"}));
  EXPECT_EQ(test::Deciphered(dir / "JIAN/teikei"), (Lines{"one", "two"}));
}

// A stop during start-up (a signal while a message box shows) writes no
// empty list over a file that was never read.
TEST(Lifecycle, StopDuringStartUpSavesOnlyWhatWasLoaded) {
  test::TempFolder dir;
  CreateDataDirectories(DataFolder(dir.path()));
  test::WriteEnciphered(dir / "JIAN/jian", {"G"});
  AppState state;
  state.folder = DataFolder(dir.path(), "zentavo");
  state.loaded = Loaded::Settings;
  test::ScriptedOperator op;
  ShutDown(state, op);
  EXPECT_EQ(test::Deciphered(dir / "JIAN/jian"), Lines{"G"});
  EXPECT_FALSE(fs::exists(dir / "SYOKUIN/name"));
}

TEST(Lifecycle, CleanTempFilesLeavesDirectoriesAndOtherFiles) {
  test::TempFolder dir;
  DataFolder folder(dir.path());
  CreateDataDirectories(folder);
  for (const char* file : {"left.tmp", "zentavo.ini", "TEMP/att.pdf", "LOG/0_k", "LOG/0_k.~zt123.tmp"})
    test::WriteFile(dir / file, "x");
  fs::create_directory(dir / "TEMP/sub");
  test::WriteFile(dir / "TEMP/sub/inner", "x");
  CleanTempFiles(folder);
  EXPECT_EQ(test::FileNames(dir.path()).size(), kDataSubdirectories.size() + 1);
  EXPECT_EQ(test::FileNames(dir / "TEMP"), Lines{"sub"});
  EXPECT_TRUE(fs::exists(dir / "TEMP/sub/inner"));
  EXPECT_EQ(test::FileNames(dir / "LOG"), Lines{"0_k"});  // an interrupted write's leftover goes
}

// The data never lives beside the program (a build folder's clean rebuild
// would take the password and the lists with it), and stays private.
TEST(ProgramFolder, TheUsersOwnDataFolderKeptPrivate) {
  test::TempFolder dir;
  const struct {
    std::string xdg;
    fs::path expected;
  } cases[] = {{"", dir / "home/.local/share/zentavo"},
               {"relative/data", dir / "home/.local/share/zentavo"},  // ignored, as the XDG rules say
               {(dir / "xdg").string(), dir / "xdg/zentavo"}};
  setenv("HOME", (dir / "home").c_str(), 1);
  for (const auto& c : cases) {
    setenv("XDG_DATA_HOME", c.xdg.c_str(), 1);
    const ProgramLocation location = LocateProgramFolder(dir / "bin/zentavo");
    EXPECT_EQ(location.folder, c.expected) << c.xdg;
    EXPECT_EQ(location.programName, "zentavo");
    EXPECT_EQ(fs::status(location.folder).permissions() & fs::perms::all, fs::perms::owner_all);
  }
  unsetenv("XDG_DATA_HOME");
}

// A second instance finds the lock held; once the holder ends, however it
// ends, the lock is free again.
TEST(InstanceGuard, SecondInstanceIsRefusedAndACrashFreesTheLock) {
  test::TempFolder dir;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    InstanceGuard guard("ZentavoMutex", dir.path());
    const char c = guard.AnotherInstanceRuns() ? 'n' : 'y';
    (void)!write(ready[1], &c, 1);
    pause();  // held until killed
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  EXPECT_TRUE(InstanceGuard("ZentavoMutex", dir.path()).AnotherInstanceRuns());
  kill(child, SIGKILL);  // a crash: nothing is cleaned up
  waitpid(child, nullptr, 0);
  EXPECT_FALSE(InstanceGuard("ZentavoMutex", dir.path()).AnotherInstanceRuns());
  close(ready[0]);
  close(ready[1]);
}

}  // namespace
}  // namespace zentavo
