// The staff file and its CSV exchange: row numbers, field rules, the
// messages, and a damaged file that is never written back shorter.
#include <gtest/gtest.h>

#include "store/LineCipher.h"
#include "store/Staff.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {
const std::string kHeader = "氏名,メールアドレス,電話番号";

StaffList StaffAt(const std::filesystem::path& file, bool enciphered = true) {
  StaffList staff;
  staff.grid.SetHeader(StaffHeader());
  staff.path = file;
  staff.enciphered = enciphered;
  return staff;
}

// name|address|telephone of every data row, "" for an empty row.
Lines Rows(const Grid& g) {
  Lines rows;
  for (int r = 1; r < g.RowCount(); ++r)
    rows.push_back(g.RowEmpty(r) ? "" : test::U(g.Cell(0, r) + "|" + g.Cell(1, r) + "|" + g.Cell(2, r)));
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  return rows;
}

TEST(Staff, LoadKeepsRowNumbersAndFieldRules) {
  test::TempFolder dir;
  test::WriteEnciphered(dir / "name", {kHeader, "", "山田,yamada@x.jp,100", "佐藤,sato@x.jp",
                                       "鈴木,suzuki@x.jp,200,extra", ",,", "表予"});
  StaffList staff = StaffAt(dir / "name");
  test::ScriptedOperator op;
  EXPECT_EQ(LoadStaff(staff, op), ReadResult::Whole);
  EXPECT_TRUE(op.messages.empty());
  EXPECT_EQ(Rows(staff.grid),
            (Lines{"", "山田|yamada@x.jp|100", "佐藤|sato@x.jp|", "鈴木|suzuki@x.jp|200", "", "表予||"}));
  EXPECT_EQ(staff.grid.RowCount(), 30 + 4);  // 30 rows plus one per record
}

TEST(Staff, MissingFileIsSilentAndADamagedOneIsNamedAndKept) {
  test::TempFolder dir;
  StaffList staff = StaffAt(dir / "name");
  test::ScriptedOperator op;
  EXPECT_EQ(LoadStaff(staff, op), ReadResult::Missing);
  EXPECT_TRUE(op.messages.empty());  // a first start has no staff file yet

  test::WriteEnciphered(dir / "name", {kHeader, "a,a@x,1", "b,b@x,2"});
  Lines stored = ReadTextLines(dir / "name");
  stored[2] = "garbage!";
  WriteTextLines(dir / "name", stored);
  EXPECT_EQ(LoadStaff(staff, op), ReadResult::Partial);
  ASSERT_EQ(op.Texts().size(), 1u);
  EXPECT_EQ(op.Texts()[0].rfind("職員読込に失敗しました\r", 0), 0u);
  EXPECT_NE(op.Texts()[0].find((dir / "name").string()), std::string::npos);
  EXPECT_EQ(Rows(staff.grid), Lines{"a|a@x|1"});
  const std::string before = test::ReadFile(dir / "name");
  EXPECT_FALSE(SaveStaff(staff, op));
  EXPECT_EQ(test::ReadFile(dir / "name"), before);
}

TEST(Staff, SaveWritesTheRecordsAndReportsAFailure) {
  test::TempFolder dir;
  StaffList staff = StaffAt(dir / "name");
  staff.grid.Cell(0, 2) = S("山田");
  staff.grid.Cell(1, 2) = "y@x.jp";
  staff.grid.Cell(2, 40) = "999";  // far beyond the first 30 rows, just a telephone
  test::ScriptedOperator op;
  ASSERT_TRUE(SaveStaff(staff, op));
  EXPECT_EQ(test::Deciphered(dir / "name"), (Lines{kHeader, "山田,y@x.jp,", ",,999"}));

  staff.path = dir / "missing" / "name";
  EXPECT_FALSE(SaveStaff(staff, op));
  ASSERT_EQ(op.messages.size(), 1u);
  EXPECT_EQ(op.messages[0].text, "職員出力に失敗しました");
  EXPECT_FALSE(op.messages[0].detail.empty());
}

TEST(Staff, CsvExportThenImportGivesTheSameRecordsWithoutEmptyRows) {
  test::TempFolder dir;
  StaffList staff = StaffAt(dir / "name");
  staff.grid.Cell(0, 1) = S("山田");
  staff.grid.Cell(1, 1) = "y@x.jp";
  staff.grid.Cell(0, 4) = S("佐藤");
  staff.grid.Cell(2, 4) = "03-1234";
  test::ScriptedOperator op;
  op.files.push_back(dir / "staff.txt");  // the extension becomes .csv
  ExportStaffCsv(staff, op);
  EXPECT_FALSE(staff.enciphered);
  EXPECT_EQ(test::ReadFile(dir / "staff.csv"), S(kHeader + "\r\n山田,y@x.jp,\r\n佐藤,,03-1234\r\n"));

  StaffList imported = StaffAt(dir / "name");
  op.files.push_back(dir / "staff.csv");
  ImportStaffCsv(imported, op);  // the question is answered Yes
  EXPECT_EQ(op.messages.back().buttons, MsgButtons::YesNo);
  EXPECT_EQ(Rows(imported.grid), (Lines{"山田|y@x.jp|", "佐藤||03-1234"}));

  // Declined, or the dialog cancelled: nothing changes.
  op.answers.push_back(MsgAnswer::No);
  ImportStaffCsv(imported, op);
  ImportStaffCsv(imported, op);
  EXPECT_EQ(Rows(imported.grid).size(), 2u);
}

}  // namespace
}  // namespace zentavo
