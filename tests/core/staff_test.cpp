#include <gtest/gtest.h>

#include "store/LineCipher.h"
#include "store/Staff.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {
using test::S;

std::string Header() { return S("氏名,メールアドレス,電話番号"); }

void WriteStaffFile(const std::filesystem::path& file, const std::vector<std::string>& plain) {
  std::vector<std::string> lines;
  for (const auto& p : plain) lines.push_back(EncryptLine(p));
  WriteTextLines(file, lines);
}

StaffList StaffAt(const std::filesystem::path& file, const char* cipher = "ON") {
  StaffList staff;
  staff.grid.SetHeader(StaffHeader());
  staff.path = file;
  staff.cipher = cipher;
  return staff;
}

TEST(Staff, LoadKeepsRowNumbersAndFieldRules) {
  test::TempFolder dir;
  WriteStaffFile(dir / "name", {Header(), "", S("山田,yamada@x.jp,100"), S("佐藤,sato@x.jp"),
                                S("鈴木,suzuki@x.jp,200,extra"), ",,", S("田中")});
  StaffList staff = StaffAt(dir / "name");
  test::ScriptedOperator op;
  LoadStaff(staff, op);
  EXPECT_TRUE(op.messages.empty());
  const Grid& g = staff.grid;
  EXPECT_TRUE(g.RowEmpty(1));  // the empty second line leaves row 1 empty
  EXPECT_EQ(g.Cell(0, 2), S("山田"));
  EXPECT_EQ(g.Cell(2, 2), "100");
  EXPECT_EQ(g.Cell(1, 3), "sato@x.jp");
  EXPECT_EQ(g.Cell(2, 3), "");       // two fields: empty telephone
  EXPECT_EQ(g.Cell(2, 4), "200");    // four fields: the first three
  EXPECT_TRUE(g.RowEmpty(5));        // ",," is an empty record
  EXPECT_EQ(g.Cell(0, 6), S("田中"));
  EXPECT_EQ(g.RowCount(), 30 + 4);   // 30 rows plus one per record
  EXPECT_EQ(g.Cell(0, 0), S("氏名"));
}

TEST(Staff, RecordsBeyondThirtyRowsStillLoad) {
  test::TempFolder dir;
  std::vector<std::string> plain = {Header()};
  for (int i = 0; i < 40; ++i) plain.push_back("");
  plain.push_back("late,late@x.jp,1");
  WriteStaffFile(dir / "name", plain);
  StaffList staff = StaffAt(dir / "name");
  test::ScriptedOperator op;
  LoadStaff(staff, op);
  ASSERT_GT(staff.grid.RowCount(), 41);
  EXPECT_EQ(staff.grid.Cell(0, 41), "late");
  // ...and it is written back.
  staff.path = dir / "again";
  ASSERT_TRUE(SaveStaff(staff, op));
  EXPECT_EQ(DecryptLine(ReadTextLines(dir / "again").at(1)), "late,late@x.jp,1");
}

TEST(Staff, MissingOrDamagedFileReportsOnceAndKeepsWhatWasRead) {
  test::TempFolder dir;
  StaffList staff = StaffAt(dir / "none");
  test::ScriptedOperator op;
  LoadStaff(staff, op);
  ASSERT_EQ(op.messages.size(), 1u);
  EXPECT_EQ(op.messages[0].caption, "確認");
  EXPECT_EQ(op.messages[0].text, "職員読込に失敗しました");
  EXPECT_EQ(op.messages[0].icon, MsgIcon::Warning);

  WriteTextLines(dir / "name", {EncryptLine(Header()), EncryptLine("a,a@x,1"), "garbage!", EncryptLine("b,b@x,2")});
  staff.path = dir / "name";
  test::ScriptedOperator op2;
  LoadStaff(staff, op2);
  EXPECT_EQ(op2.Texts(), std::vector<std::string>{"職員読込に失敗しました"});
  EXPECT_EQ(staff.grid.Cell(0, 1), "a");
  EXPECT_TRUE(staff.grid.RowEmpty(2));
}

TEST(Staff, SaveWritesHeaderAndRecordsSkippingEmptyRows) {
  test::TempFolder dir;
  StaffList staff = StaffAt(dir / "name");
  staff.grid.Cell(0, 2) = S("山田");
  staff.grid.Cell(1, 2) = "y@x.jp";
  staff.grid.Cell(2, 5) = "999";  // a record of just a telephone still counts
  test::ScriptedOperator op;
  ASSERT_TRUE(SaveStaff(staff, op));
  auto lines = ReadTextLines(dir / "name");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(DecryptLine(lines[0]), Header());
  EXPECT_EQ(DecryptLine(lines[1]), S("山田,y@x.jp,"));
  EXPECT_EQ(DecryptLine(lines[2]), ",,999");
  EXPECT_EQ(test::ReadFile(dir / "name").substr(lines[0].size(), 2), "\r\n");
}

