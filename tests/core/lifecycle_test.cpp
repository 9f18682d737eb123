#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/InstanceGuard.h"
#include "app/Lifecycle.h"
#include "app/ProgramFolder.h"
#include "store/LineCipher.h"
#include "store/NameList.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {
using test::S;
namespace fs = std::filesystem;

AppState StateIn(const fs::path& dir) {
  AppState state;
  state.folder = DataFolder(dir, "zentavo");
  return state;
}

TEST(Lifecycle, FirstStartInAnEmptyFolder) {
  test::TempFolder dir;
  AppState state = StateIn(dir.path());
  test::ScriptedOperator op;
  StartUp(state, op);
  for (const char* sub : kDataSubdirectories) EXPECT_TRUE(fs::is_directory(dir.path() / sub)) << sub;
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"職員読込に失敗しました"});
  EXPECT_EQ(state.settings.smtpPort, "25");
  EXPECT_EQ(state.settings.popPort, "110");
  EXPECT_EQ(state.settings.banner, S("ゼンタボ"));
  EXPECT_EQ(state.settings.identifier, "MailNo");
  EXPECT_EQ(state.staff.grid.Cell(1, 0), S("メールアドレス"));
  EXPECT_EQ(state.recipients.Cell(2, 0), S("電話番号"));
  EXPECT_TRUE(state.groups.groups.empty());
  EXPECT_TRUE(state.templates.names.empty());
  EXPECT_TRUE(state.signature.empty());
  EXPECT_TRUE(fs::exists(dir.path() / "JIAN" / "teikei"));
}

TEST(Lifecycle, EverythingEditedSurvivesARestart) {
  test::TempFolder dir;
  {
    AppState state = StateIn(dir.path());
    test::ScriptedOperator op;
    StartUp(state, op);
    state.settings.smtpHost = "smtp.example.jp";
    state.settings.programLabel = S("庶務");
    state.staff.grid.Cell(0, 1) = S("山田");
    state.staff.grid.Cell(1, 1) = "y@x.jp";
    std::string box = "G";
    AddGroup(state.folder, state.groups, box, op);
    box = "T";
    AddTemplate(state.folder, state.templates, box, op);
    state.signature = {S("署名行"), ""};
    ShutDown(state, op);
  }
  AppState again = StateIn(dir.path());
  test::ScriptedOperator op;
  StartUp(again, op);
  EXPECT_TRUE(op.messages.empty());
  EXPECT_EQ(again.settings.smtpHost, "smtp.example.jp");
  EXPECT_EQ(again.settings.banner, S("庶務"));
  EXPECT_EQ(again.staff.grid.Cell(0, 1), S("山田"));
  EXPECT_EQ(again.groups.groups, std::vector<std::string>{"G"});
  EXPECT_EQ(again.templates.names, std::vector<std::string>{"T"});
  EXPECT_EQ(again.signature, (std::vector<std::string>{S("署名行"), ""}));
}

TEST(Lifecycle, MissingTemplateListIsRebuiltFromTheFiles) {
  test::TempFolder dir;
  CreateDataDirectories(DataFolder(dir.path()));
  WriteCipherLines(dir.path() / "TEIKEI" / "one", {"a"});
  WriteCipherLines(dir.path() / "TEIKEI" / "two", {"b"});
  AppState state = StateIn(dir.path());
  test::ScriptedOperator op;
  StartUp(state, op);
  EXPECT_EQ(state.templates.names, (std::vector<std::string>{"one", "two"}));
  std::vector<std::string> listed;
  LoadNameList(dir.path() / "JIAN" / "teikei", listed);
  EXPECT_EQ(listed, state.templates.names);
}

TEST(Lifecycle, ShutDownAfterCsvExportStillWritesTheEncipheredStaffFile) {
  test::TempFolder dir;
  AppState state = StateIn(dir.path());
  test::ScriptedOperator op;
  StartUp(state, op);
  state.staff.grid.Cell(0, 1) = "A";
  op.files.push_back(dir.path() / "out.csv");
  ExportStaffCsv(state.staff, op);
  ShutDown(state, op);
  auto lines = ReadTextLines(dir.path() / "SYOKUIN" / "name");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(DecryptLine(lines[1]), "A,,");
  EXPECT_EQ(state.staff.cipher, "ON");
}

