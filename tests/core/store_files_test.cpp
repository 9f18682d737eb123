// The grid model, the atomic writer, and stored files read only in part.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "base/DiagnosticLog.h"
#include "base/Grid.h"
#include "store/StoredFile.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {

Grid Numbered(int dataRows) {
  Grid g(1, dataRows + 1);
  for (int r = 1; r <= dataRows; ++r) g.Cell(0, r) = std::to_string(r);
  return g;
}

Lines Column0(const Grid& g) {
  Lines cells;
  for (int r = 1; r < g.RowCount(); ++r) cells.push_back(g.Cell(0, r));
  return cells;
}

TEST(Grid, DeletingRemovesExactlyTheSelectedRows) {
  const struct {
    std::set<int> selected;
    Lines left;
  } cases[] = {
      {{2, 3}, {"1", "4", "5"}},      {{1, 3, 5}, {"2", "4"}},  // a selection made with the control key
      {{0, 2}, {"1", "3", "4", "5"}},                           // the header row is never deleted
      {{1, 2, 3, 4, 5}, {""}},                                  // every row: one empty row stays
      {{4, 9}, {"1", "2", "3", "5"}},                           // rows beyond the grid are ignored
  };
  for (const auto& c : cases) {
    Grid g = Numbered(5);
    DeleteSelectedRows(g, c.selected);
    EXPECT_EQ(Column0(g), c.left) << ::testing::PrintToString(c.selected);
  }
}

TEST(Grid, InsertingPutsEmptyRowsAboveTheSelection) {
  Grid g = Numbered(3);
  InsertGridRows(g, 2, 2);
  EXPECT_EQ(Column0(g), (Lines{"1", "", "", "2", "3"}));
}

// A write cut short (here by the file size limit) leaves the old file as
// it was and no temporary file behind.
TEST(TextFile, AFailedWriteLeavesTheOldFileWhole) {
  test::TempFolder dir;
  const fs::path file = dir / "f";
  test::WriteFile(file, std::string(6000, 'o'));
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 8192;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  EXPECT_THROW(WriteTextLines(file, Lines(2000, std::string(60, 'n'))), FileError);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, handler);
  EXPECT_EQ(test::ReadFile(file), std::string(6000, 'o'));
  EXPECT_EQ(test::FileNames(dir.path()), Lines{"f"});
}

TEST(StoredFile, ADamagedLineStopsTheReadingAndProtectsTheFile) {
  test::TempFolder dir;
  const fs::path file = dir / "f";
  EXPECT_EQ(ReadStoredFile(file).result, ReadResult::Missing);
  test::WriteEnciphered(file, {"一", "二", "三"});
  Lines stored = ReadTextLines(file);
  stored[1] = "QUJD";  // three bytes: not whole cipher blocks
  WriteTextLines(file, stored);
  const std::string before = test::ReadFile(file);

  const StoredFile read = ReadStoredFile(file);
  EXPECT_EQ(read.result, ReadResult::Partial);
  EXPECT_EQ(read.lines, Lines{test::S("一")});
  EXPECT_TRUE(IsPartlyRead(dir.path() / "." / "f"));
  EXPECT_THROW(WriteStoredFile(file, read.lines), FileError);
  EXPECT_EQ(test::ReadFile(file), before);
}

// A failure's detail lands in the diagnostic log, one line each; a log
// grown past its limit is moved aside rather than growing without bound.
TEST(DiagnosticLog, OneLinePerFailureAndRotated) {
  test::TempFolder dir;
  test::WriteFile(dir / "zentavo.log", std::string(2 << 20, 'x'));
  OpenDiagnosticLog(dir / "zentavo.log");
  test::ScriptedOperator op;
  ReportFailure(op, test::S("伝達の送信に失敗しました"), "RCPT TO refused:\r\n550 unknown user");
  const Lines lines = ReadTextLines(dir / "zentavo.log");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("伝達の送信に失敗しました: RCPT TO refused:  550 unknown user"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(dir / "zentavo.log.1"), 2u << 20);
  EXPECT_EQ(op.messages.at(0).detail, "RCPT TO refused:\r\n550 unknown user");
  OpenDiagnosticLog({});
}

}  // namespace
}  // namespace zentavo
