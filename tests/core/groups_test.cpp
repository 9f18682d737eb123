#include <gtest/gtest.h>

#include "app/Lifecycle.h"
#include "store/Groups.h"
#include "store/LineCipher.h"
#include "store/NameList.h"
#include "store/Recipients.h"
#include "store/Staff.h"
#include "store/TextFile.h"
#include "support/TestSupport.h"

namespace zentavo {
namespace {
using test::S;

class GroupsTest : public ::testing::Test {
 protected:
  GroupsTest() : folder(dir.path()) { CreateDataDirectories(folder); }

  std::vector<std::string> MemberFile(const std::string& name) {
    return ReadCipherLines(dir.path() / "KANREN" / test::U(name)).lines;
  }

  Grid Staff(const std::vector<std::vector<std::string>>& rows) {
    Grid g(3, 30);
    g.SetHeader(StaffHeader());
    for (size_t i = 0; i < rows.size(); ++i)
      for (int c = 0; c < 3; ++c) g.Cell(c, static_cast<int>(i) + 1) = rows[i][c];
    return g;
  }

  test::TempFolder dir;
  DataFolder folder;
  GroupState state;
  test::ScriptedOperator op;
};

TEST_F(GroupsTest, AddCreatesMemberFileWithMarker) {
  std::string box = S("総務");
  EXPECT_TRUE(AddGroup(folder, state, box, op));
  EXPECT_EQ(box, "");
  EXPECT_EQ(state.groups, std::vector<std::string>{S("総務")});
  EXPECT_EQ(MemberFile(S("総務")), std::vector<std::string>{S("//伝達者未登録")});
  EXPECT_TRUE(op.messages.empty());
}

TEST_F(GroupsTest, AddRefusesEmptyDuplicateAndUnusableNames) {
  std::string box;
  EXPECT_FALSE(AddGroup(folder, state, box, op));
  box = "A";
  AddGroup(folder, state, box, op);
  box = "A";
  EXPECT_FALSE(AddGroup(folder, state, box, op));
  EXPECT_EQ(box, "A");
  for (const char* bad : {"../SYOKUIN/name", "x/y", ".", ".."}) {
    box = bad;
    EXPECT_FALSE(AddGroup(folder, state, box, op));
  }
  ASSERT_EQ(op.messages.size(), 6u);
  EXPECT_EQ(op.messages[0].text, "事案名が登録されていません");
  EXPECT_EQ(op.messages[1].text, "既に同名の事案名が登録されています");
  EXPECT_EQ(op.messages[2].text, "事案名に使用できない名前です\r「/」を含む名前や「.」「..」は登録できません");
  EXPECT_EQ(op.messages[2].caption, "確認");
  EXPECT_EQ(op.messages[2].icon, MsgIcon::Warning);
  EXPECT_EQ(state.groups, std::vector<std::string>{"A"});
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "SYOKUIN" / "name"));
}

TEST_F(GroupsTest, HostileNamesInTheListFileNeverReachOutside) {
  test::WriteFile(dir.path() / "SYOKUIN" / "name", "precious");
  WriteTextLines(dir.path() / "JIAN" / "jian", {EncryptLine("../SYOKUIN/name"), EncryptLine("..")});
  LoadGroups(folder, state);
  ASSERT_EQ(state.groups.size(), 2u);
  state.editGroup = state.groups[0];
  state.members = {"x"};
  RegisterMembers(folder, state, op);
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"招集事案の登録に失敗しました"});
  LoadMembers(folder, state, op);
  Grid staff = Staff({});
  Grid recipients(3, 30);
  std::vector<std::string> names;
  FillRecipients(folder, "../SYOKUIN/name", staff, recipients, names, op);
  DeleteGroups(folder, state, {0, 1});
  EXPECT_TRUE(state.groups.empty());
  EXPECT_EQ(test::ReadFile(dir.path() / "SYOKUIN" / "name"), "precious");
}

