#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "store/DataFolder.h"
#include "store/Grid.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"
#include "text/SjisUnicode.h"

namespace zentavo {
namespace {

Grid Numbered(int dataRows) {
  Grid g(3, dataRows + 1);
  g.Cell(0, 0) = "H";
  for (int r = 1; r <= dataRows; ++r) g.Cell(0, r) = std::to_string(r);
  return g;
}

std::vector<std::string> Column0(const Grid& g) {
  std::vector<std::string> c;
  for (int r = 0; r < g.RowCount(); ++r) c.push_back(g.Cell(0, r));
  return c;
}

TEST(Grid, InsertRowsAboveTheSelection) {
  Grid g = Numbered(4);
  InsertGridRows(g, 2, 3);  // three rows selected from row 2
  EXPECT_EQ(Column0(g), (std::vector<std::string>{"H", "1", "", "", "", "2", "3", "4"}));
  InsertGridRows(g, 1, 0);
  InsertGridRows(g, -1, 2);
  EXPECT_EQ(g.RowCount(), 8);
}

TEST(Grid, DeleteRowsMovesTheRestUp) {
  Grid g = Numbered(5);
  DeleteGridRows(g, 4, 2);  // either order
  EXPECT_EQ(Column0(g), (std::vector<std::string>{"H", "1", "5"}));
}

TEST(Grid, DeleteClampsToDataRowsAndKeepsOneRow) {
  Grid g = Numbered(3);
  DeleteGridRows(g, 0, 99);  // header and beyond: every data row
  EXPECT_EQ(Column0(g), (std::vector<std::string>{"H", ""}));
  DeleteGridRows(g, 1, 1);  // the single data row is emptied, not removed
  EXPECT_EQ(g.RowCount(), 2);

  Grid h = Numbered(3);
  DeleteGridRows(h, 7, 9);  // beyond the last row: nothing
  EXPECT_EQ(h.RowCount(), 4);
  DeleteGridRows(h, 0, 0);  // only the header: nothing
  EXPECT_EQ(Column0(h), (std::vector<std::string>{"H", "1", "2", "3"}));
  DeleteGridRows(h, 3, 3);
  EXPECT_EQ(Column0(h), (std::vector<std::string>{"H", "1", "2"}));
}

TEST(TextFile, LinesSplitAtLfWithCrDropped) {
  EXPECT_EQ(SplitLines("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(SplitLines("\r\n"), (std::vector<std::string>{""}));
  EXPECT_EQ(SplitLines("x\ry\n"), (std::vector<std::string>{"x\ry"}));
}

TEST(TextFile, WriteReplacesWholeAndKeepsPermissions) {
  test::TempFolder dir;
  auto file = dir / "f";
  WriteTextLines(file, {"a", "", "b"});
  EXPECT_EQ(test::ReadFile(file), "a\r\n\r\nb\r\n");
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  WriteTextLines(file, {});
  EXPECT_EQ(test::ReadFile(file), "");
  EXPECT_EQ(std::filesystem::status(file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  // No temporary file is left beside it.
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

// A write that fails midway (the file size limit stops it after a few
// kilobytes) must leave the old file exactly as it was.
TEST(TextFile, FailedWriteMidwayLeavesTheOldFileIntact) {
  test::TempFolder dir;
  auto file = dir / "data";
  const std::string old(6000, 'o');
  test::WriteFile(file, old);

  std::vector<std::string> big(2000, std::string(60, 'n'));
  struct rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = saved;
  limited.rlim_cur = 8192;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  bool threw = false;
  try {
    WriteTextLines(file, big);
  } catch (const FileError&) {
    threw = true;
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_TRUE(threw);
  EXPECT_EQ(test::ReadFile(file), old);
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1) << "the temporary file must be removed";
}

TEST(TextFile, UnreadableFileThrows) {
  test::TempFolder dir;
  EXPECT_THROW(ReadTextLines(dir / "missing"), FileError);
}

TEST(DataFolder, NamesThatCouldLeaveTheFolderAreRefused) {
  DataFolder folder("/data");
  EXPECT_EQ(folder.Path("SYOKUIN/name"), std::filesystem::path("/data/SYOKUIN/name"));
  EXPECT_EQ(folder.SettingsFile(), std::filesystem::path("/data/zentavo.ini"));
  EXPECT_EQ(DataFolder("/d", "prog.bin").SettingsFile(), std::filesystem::path("/d/prog.ini"));
  EXPECT_EQ(folder.NamedFile("KANREN", Sj("総務課")), std::filesystem::path("/data/KANREN/総務課"));
  // A trail byte 0x5C is a plain byte here, not a separator.
  EXPECT_TRUE(folder.NamedFile("KANREN", Sj("表")).has_value());
  for (std::string bad : {std::string("../SYOKUIN/name"), std::string("a/b"), std::string("."),
                          std::string(".."), std::string(""), std::string("a\0b", 3),
                          std::string("\x82")}) {
    EXPECT_FALSE(folder.NamedFile("KANREN", bad).has_value()) << bad;
  }
  EXPECT_TRUE(folder.NamedFile("KANREN", "...").has_value());
}

TEST(SjisUnicode, ConvertsAndReportsWhatCannotBeKept) {
  EXPECT_EQ(Sj("会議"), "\x89\xEF\x8B\x63");
  EXPECT_EQ(Sj("ｱ"), "\xB1");
  EXPECT_EQ(SjisToUtf8("\x89\xEF\x8B\x63"), "会議");
  EXPECT_EQ(SjisToUtf8("a\x89"), "a\xEF\xBF\xBD");  // a lead byte without its trail
  SjisConversion c = Utf8ToSjis("a😀b①");
  EXPECT_EQ(c.text, "a" "b" "\x87\x40");
  EXPECT_EQ(c.dropped, std::vector<std::string>{"😀"});
  EXPECT_THROW(Sj("😀"), std::logic_error);
}

}  // namespace
}  // namespace zentavo