TEST(Lifecycle, OneFailingWriterDoesNotStopTheOthers) {
  test::TempFolder dir;
  AppState state = StateIn(dir.path());
  test::ScriptedOperator op;
  StartUp(state, op);
  state.groups.groups = {"G"};
  state.settings.smtpHost = "h";
  fs::remove_all(dir.path() / "SYOKUIN");  // the staff write fails
  op.messages.clear();
  ShutDown(state, op);
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"職員出力に失敗しました"});
  EXPECT_TRUE(fs::exists(dir.path() / "JIAN" / "jian"));
  EXPECT_TRUE(fs::exists(dir.path() / "zentavo.ini"));
}

TEST(Lifecycle, CleanTempFilesLeavesDirectoriesAndOtherFiles) {
  test::TempFolder dir;
  DataFolder folder(dir.path());
  CreateDataDirectories(folder);
  test::WriteFile(dir.path() / "left.tmp", "x");
  test::WriteFile(dir.path() / "zentavo.ini", "x");
  test::WriteFile(dir.path() / "TEMP" / "att.pdf", "x");
  fs::create_directory(dir.path() / "TEMP" / "sub");
  test::WriteFile(dir.path() / "TEMP" / "sub" / "inner", "x");
  CleanTempFiles(folder);
  EXPECT_FALSE(fs::exists(dir.path() / "left.tmp"));
  EXPECT_TRUE(fs::exists(dir.path() / "zentavo.ini"));
  EXPECT_FALSE(fs::exists(dir.path() / "TEMP" / "att.pdf"));
  EXPECT_TRUE(fs::exists(dir.path() / "TEMP" / "sub" / "inner"));
}

TEST(ProgramFolder, OwnFolderWhenWritable) {
  test::TempFolder dir;
  ProgramLocation own = LocateProgramFolder(dir.path() / "zentavo");
  EXPECT_EQ(own.folder, dir.path());
  EXPECT_EQ(own.programName, "zentavo");
}

TEST(ProgramFolder, UserDataFolderWhenTheOwnFolderIsUnusable) {
  test::TempFolder dir;
  setenv("XDG_DATA_HOME", (dir.path() / "xdg").c_str(), 1);
  // A program file in a folder that does not exist cannot be beside its data.
  ProgramLocation user = LocateProgramFolder(dir.path() / "no" / "such" / "zentavo");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(user.folder, dir.path() / "xdg" / "zentavo");
  EXPECT_EQ(fs::status(user.folder).permissions() & fs::perms::all, fs::perms::owner_all);
}

// A second instance finds the lock held; once the holder ends, however it
// ends, the lock is free again.
TEST(InstanceGuard, SecondInstanceIsRefusedAndACrashFreesTheLock) {
  test::TempFolder dir;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    InstanceGuard guard("ZentavoMutex", dir.path());
    char c = guard.AnotherInstanceRuns() ? 'n' : 'y';
    (void)!write(ready[1], &c, 1);
    pause();  // held until killed
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  {
    InstanceGuard second("ZentavoMutex", dir.path());
    EXPECT_TRUE(second.AnotherInstanceRuns());
  }
  kill(child, SIGKILL);  // a crash: nothing is cleaned up
  waitpid(child, nullptr, 0);
  InstanceGuard after("ZentavoMutex", dir.path());
  EXPECT_FALSE(after.AnotherInstanceRuns());
  close(ready[0]);
  close(ready[1]);
}

}  // namespace
}  // namespace zentavo

namespace zentavo {
namespace {

// A stop during start-up (a signal while the staff message box shows) must
// not write empty lists over files that were never read.
TEST(Lifecycle, StopDuringStartUpSavesOnlyWhatWasLoaded) {
  test::TempFolder dir;
  CreateDataDirectories(DataFolder(dir.path()));
  WriteTextLines(dir.path() / "JIAN" / "jian", {EncryptLine("G")});
  AppState state = StateIn(dir.path());
  LoadSettings(state.folder.SettingsFile(), state.settings);
  state.loaded = Loaded::Settings;
  test::ScriptedOperator op;
  ShutDown(state, op);
  std::vector<std::string> groups;
  LoadNameList(dir.path() / "JIAN" / "jian", groups);
  EXPECT_EQ(groups, std::vector<std::string>{"G"});
  EXPECT_FALSE(fs::exists(dir.path() / "SYOKUIN" / "name"));
  EXPECT_TRUE(fs::exists(dir.path() / "zentavo.ini"));
}

}  // namespace
}  // namespace zentavo