TEST_F(GroupsTest, DeleteAndMove) {
  for (const char* n : {"A", "B", "C", "D"}) {
    std::string box = n;
    AddGroup(folder, state, box, op);
  }
  DeleteGroups(folder, state, {1, 2});
  EXPECT_EQ(state.groups, (std::vector<std::string>{"A", "D"}));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "KANREN" / "B"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "KANREN" / "C"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "KANREN" / "D"));

  EXPECT_EQ(MoveGroupUp(state, {0}), -1);  // the first cannot go up
  EXPECT_EQ(MoveGroupDown(state, {1}), -1);  // the last cannot go down
  EXPECT_EQ(MoveGroupUp(state, {0, 1}), 0);  // the first that can move
  EXPECT_EQ(state.groups, (std::vector<std::string>{"D", "A"}));
  EXPECT_EQ(MoveGroupDown(state, {0}), 1);
  EXPECT_EQ(state.groups, (std::vector<std::string>{"A", "D"}));
}

TEST_F(GroupsTest, ListFileRoundTripSkipsEmptyNames) {
  state.groups = {"A", "", S("人事")};
  ASSERT_TRUE(SaveGroups(folder, state));
  EXPECT_EQ(ReadTextLines(dir.path() / "JIAN" / "jian").size(), 2u);
  GroupState loaded;
  LoadGroups(folder, loaded);
  EXPECT_EQ(loaded.groups, (std::vector<std::string>{"A", S("人事")}));
}

TEST_F(GroupsTest, MemberEditorLoadAddRemoveRegister) {
  std::string box = "G";
  AddGroup(folder, state, box, op);
  LoadMembers(folder, state, op);  // no group chosen: nothing
  EXPECT_FALSE(state.memberEditEnabled);
  state.editGroup = "G";
  LoadMembers(folder, state, op);
  EXPECT_TRUE(state.memberEditEnabled);
  EXPECT_EQ(state.members, std::vector<std::string>{S("//伝達者未登録")});
  AddMembers(state, {"X", "Y", "X"}, op);
  RemoveMembers(state, {2});
  RegisterMembers(folder, state, op);
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"伝達職員を登録しました"});
  // The marker stays the first line; repeats are kept.
  EXPECT_EQ(MemberFile("G"), (std::vector<std::string>{S("//伝達者未登録"), "X", "X"}));
  EXPECT_TRUE(state.members.empty());
  EXPECT_EQ(state.editGroup, "");
  EXPECT_FALSE(state.memberEditEnabled);

  RegisterMembers(folder, state, op);
  EXPECT_EQ(op.Texts().back(), "伝達職員が登録されていません");
  AddMembers(state, {""}, op);
  EXPECT_EQ(op.Texts().back(), "職員が選択されていません");
}

TEST_F(GroupsTest, MissingMemberFileOnTheGroupPageIsReported) {
  state.groups = {"Gone"};
  state.editGroup = "Gone";
  LoadMembers(folder, state, op);
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"伝達職員の読込に失敗しました"});
  EXPECT_FALSE(state.memberEditEnabled);
}

TEST_F(GroupsTest, NewGroupFillsNothingAndSaysNothing) {
  std::string box = "New";
  AddGroup(folder, state, box, op);
  Grid staff = Staff({{"A", "a@x", "1"}});
  Grid recipients(3, 30);
  recipients.Cell(0, 1) = "old";
  std::vector<std::string> names{"old"};
  FillRecipients(folder, "New", staff, recipients, names, op);
  EXPECT_TRUE(recipients.RowEmpty(1));
  EXPECT_EQ(recipients.RowCount(), 30);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(op.messages.empty());
}

TEST_F(GroupsTest, MemberMissingFromStaffGivesTheMismatchMessage) {
  WriteCipherLines(dir.path() / "KANREN" / "G", {S("//伝達者未登録"), "A", "Gone", "", "B"});
  Grid staff = Staff({{"A", "a@x", "1"}, {"B", "b@x", "2"}, {"B", "b2@x", "3"}});
  Grid recipients(3, 30);
  std::vector<std::string> names;
  FillRecipients(folder, "G", staff, recipients, names, op);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "Gone", "", "B"}));
  EXPECT_EQ(recipients.Cell(1, 1), "a@x");
  EXPECT_EQ(recipients.Cell(1, 2), "b@x");   // a name twice in the staff list: two rows
  EXPECT_EQ(recipients.Cell(1, 3), "b2@x");
  EXPECT_EQ(recipients.RowCount(), 33);
  ASSERT_EQ(op.messages.size(), 1u);
  const std::string blanks(22, ' ');
  EXPECT_EQ(op.messages[0].text,
            "「職員リスト」が更新されたために、伝達者名と職員リストに\r不整合が発生しました。\r" + blanks +
                "\rこのまま送信も可能ですが、伝達者名を確認してから\r送信してください。\r" + blanks +
                "\r修正は、「各種設定」-「事案別伝達職員登録」の事案名別の\r職員情報を更新してください。");
  EXPECT_EQ(op.messages[0].caption, "確認");
}