TEST(Staff, SaveFailureReportsAndLeavesNoFile) {
  test::TempFolder dir;
  StaffList staff = StaffAt(dir / "missing-dir" / "name");
  staff.grid.Cell(0, 1) = "a";
  test::ScriptedOperator op;
  EXPECT_FALSE(SaveStaff(staff, op));
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"職員出力に失敗しました"});
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
  EXPECT_EQ(staff.cipher, "OFF");
  EXPECT_EQ(staff.path, dir / "staff.csv");
  ASSERT_EQ(op.fileChoices.size(), 1u);
  EXPECT_EQ(test::U(op.fileChoices[0].title), "職員ﾌｧｲﾙ");
  EXPECT_EQ(test::U(op.fileChoices[0].filter), "CSVﾌｧｲﾙ|*.csv");
  // Plain Shift_JIS with CR LF.
  EXPECT_EQ(test::ReadFile(dir / "staff.csv"), Header() + "\r\n" + S("山田,y@x.jp,") + "\r\n" + S("佐藤,,03-1234") + "\r\n");

  StaffList imported = StaffAt(dir / "name");
  test::ScriptedOperator op2;
  op2.answers.push_back(MsgAnswer::Yes);
  op2.files.push_back(dir / "staff.csv");
  ImportStaffCsv(imported, op2);
  ASSERT_EQ(op2.messages.size(), 1u);
  EXPECT_EQ(op2.messages[0].text,
            "職員情報を読み込むと、これまで設定した\r事案情報と職員情報の関連に不一致が発生します。\r"
            "必ず「関連設定」を確認してください。\r職員情報を読込ますか？");
  EXPECT_EQ(op2.messages[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(imported.cipher, "OFF");
  EXPECT_EQ(imported.grid.Cell(0, 1), S("山田"));
  EXPECT_EQ(imported.grid.Cell(0, 2), S("佐藤"));
  EXPECT_EQ(imported.grid.Cell(2, 2), "03-1234");
}

TEST(Staff, CsvImportDeclinedOrCancelledChangesNothing) {
  test::TempFolder dir;
  StaffList staff = StaffAt(dir / "name");
  staff.grid.Cell(0, 1) = "keep";
  test::ScriptedOperator op;
  op.answers.push_back(MsgAnswer::No);
  ImportStaffCsv(staff, op);
  EXPECT_TRUE(op.fileChoices.empty());
  test::ScriptedOperator op2;  // Yes, then the dialog is cancelled
  ImportStaffCsv(staff, op2);
  EXPECT_EQ(staff.cipher, "ON");
  EXPECT_EQ(staff.grid.Cell(0, 1), "keep");
}

TEST(Staff, CsvWithoutHeaderLosesItsFirstRecord) {
  test::TempFolder dir;
  test::WriteFile(dir / "s.csv", "a,a@x,1\r\nb,b@x,2\r\n");
  StaffList staff = StaffAt(dir / "s.csv", "OFF");
  test::ScriptedOperator op;
  LoadStaff(staff, op);
  EXPECT_EQ(staff.grid.Cell(0, 1), "b");
  EXPECT_TRUE(staff.grid.RowEmpty(2));
}

TEST(Staff, RegistrationRules) {
  Grid g(3, 30);
  g.SetHeader(StaffHeader());
  g.Cell(0, 1) = "A";
  g.Cell(1, 1) = "a@x";
  g.Cell(0, 2) = "B";
  g.Cell(1, 2) = "b@x";
  test::ScriptedOperator op;
  EXPECT_FALSE(RegisterStaff(g, "", "c@x", "", op));  // stays open
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"項目が入力されていません"});

  int rows = g.RowCount();
  test::ScriptedOperator dupName;
  EXPECT_TRUE(RegisterStaff(g, "B", "new@x", "", dupName));
  EXPECT_EQ(dupName.Texts(), std::vector<std::string>{"氏名が既に登録されています"});
  EXPECT_EQ(g.RowCount(), rows + 1);  // the added empty row stays
  EXPECT_TRUE(g.RowEmpty(3));

  test::ScriptedOperator dupAddress;
  EXPECT_TRUE(RegisterStaff(g, "C", "a@x", "", dupAddress));
  EXPECT_EQ(dupAddress.Texts(), std::vector<std::string>{"メールアドレスが既に登録されています"});

  test::ScriptedOperator ok;
  EXPECT_TRUE(RegisterStaff(g, "C", "c@x", "7", ok));
  EXPECT_TRUE(ok.messages.empty());
  EXPECT_EQ(g.Cell(0, 3), "C");
  EXPECT_EQ(g.Cell(2, 3), "7");
}

TEST(Staff, RegistrationNeverWritesOverAnAddressWithoutName) {
  Grid g(3, 4);
  g.SetHeader(StaffHeader());
  g.Cell(0, 1) = "A";
  g.Cell(1, 2) = "orphan@x";  // somebody's address, name not typed yet
  test::ScriptedOperator op;
  EXPECT_TRUE(RegisterStaff(g, "C", "c@x", "", op));
  EXPECT_EQ(g.Cell(1, 2), "orphan@x");
  EXPECT_EQ(g.Cell(0, 3), "C");
}

TEST(Staff, SplitRecordIsByteWise) {
  EXPECT_EQ(SplitRecord("a,b", 3), (std::vector<std::string>{"a", "b", ""}));
  EXPECT_EQ(SplitRecord("a,,c,d,e", 3), (std::vector<std::string>{"a", "", "c"}));
  EXPECT_EQ(SplitRecord("", 3), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(SplitRecord("a,", 3), (std::vector<std::string>{"a", "", ""}));
  EXPECT_EQ(SplitRecord("\"a,b\",c", 3), (std::vector<std::string>{"\"a", "b\"", "c"}));
}

}  // namespace
}  // namespace zentavo