TEST_F(GroupsTest, AddRecipientsDialog) {
  Grid staff = Staff({{"A", "a@x", "1"}, {"", "x@x", ""}, {"//note", "", ""}, {"B", "b@x", "2"}});
  AddRecipientsDialog dialog = OpenAddRecipients(staff);
  EXPECT_EQ(dialog.registered, (std::vector<std::string>{"A", "//note", "B"}));
  AddToRecipientList(dialog, {0, 1, 2});
  AddToRecipientList(dialog, {2});
  EXPECT_EQ(dialog.added, (std::vector<std::string>{"A", "B", "B"}));

  Grid send(3, 30), reserve(3, 30);
  send.SetHeader(StaffHeader());
  send.Cell(0, 1) = "Z";
  std::vector<std::string> names;
  EXPECT_TRUE(SetAddedRecipients(dialog, kCallerSendPage, staff, send, reserve, names, op));
  EXPECT_EQ(names, dialog.added);
  EXPECT_EQ(send.Cell(0, 1), "Z");
  EXPECT_EQ(send.Cell(0, 2), "A");
  EXPECT_EQ(send.Cell(0, 3), "B");
  EXPECT_EQ(send.Cell(0, 4), "B");
  EXPECT_EQ(send.RowCount(), 33);
  EXPECT_TRUE(reserve.RowEmpty(1));

  EXPECT_TRUE(SetAddedRecipients(dialog, kCallerReservation, staff, send, reserve, names, op));
  EXPECT_EQ(reserve.Cell(1, 1), "a@x");

  AddRecipientsDialog empty = OpenAddRecipients(staff);
  EXPECT_FALSE(SetAddedRecipients(empty, kCallerSendPage, staff, send, reserve, names, op));
  EXPECT_EQ(op.Texts(), std::vector<std::string>{"職員が追加登録されていません"});
}

TEST_F(GroupsTest, AddRecipientsNeverOverwritesWhenNoEmptyRowIsLeft) {
  Grid staff = Staff({{"A", "a@x", "1"}, {"B", "b@x", "2"}});
  Grid send(3, 4);
  send.SetHeader(StaffHeader());
  send.Cell(0, 1) = "R1";
  send.Cell(0, 2) = "";  // a gap between recipients
  send.Cell(0, 3) = "R3";
  AddRecipientsDialog dialog = OpenAddRecipients(staff);
  AddToRecipientList(dialog, {0, 1});
  Grid reserve(3, 30);
  std::vector<std::string> names;
  SetAddedRecipients(dialog, kCallerSendPage, staff, send, reserve, names, op);
  EXPECT_EQ(send.Cell(0, 0), S("氏名"));
  EXPECT_EQ(send.Cell(0, 1), "R1");
  EXPECT_EQ(send.Cell(0, 2), "A");
  EXPECT_EQ(send.Cell(0, 3), "R3");
  EXPECT_EQ(send.Cell(0, 4), "B");

  // Every row taken: the new ones go after the last.
  Grid full(3, 2);
  full.SetHeader(StaffHeader());
  full.Cell(0, 1) = "R1";
  SetAddedRecipients(dialog, kCallerSendPage, staff, full, reserve, names, op);
  EXPECT_EQ(full.Cell(0, 1), "R1");
  EXPECT_EQ(full.Cell(0, 2), "A");
  EXPECT_EQ(full.Cell(0, 3), "B");
}

}  // namespace
}  // namespace zentavo
